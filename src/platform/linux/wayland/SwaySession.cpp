#include "SwaySession.h"

#include "SteadyClock.h"
#include "WaylandLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <unistd.h>

namespace talvex::wayland {

namespace {

// Where sway looks for its configuration, to resolve relative includes of the text it reports.
QStringList configCandidates()
{
    const QString home = QDir::homePath();
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = home + QStringLiteral("/.config");
    return {home + QStringLiteral("/.sway/config"), configHome + QStringLiteral("/sway/config"),
            home + QStringLiteral("/.i3/config"), configHome + QStringLiteral("/i3/config"),
            QStringLiteral("/etc/sway/config")};
}

QString configFolder(const QString &text)
{
    for (const QString &candidate : configCandidates()) {
        QFile file(candidate);
        if (file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()) == text)
            return QFileInfo(candidate).absolutePath();
    }
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/sway");
}

bool sameMarkerOwner(const SwayMarker &a, const SwayMarker &b)
{
    return a.kind == b.kind && a.signature == b.signature && a.id == b.id && a.pid == b.pid;
}

QJsonObject toJson(const SwayBinding &binding)
{
    return {{QStringLiteral("modifiers"), qint64(binding.modifiers)},
            {QStringLiteral("keycode"), qint64(binding.keycode)},
            {QStringLiteral("release"), binding.release}};
}

} // namespace

std::unique_ptr<SwaySession> SwaySession::open(const XkbKeymap &keymap, const QString &socketPath,
                                               const QString &stateFile)
{
    auto commands = SwayIpc::connect(socketPath);
    auto events = SwayIpc::connect(socketPath);
    if (!commands || !events || !commands->request(SwayIpc::Type::getVersion, {}))
        return nullptr;
    // The reload of the configuration comes as a workspace event; bindings as binding events.
    const auto subscribed =
        events->request(SwayIpc::Type::subscribe, R"(["binding","workspace","shutdown"])");
    if (!subscribed || !subscribed->object().value(QLatin1String("success")).toBool())
        return nullptr;
    std::unique_ptr<SwaySession> session(
        new SwaySession(std::move(commands), std::move(events), keymap, socketPath, stateFile));
    session->readConfiguredBindings();
    session->clearStale();
    return session;
}

SwaySession::SwaySession(std::unique_ptr<SwayIpc> commands, std::unique_ptr<SwayIpc> events,
                         const XkbKeymap &keymap, QString socketPath, QString stateFile)
    : m_commands(std::move(commands)), m_events(std::move(events)), m_keymap(keymap),
      m_socketPath(std::move(socketPath)), m_stateFile(std::move(stateFile))
{
    m_notifier = std::make_unique<QSocketNotifier>(m_events->fd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

SwaySession::~SwaySession()
{
    std::vector<SwayMarker> markers;
    for (const Entry &entry : m_live)
        markers.push_back(entry.marker);
    unbind(markers);
}

QString SwaySession::defaultStateFile()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(QStringLiteral("talvex-sway-bindings.json"));
}

SwayMarker SwaySession::marker(SwayMarker::Kind kind, std::uint32_t signature, std::uint32_t id, bool press)
{
    return SwayMarker{static_cast<qint64>(::getpid()), kind, signature, id, press};
}

void SwaySession::readConfiguredBindings()
{
    const auto reply = m_commands->request(SwayIpc::Type::getConfig, {});
    const QString text = reply ? reply->object().value(QLatin1String("config")).toString() : QString();
    m_configured = SwayConfigBindings::parse(text, configFolder(text));
}

bool SwaySession::isConfigured(const SwayBinding &binding) const
{
    return std::any_of(m_configured.begin(), m_configured.end(), [&](const ConfiguredBinding &configured) {
        return SwayConfigBindings::conflicts(configured, binding, m_keymap);
    });
}

void SwaySession::clearStale()
{
    QFile file(m_stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    // Only leftovers in this very sway: a file from an earlier login names another socket.
    if (state.value(QLatin1String("socket")).toString() == m_socketPath) {
        int cleared = 0;
        for (const QJsonValue &value : state.value(QLatin1String("bindings")).toArray()) {
            const QJsonObject object = value.toObject();
            const SwayBinding binding{
                static_cast<std::uint32_t>(object.value(QLatin1String("modifiers")).toInteger()),
                static_cast<std::uint32_t>(object.value(QLatin1String("keycode")).toInteger()),
                object.value(QLatin1String("release")).toBool()};
            // A combination the configuration now binds is the user's (a reload put it back).
            if (binding.keycode == 0 || isConfigured(binding))
                continue;
            const auto results = m_commands->runCommand(SwayBindings::unbindCommand(binding));
            cleared += !results.empty() && results.front().first;
        }
        if (cleared)
            qCInfo(lcWayland) << "Removed" << cleared << "sway bindings an earlier Talvex left behind";
    }
    writeState();
}

void SwaySession::writeState() const
{
    QJsonArray bindings;
    for (const Entry &entry : m_live)
        bindings.append(toJson(entry.binding));
    QSaveFile file(m_stateFile);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("socket"), m_socketPath},
                                         {QStringLiteral("bindings"), bindings}})
                   .toJson(QJsonDocument::Compact));
    if (!file.commit())
        qCWarning(lcWayland) << "Could not record the sway bindings in" << m_stateFile;
}

