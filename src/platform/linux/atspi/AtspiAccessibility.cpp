#include "AtspiAccessibility.h"

#include "AtspiAnnouncements.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <deque>

namespace talvex::atspi {

namespace {

const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString nullPath = QStringLiteral("/org/a11y/atspi/null");

// The (bus name, object path) references in the first argument of `reply`, less the null ones.
std::vector<AccessibleElement> elementsIn(const QDBusMessage &reply)
{
    std::vector<AccessibleElement> elements;
    const QDBusArgument argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        if (!service.isEmpty() && path.path() != nullPath)
            elements.push_back({service, path.path()});
    }
    argument.endArray();
    return elements;
}

// AT-SPI state bits and roles (atspi-constants.h).
constexpr int stateActive = 1;
constexpr int stateDefunct = 6;
constexpr int stateFocusable = 11;
constexpr int stateFocused = 12;
constexpr int stateShowing = 25;
constexpr int stateVisible = 30;
constexpr int stateManagesDescendants = 31;
constexpr unsigned rolePasswordText = 40;
constexpr unsigned roleTerminal = 60;

// A deep search must not stall the main thread on a huge tree (a spreadsheet, a long list).
constexpr int maximumVisitedElements = 3000;
// Focused widgets nest only a few levels deep inside one another.
constexpr int maximumFocusNesting = 16;

bool has(std::uint64_t states, int bit) { return (states >> bit) & 1u; }

// The Collection interface's match rule, (aiia{ss}iaiiasib): here "every element in the focused
// state", with no attribute, role or interface condition.
struct FocusedRule {};
constexpr int matchAll = 1;
constexpr quint32 sortCanonical = 1;

QDBusArgument &operator<<(QDBusArgument &argument, const FocusedRule &)
{
    argument.beginStructure();
    argument << QList<int>{1 << stateFocused, 0} << matchAll;
    argument.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
    argument.endMap();
    argument << matchAll << QList<int>{} << matchAll << QStringList{} << matchAll << false;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, FocusedRule &) { return argument; }

QDBusMessage statusMessage(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                          propertiesInterface, method);
}

} // namespace

AtspiAccessibility::AtspiAccessibility(int callTimeoutMs)
    : m_timeout(callTimeoutMs), m_connectionName(QStringLiteral("talvex-a11y-") + QUuid::createUuid().toString())
{
    qDBusRegisterMetaType<FocusedRule>();
}