SwaySession::BindResult SwaySession::bind(const std::vector<Entry> &entries)
{
    for (const Entry &entry : entries) {
        if (isConfigured(entry.binding)) {
            qCInfo(lcWayland).noquote() << "Sway already binds" << SwayBindings::combination(entry.binding);
            return BindResult::taken;
        }
        const bool ours = std::any_of(m_live.begin(), m_live.end(),
                                      [&](const Entry &live) { return live.binding == entry.binding; });
        if (ours)
            return BindResult::taken; // two registrations of one combination cannot coexist
    }
    std::vector<Entry> added;
    for (const Entry &entry : entries) {
        const auto results = m_commands->runCommand(SwayBindings::bindCommand(entry.binding, entry.marker));
        if (results.empty() || !results.front().first) {
            qCWarning(lcWayland).noquote()
                << "Sway refused the binding" << SwayBindings::combination(entry.binding)
                << (results.empty() ? QString() : results.front().second);
            for (const Entry &undo : added)
                m_commands->runCommand(SwayBindings::unbindCommand(undo.binding));
            return BindResult::failed;
        }
        added.push_back(entry);
        // Recorded at once: if we are killed between two commands, the next start still clears it.
        m_live.push_back(entry);
        writeState();
    }
    return BindResult::bound;
}

void SwaySession::unbind(const std::vector<SwayMarker> &markers)
{
    bool changed = false;
    for (auto it = m_live.begin(); it != m_live.end();) {
        const bool wanted = std::any_of(markers.begin(), markers.end(), [&](const SwayMarker &marker) {
            return sameMarkerOwner(marker, it->marker);
        });
        if (!wanted) {
            ++it;
            continue;
        }
        m_commands->runCommand(SwayBindings::unbindCommand(it->binding));
        it = m_live.erase(it);
        changed = true;
    }
    if (changed)
        writeState();
}

bool SwaySession::isLive(const std::vector<SwayMarker> &markers) const
{
    return std::all_of(markers.begin(), markers.end(), [this](const SwayMarker &marker) {
        return std::any_of(m_live.begin(), m_live.end(),
                           [&](const Entry &entry) { return sameMarkerOwner(marker, entry.marker); });
    });
}

void SwaySession::setListener(SwayMarker::Kind kind, Listener listener)
{
    (kind == SwayMarker::Kind::hotKey ? m_hotKeyListener : m_chordListener) = std::move(listener);
}

void SwaySession::setOnLost(std::function<void(const std::vector<SwayMarker> &)> onLost)
{
    m_onLost = std::move(onLost);
}

std::optional<QJsonDocument> SwaySession::request(SwayIpc::Type type, const QByteArray &payload)
{
    return m_commands->request(type, payload);
}

void SwaySession::readEvents()
{
    std::vector<SwayIpc::Message> messages;
    if (!m_events->readAvailable(&messages)) {
        m_notifier->setEnabled(false);
        qCWarning(lcWayland) << "Sway closed its IPC connection";
    }
    const double now = SteadyClock::monotonicSeconds();
    const qint64 pid = ::getpid();
    for (const SwayIpc::Message &message : messages) {
        const QJsonObject object = QJsonDocument::fromJson(message.payload).object();
        if (message.type == SwayIpc::workspaceEvent) {
            if (object.value(QLatin1String("change")).toString() == QLatin1String("reload"))
                restoreAfterReload();
            continue;
        }
        if (message.type != SwayIpc::bindingEvent)
            continue;
        const QString command =
            object.value(QLatin1String("binding")).toObject().value(QLatin1String("command")).toString();
        const auto marker = SwayBindings::parseMarker(command);
        // Bindings of another Talvex (one killed before it could remove them) are not ours.
        if (!marker || marker->pid != pid)
            continue;
        const Listener &listener =
            marker->kind == SwayMarker::Kind::hotKey ? m_hotKeyListener : m_chordListener;
        if (listener)
            listener(*marker, now);
    }
}

void SwaySession::restoreAfterReload()
{
    readConfiguredBindings();
    std::vector<SwayMarker> lost;
    for (auto it = m_live.begin(); it != m_live.end();) {
        bool restored = false;
        if (!isConfigured(it->binding)) {
            const auto results = m_commands->runCommand(SwayBindings::bindCommand(it->binding, it->marker));
            restored = !results.empty() && results.front().first;
        }
        if (restored) {
            ++it;
            continue;
        }
        qCWarning(lcWayland).noquote() << "After sway reloaded its configuration, Talvex's binding"
                                       << SwayBindings::combination(it->binding) << "is the user's";
        lost.push_back(it->marker);
        it = m_live.erase(it);
    }
    // A combination whose twin was lost is useless alone.
    if (!lost.empty()) {
        unbind(lost);
        writeState();
        if (m_onLost)
            m_onLost(lost);
    }
}

} // namespace talvex::wayland