AtspiAccessibility::~AtspiAccessibility()
{
    m_announcements.reset(); // deregisters while the bus is still there
    if (m_connected)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

std::optional<QDBusConnection> AtspiAccessibility::bus()
{
    if (m_connected) {
        QDBusConnection connection(m_connectionName);
        if (connection.isConnected())
            return connection;
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connected = false;
        m_pids.clear();
        m_proxied.clear();
        m_lastWindow.reset();
        m_lastField.reset();
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                      QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask, QDBus::Block, m_timeout);
    if (!address.isValid() || address.value().isEmpty())
        return std::nullopt;
    QDBusConnection connection = QDBusConnection::connectToBus(address.value(), m_connectionName);
    m_connected = true;
    if (!connection.isConnected()) {
        qCWarning(lcAccessibility) << "accessibility bus unreachable:" << connection.lastError().message();
        return std::nullopt;
    }
    return connection;
}

bool AtspiAccessibility::isTrusted()
{
    QDBusMessage get = statusMessage(QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    const QDBusReply<QVariant> enabled = QDBusConnection::sessionBus().call(get, QDBus::Block, m_timeout);
    if (!enabled.isValid() || !enabled.value().toBool())
        return false;
    return bus().has_value();
}

bool AtspiAccessibility::requestTrust()
{
    QDBusMessage set = statusMessage(QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled") << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, m_timeout);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCWarning(lcAccessibility) << "could not turn accessibility on:" << reply.errorMessage();
    return isTrusted();
}

std::optional<QDBusMessage> AtspiAccessibility::call(const AccessibleElement &element, const QString &interface,
                                                     const QString &method, const QList<QVariant> &arguments,
                                                     std::optional<int> timeoutMs)
{
    auto connection = bus();
    if (!connection || element.busName.isEmpty() || element.objectPath.isEmpty())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(element.busName, element.objectPath, interface, method);
    message.setArguments(arguments);
    QDBusMessage reply = connection->call(message, QDBus::Block, timeoutMs.value_or(m_timeout));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply;
}

std::optional<QVariant> AtspiAccessibility::property(const AccessibleElement &element, const QString &interface,
                                                     const QString &name)
{
    const auto reply = call(element, propertiesInterface, QStringLiteral("Get"), {interface, name});
    if (!reply)
        return std::nullopt;
    return reply->arguments().constFirst().value<QDBusVariant>().variant();
}

std::vector<AccessibleElement> AtspiAccessibility::children(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetChildren"));
    return reply ? elementsIn(*reply) : std::vector<AccessibleElement>{};
}

std::optional<std::uint64_t> AtspiAccessibility::states(const AccessibleElement &element, std::optional<int> timeoutMs)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetState"), {}, timeoutMs);
    if (!reply)
        return std::nullopt;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    std::uint64_t bits = 0;
    int word = 0;
    argument.beginArray();
    while (!argument.atEnd()) {
        quint32 value = 0;
        argument >> value;
        if (word < 2)
            bits |= static_cast<std::uint64_t>(value) << (32 * word);
        ++word;
    }
    argument.endArray();
    return bits;
}

std::optional<std::int32_t> AtspiAccessibility::processIdentifier(const AccessibleElement &element)
{
    if (const auto known = m_pids.find(element.busName); known != m_pids.end())
        return known.value();
    auto connection = bus();
    if (!connection)
        return std::nullopt;
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetConnectionUnixProcessID"));
    ask << element.busName;
    const QDBusReply<quint32> pid = connection->call(ask, QDBus::Block, m_timeout);
    if (!pid.isValid())
        return std::nullopt;
    m_pids.insert(element.busName, static_cast<std::int32_t>(pid.value()));
    return static_cast<std::int32_t>(pid.value());
}

std::vector<AccessibleElement> AtspiAccessibility::applications(std::optional<std::int32_t> pid)
{
    std::vector<AccessibleElement> result;
    std::vector<AccessibleElement> proxied;
    for (const AccessibleElement &application : children({registryService, rootPath})) {
        const auto owner = processIdentifier(application);
        if (!pid || owner == pid)
            result.push_back(application);
        else if (owner && connectsThroughProxy(application, *owner))
            proxied.push_back(application);
    }
    if (!pid || !result.empty())
        return result;
    // A sandboxed program (Flatpak) reaches the accessibility bus through a proxy, so its
    // connection carries the proxy's process id, not the program's. The program with the active
    // window is then the one the desktop has in front: accept it when exactly one proxied program
    // has an active window.
    for (const AccessibleElement &application : proxied) {
        if (activeWindow(application)) {
            if (!result.empty())
                return {}; // two candidates: neither can be told to be the program in front
            result.push_back(application);
        }
    }
    return result;
}

bool AtspiAccessibility::connectsThroughProxy(const AccessibleElement &application, std::int32_t owner)
{
    if (const auto known = m_proxied.find(application.busName); known != m_proxied.end())
        return known.value();
    const QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(owner)).symLinkTarget();
    const bool proxy = QFileInfo(executable).fileName() == QLatin1String("xdg-dbus-proxy");
    m_proxied.insert(application.busName, proxy);
    return proxy;
}

std::optional<AccessibleElement> AtspiAccessibility::activeWindow(const AccessibleElement &application)
{
    for (const AccessibleElement &window : children(application)) {
        const auto bits = states(window);
        if (bits && has(*bits, stateActive))
            return window;
    }
    return std::nullopt;
}

std::optional<AtspiAccessibility::ActiveFrame> AtspiAccessibility::activeFrame()
{
    for (const AccessibleElement &application : applications(std::nullopt)) {
        const auto window = activeWindow(application);
        const auto pid = window ? processIdentifier(application) : std::nullopt;
        if (!pid)
            continue;
        const auto name = property(application, accessibleInterface, QStringLiteral("Name"));
        return ActiveFrame{*window, *pid, name ? name->toString() : QString()};
    }
    return std::nullopt;
}

std::optional<AccessibleElement> AtspiAccessibility::findFocused(const AccessibleElement &root)
{
    // Programs that offer the Collection interface search their own tree in one call. It returns
    // every focused element in document order, containers first: some programs (LibreOffice) also
    // mark the panel around the field as focused, so the field is the last one that can take focus.
    const auto matches = call(root, QStringLiteral("org.a11y.atspi.Collection"), QStringLiteral("GetMatches"),
                              {QVariant::fromValue(FocusedRule{}), sortCanonical, maximumFocusNesting, true});
    if (matches) {
        const std::vector<AccessibleElement> found = elementsIn(*matches);
        for (auto it = found.rbegin(); it != found.rend(); ++it) {
            const auto bits = states(*it);
            if (bits && has(*bits, stateFocusable))
                return *it;
        }
        return found.empty() ? std::nullopt : std::optional<AccessibleElement>(found.front());
    }
    qCDebug(lcAccessibility) << "no collection search in" << root.busName << "- walking its tree";

    // Breadth-first: focused fields sit near the top far more often than deep inside lists. Some
    // toolkits (Qt) also mark the containers and the tab page around the field as focused; the
    // field is the focused element that can take focus itself, innermost first. A focused element
    // that cannot take focus is the answer only when nothing better turns up.
    std::deque<AccessibleElement> pending{root};
    std::optional<AccessibleElement> container;
    int visited = 0;
    while (!pending.empty() && visited < maximumVisitedElements) {
        const AccessibleElement element = pending.front();
        pending.pop_front();
        ++visited;
        const auto bits = states(element);
        if (!bits || has(*bits, stateDefunct))
            continue;
        if (has(*bits, stateFocused)) {
            if (has(*bits, stateFocusable))
                return innermostFocused(element);
            if (!container)
                container = element;
        }
        // Hidden subtrees hold no focus; managed ones may hold millions of cells. GTK 4 marks
        // what is on screen as visible but not as showing, so either counts.
        const bool onScreen = has(*bits, stateShowing) || has(*bits, stateVisible);
        if (element != root && (!onScreen || has(*bits, stateManagesDescendants)))
            continue;
        for (AccessibleElement &child : children(element))
            pending.push_back(std::move(child));
    }
    return container;
}

AccessibleElement AtspiAccessibility::innermostFocused(AccessibleElement element)
{
    // A focusable widget that holds a focusable focused child (a terminal inside its frame) hands
    // the focus on; the innermost one is the field.
    for (int depth = 0; depth < maximumFocusNesting; ++depth) {
        std::optional<AccessibleElement> inner;
        for (const AccessibleElement &child : children(element)) {
            const auto bits = states(child);
            if (bits && has(*bits, stateFocused) && has(*bits, stateFocusable) && !has(*bits, stateDefunct)) {
                inner = child;
                break;
            }
        }
        if (!inner)
            break;
        element = *inner;
    }
    return element;
}

std::optional<AccessibleElement> AtspiAccessibility::focusedElement(std::int32_t pid)
{
    const auto remembered = lastWindowIfStillActive(pid);
    if (remembered) {
        if (auto element = focusedIn(*remembered))
            return element;
    }
    for (const AccessibleElement &application : applications(pid)) {
        const auto window = activeWindow(application);
        if (!window || window == remembered)
            continue;
        m_lastWindow = LastWindow{pid, *window};
        if (auto element = focusedIn(*window))
            return element;
    }
    return std::nullopt;
}

std::optional<AccessibleElement> AtspiAccessibility::focusedIn(const AccessibleElement &window)
{
    if (auto element = lastFieldIfStillFocused(window))
        return element;
    auto element = findFocused(window);
    if (element)
        m_lastField = LastField{window, *element};
    return element;
}

std::optional<AccessibleElement> AtspiAccessibility::lastWindowIfStillActive(std::int32_t pid)
{
    // Each focus test asks for the program's active window and then for its field: the window
    // found last answers in one call while it still says it is active, instead of listing every
    // program on the bus and every window of this one, twice over.
    if (!m_lastWindow || m_lastWindow->pid != pid ||
        stillHolds(m_lastWindow->window, FocusHold::window, m_timeout) != true)
        return std::nullopt;
    return m_lastWindow->window;
}

std::optional<AccessibleElement> AtspiAccessibility::lastFieldIfStillFocused(const AccessibleElement &window)
{
    // A delivery asks for the focused field several times within a fraction of a second, and a
    // program without the Collection search (Qt) has its tree walked each time: the field found
    // last time in the same window answers in one call while it still says it has the focus.
    if (!m_lastField || m_lastField->window != window)
        return std::nullopt;
    const auto bits = states(m_lastField->element);
    if (!bits || has(*bits, stateDefunct) || !has(*bits, stateFocused) || !has(*bits, stateFocusable))
        return std::nullopt;
    if (has(*bits, stateManagesDescendants))
        return m_lastField->element; // its children may be millions of cells
    return innermostFocused(m_lastField->element);
}

std::optional<AccessibleElement> AtspiAccessibility::systemFocusedElement()
{
    const auto ownPid = static_cast<std::int32_t>(QCoreApplication::applicationPid());
    for (const AccessibleElement &application : applications(std::nullopt)) {
        // Our own accessibility tree is served by this thread, which is blocked in this very call:
        // asking it would only wait out the timeout.
        if (processIdentifier(application) == ownPid)
            continue;
        if (const auto window = activeWindow(application)) {
            if (auto element = findFocused(*window))
                return element;
        }
    }
    return std::nullopt;
}

std::optional<AccessibleElement> AtspiAccessibility::focusedWindow(std::int32_t pid)
{
    if (auto window = lastWindowIfStillActive(pid))
        return window;
    for (const AccessibleElement &application : applications(pid)) {
        if (auto window = activeWindow(application)) {
            m_lastWindow = LastWindow{pid, *window};
            return window;
        }
    }
    return std::nullopt;
}

std::optional<QString> AtspiAccessibility::identifier(const AccessibleElement &element)
{
    const auto value = property(element, accessibleInterface, QStringLiteral("AccessibleId"));
    if (!value || !value->canConvert<QString>())
        return std::nullopt;
    return value->toString();
}

std::optional<unsigned> AtspiAccessibility::role(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetRole"));
    if (!reply)
        return std::nullopt;
    return reply->arguments().constFirst().toUInt();
}

bool AtspiAccessibility::isSecureTextField(const AccessibleElement &element)
{
    return role(element) == rolePasswordText;
}

bool AtspiAccessibility::isTerminal(const AccessibleElement &element) { return role(element) == roleTerminal; }

std::optional<bool> AtspiAccessibility::stillHolds(const AccessibleElement &element, FocusHold what, int boundMs)
{
    const auto bits = states(element, std::max(boundMs, 1));
    if (!bits)
        return std::nullopt;
    if (has(*bits, stateDefunct))
        return false;
    return has(*bits, what == FocusHold::field ? stateFocused : stateActive);
}

std::optional<TextRange> AtspiAccessibility::selectedRange(const AccessibleElement &element)
{
    std::optional<TextRange> range;
    const auto count = call(element, textInterface, QStringLiteral("GetNSelections"));
    if (!count)
        return std::nullopt;
    if (count->arguments().constFirst().toInt() > 0) {
        const auto selection = call(element, textInterface, QStringLiteral("GetSelection"), {0});
        if (selection && selection->arguments().size() >= 2) {
            const std::int64_t start = selection->arguments().at(0).toInt();
            const std::int64_t end = selection->arguments().at(1).toInt();
            if (start != end)
                range = TextRange{std::min(start, end), std::abs(end - start)};
        }
    }
    if (!range) {
        const auto caret = property(element, textInterface, QStringLiteral("CaretOffset"));
        if (!caret)
            return std::nullopt;
        bool ok = false;
        const int offset = caret->toInt(&ok);
        if (!ok || offset < 0)
            return std::nullopt;
        range = TextRange{offset, 0};
    }
    return inCodePoints(element, *range);
}

TextRange AtspiAccessibility::inCodePoints(const AccessibleElement &element, TextRange range)
{
    // Some toolkits (Qt 6.4) report offsets in UTF-16 units instead of characters. The text up to
    // the range's end tells which: UTF-16 offsets fetch exactly `end` units but fewer characters.
    const std::int64_t end = range.location + range.length;
    if (end <= 0)
        return range;
    const auto reply = call(element, textInterface, QStringLiteral("GetText"), {0, static_cast<int>(end)});
    if (!reply)
        return range;
    const QString text = reply->arguments().constFirst().toString();
    const auto codePoints = [](QStringView view) {
        std::int64_t n = 0;
        for (QChar c : view)
            n += c.isLowSurrogate() ? 0 : 1;
        return n;
    };
    if (text.size() != end || codePoints(text) == end)
        return range;
    const std::int64_t start = codePoints(QStringView(text).left(range.location));
    return TextRange{start, codePoints(text) - start};
}

void AtspiAccessibility::beginCaretWatch()
{
    if (m_caretWatches++ > 0)
        return;
    auto connection = bus();
    if (!connection)
        return;
    if (!m_announcements)
        m_announcements = std::make_unique<AtspiAnnouncements>();
    m_announcements->start(*connection, m_timeout);
}

void AtspiAccessibility::endCaretWatch()
{
    if (m_caretWatches == 0 || --m_caretWatches > 0)
        return;
    if (m_announcements)
        m_announcements->stop();
}

std::uint64_t AtspiAccessibility::caretAnnouncements(const AccessibleElement &element)
{
    return m_announcements ? m_announcements->count(element.busName) : 0;
}

} // namespace talvex::atspi
