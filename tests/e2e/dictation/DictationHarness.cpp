#include "DictationHarness.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>
#include <csignal>
#include <ctime>
#include <xcb/xtest.h>

namespace talvex::e2e {
namespace {

constexpr auto startTimeout = std::chrono::seconds(60);

QString testFolder()
{
    return qEnvironmentVariable("TALVEX_TEST_TMP", QDir::tempPath());
}

bool runToEnd(const QString &program, const QStringList &arguments, std::chrono::milliseconds timeout,
              QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, timeout)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

/// Marks onboarding as finished, or not, in the user defaults the talvex of `options` reads.
void markSetup(const TalvexProcess::Options &options)
{
    using Setup = TalvexProcess::Options::Setup;
    if (options.setup == Setup::asStored)
        return;
    QString configHome =
        qEnvironmentVariable("XDG_CONFIG_HOME", QDir::home().filePath(QStringLiteral(".config")));
    for (const QString &entry : options.environment)
        if (entry.startsWith(QStringLiteral("XDG_CONFIG_HOME=")))
            configHome = entry.section(QLatin1Char('='), 1);
    QSettings defaults(QDir(configHome).filePath(QStringLiteral("Talvex/Talvex.conf")), QSettings::IniFormat);
    if (options.setup == Setup::completed)
        defaults.setValue(QStringLiteral("didCompleteTalvexSetup"), true);
    else
        defaults.remove(QStringLiteral("didCompleteTalvexSetup"));
    defaults.sync();
}

} // namespace

double monotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds interval)
{
    if (condition())
        return true;
    // The event loop sleeps between checks, so the log reader and our clipboard keep answering and
    // a waiting harness takes no CPU from talvex on a 2-core machine.
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    bool met = false;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        met = condition();
        if (met || elapsed.elapsed() >= timeout.count())
            loop.quit();
    });
    tick.start(interval);
    loop.exec();
    return met;
}

// --- XTestKeyboard

XTestKeyboard::XTestKeyboard()
    : m_connection(x11::connectToDisplay()),
      m_symbols(m_connection ? xcb_key_symbols_alloc(m_connection.get()) : nullptr, xcb_key_symbols_free)
{
}

XTestKeyboard::~XTestKeyboard()
{
    releaseAll();
}

void XTestKeyboard::press(std::uint32_t keysym)
{
    send(XCB_KEY_PRESS, keysym);
    m_held.insert(keysym);
}

void XTestKeyboard::release(std::uint32_t keysym)
{
    send(XCB_KEY_RELEASE, keysym);
    m_held.erase(keysym);
}

void XTestKeyboard::releaseAll()
{
    const std::set<std::uint32_t> held = m_held;
    for (const std::uint32_t keysym : held)
        release(keysym);
}

void XTestKeyboard::send(std::uint8_t type, std::uint32_t keysym)
{
    if (!isReady())
        return;
    xcb_connection_t *c = m_connection.get();
    x11::XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(m_symbols.get(), keysym));
    if (!codes || codes.get()[0] == XCB_NO_SYMBOL)
        return;
    xcb_test_fake_input(c, type, codes.get()[0], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // A round trip: the event is in the server when we return.
    x11::XcbReply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::vector<int> XTestKeyboard::keysDown()
{
    std::vector<int> down;
    auto connection = x11::connectToDisplay();
    if (!connection)
        return {-1};
    xcb_connection_t *c = connection.get();
    x11::XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return {-1};
    for (int i = 0; i < 256; ++i) {
        if (keymap->keys[i / 8] & (1 << (i % 8)))
            down.push_back(i);
    }
    return down;
}

// --- TalvexProcess

TalvexProcess::TalvexProcess() : m_dataHome(QDir(testFolder()).filePath(QStringLiteral("talvex-data-XXXXXX")))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { readOutput(); });
}

TalvexProcess::~TalvexProcess()
{
    if (m_process.state() != QProcess::NotRunning && !stop()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString TalvexProcess::libraryPath() const
{
    return QDir(m_dataHome.path()).filePath(QStringLiteral("Talvex/Library.json"));
}

std::optional<Library> TalvexProcess::readLibrary() const
{
    QFile file(libraryPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Library::decode(file.readAll());
}

std::optional<Library> TalvexProcess::waitForHistory(qsizetype count) const
{
    std::optional<Library> library;
    if (!waitFor([&] { return (library = readLibrary()) && library->history.size() == count; },
                 std::chrono::seconds(10)))
        return std::nullopt;
    return library;
}

bool TalvexProcess::start(const Options &options, QString *error)
{
    auto fail = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral("\n--- talvex log:\n") + m_log;
        return false;
    };
    if (!m_dataHome.isValid())
        return fail(QStringLiteral("no temporary library folder"));
    if (options.library) {
        QDir().mkpath(QFileInfo(libraryPath()).path());
        QString problem;
        if (!options.library->write(libraryPath(), &problem))
            return fail(QStringLiteral("could not write the library: ") + problem);
    }
    markSetup(options);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome.path());
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_MESSAGE_PATTERN"),
                       QStringLiteral("%{time boot} %{category}: %{message}"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("talvex.*=true;com.quindlark.talvex.*=true"));
    for (const QString &entry : options.environment)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(environment);
    m_process.start(options.executable.isEmpty() ? QStringLiteral(TALVEX_EXECUTABLE) : options.executable,
                    {});
    if (!m_process.waitForStarted(10000))
        return fail(QStringLiteral("talvex did not start"));
    if (!waitUntilReady(0, error))
        return false;
    if (options.awaitLanguageModel &&
        !waitForLine(QStringLiteral("llm"), QStringLiteral("Language model availability: available"), 0,
                     startTimeout))
        return fail(QStringLiteral("the language model never became available"));
    return true;
}

bool TalvexProcess::waitUntilReady(std::size_t from, QString *error)
{
    auto fail = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral("\n--- talvex log:\n") + m_log;
        return false;
    };

    const auto registered = waitForLine(QStringLiteral("delivery"),
                                        QStringLiteral("Global shortcut registered:"), from, startTimeout);
    if (!registered)
        return fail(QStringLiteral("talvex never said whether its shortcut is registered"));
    if (registered->message != QLatin1String("Global shortcut registered: true"))
        return fail(QStringLiteral("talvex could not register its shortcut"));
    const QString ready = QStringLiteral("Speech status: Ready on this computer");
    if (!waitForLine(QStringLiteral("app"), ready, from, startTimeout))
        return fail(QStringLiteral("speech never became ready"));
    return true;
}

bool TalvexProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning)
        ::kill(pid_t(m_process.processId()), SIGTERM);
    return waitForExit();
}

bool TalvexProcess::waitForExit()
{
    if (!waitFor([this] { return m_process.state() == QProcess::NotRunning; }, std::chrono::seconds(20)))
        return false;
    readOutput();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void TalvexProcess::readOutput()
{
    m_partial += m_process.readAll();
    for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n')) {
        // %{time boot} pads the seconds on the left.
        const QString line = QString::fromUtf8(m_partial.left(end)).trimmed();
        m_partial.remove(0, end + 1);
        m_log += line + QLatin1Char('\n');
        // "<seconds> <category>: <message>"; anything else (a library's own output) is kept in the log only.
        bool ok = false;
        const double time = line.section(QLatin1Char(' '), 0, 0).toDouble(&ok);
        const QString rest = line.section(QLatin1Char(' '), 1);
        const qsizetype colon = rest.indexOf(QStringLiteral(": "));
        if (ok && colon > 0)
            m_lines.push_back({time, rest.left(colon), rest.mid(colon + 2)});
    }
}

const std::vector<LogLine> &TalvexProcess::lines()
{
    readOutput();
    return m_lines;
}

std::optional<LogLine> TalvexProcess::waitForLine(const QString &category, const QString &prefix,
                                                  std::size_t from, std::chrono::milliseconds timeout)
{
    std::optional<LogLine> found;
    std::size_t next = from;
    waitFor(
        [&] {
            const auto &all = lines();
            for (; next < all.size(); ++next) {
                if (all[next].category.endsWith(category) && all[next].message.startsWith(prefix)) {
                    found = all[next];
                    return true;
                }
            }
            return m_process.state() == QProcess::NotRunning;
        },
        timeout);
    return found;
}

// --- EntryTarget

EntryTarget::~EntryTarget()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool EntryTarget::start(QString *error)
{
    m_process.start(QStringLiteral("zenity"),
                    {QStringLiteral("--entry"), QStringLiteral("--title=Dictation target"),
                     QStringLiteral("--text=Dictate here")});
    if (!m_process.waitForStarted(10000)) {
        if (error)
            *error = QStringLiteral("zenity did not start");
        return false;
    }
    x11::X11Workspace workspace;
    atspi::AtspiAccessibility accessibility;
    const auto zenity = static_cast<std::int32_t>(m_process.processId());
    const bool focused = waitFor(
        [&] {
            const auto front = workspace.frontmostApplication();
            if (!front || front->pid != zenity)
                return false;
            m_field = accessibility.focusedElement(zenity);
            return m_field.has_value();
        },
        startTimeout);
    if (!focused && error)
        *error = QStringLiteral("zenity's field never had focus");
    return focused;
}

std::optional<QString> EntryTarget::text()
{
    if (!m_field)
        return std::nullopt;
    if (!m_bus) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(call);
        if (!address.isValid())
            return std::nullopt;
        m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("talvex-e2e-a11y"));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(m_field->busName, m_field->objectPath,
                                       QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"));
    call << 0 << -1;
    const QDBusReply<QString> reply = m_bus->call(call, QDBus::Block, 2000);
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}

std::optional<QString> EntryTarget::finish(XTestKeyboard &keys)
{
    constexpr std::uint32_t returnKey = 0xff0d;
    keys.press(returnKey);
    keys.release(returnKey);
    if (!waitFor([this] { return m_process.state() == QProcess::NotRunning; }, std::chrono::seconds(20)))
        return std::nullopt;
    QString printed = QString::fromUtf8(m_process.readAllStandardOutput());
    if (printed.endsWith(QLatin1Char('\n')))
        printed.chop(1);
    return printed;
}

// --- Speech and sound

std::optional<QString> speechFile(const QString &sentence)
{
    const QString path =
        QDir(testFolder())
            .filePath(QStringLiteral("speech-%1.wav")
                          .arg(QString::fromLatin1(
                              QCryptographicHash::hash(sentence.toUtf8(), QCryptographicHash::Md5)
                                  .toHex()
                                  .left(16))));
    if (QFile::exists(path))
        return path;
    if (!runToEnd(QStringLiteral("flite"),
                  {QStringLiteral("-voice"), QStringLiteral("kal16"), QStringLiteral("-t"), sentence,
                   QStringLiteral("-o"), path},
                  std::chrono::seconds(60)))
        return std::nullopt;
    return path;
}

bool play(const QString &wav)
{
    const QString sink = qEnvironmentVariable("TALVEX_TEST_SINK");
    QStringList arguments;
    if (!sink.isEmpty())
        arguments << QStringLiteral("--device=") + sink;
    arguments << wav;
    return runToEnd(QStringLiteral("paplay"), arguments, std::chrono::seconds(60));
}

quint16 closedLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 9; // the discard port: nothing serves it here either
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// --- Loopback HTTP

void serveOnLoopback(QTcpServer &server, std::function<void(QTcpSocket *, const HttpRequest &)> serve)
{
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, serve = std::move(serve)] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, serve] {
                // Waits for the whole request: headers, then as many body bytes as Content-Length says.
                const QByteArray data = socket->peek(socket->bytesAvailable());
                const qsizetype headerEnd = data.indexOf("\r\n\r\n");
                if (headerEnd < 0)
                    return;
                qsizetype length = 0;
                for (const QByteArray &line : data.left(headerEnd).split('\n')) {
                    if (line.toLower().startsWith("content-length:"))
                        length = line.mid(15).trimmed().toLongLong();
                }
                if (data.size() < headerEnd + 4 + length)
                    return;
                socket->read(headerEnd + 4 + length);
                serve(socket, HttpRequest{data.left(data.indexOf("\r\n")), data.mid(headerEnd + 4, length)});
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

// --- LoopbackModelServer

LoopbackModelServer::LoopbackModelServer(std::function<QString(const QString &)> rewrite)
    : m_rewrite(std::move(rewrite)), m_server(std::make_unique<QTcpServer>())
{
    serveOnLoopback(*m_server, [this](QTcpSocket *socket, const HttpRequest &request) { serve(socket, request); });
}

LoopbackModelServer::~LoopbackModelServer() = default;

bool LoopbackModelServer::isListening() const
{
    return m_server->isListening();
}

QString LoopbackModelServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/v1").arg(m_server->serverPort());
}

void LoopbackModelServer::serve(QTcpSocket *socket, const HttpRequest &request)
{
    const QByteArray &requestLine = request.line;
    const QByteArray &body = request.body;

    QJsonObject answer;
    if (requestLine.startsWith("GET ") && requestLine.contains("/models")) {
        answer = {{QStringLiteral("object"), QStringLiteral("list")},
                  {QStringLiteral("data"),
                   QJsonArray{QJsonObject{{QStringLiteral("id"), QLatin1String(modelName)}}}}};
    } else if (requestLine.startsWith("POST ") && requestLine.contains("/chat/completions")) {
        ++m_completions;
        const QJsonArray messages =
            QJsonDocument::fromJson(body).object().value(QLatin1String("messages")).toArray();
        const QString prompt = messages.last().toObject().value(QLatin1String("content")).toString();
        const QString marker = QStringLiteral("Dictation:\n");
        const qsizetype at = prompt.lastIndexOf(marker);
        const QString dictation = at < 0 ? prompt : prompt.mid(at + marker.size());
        const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                                  {QStringLiteral("content"), m_rewrite(dictation)}};
        answer = {{QStringLiteral("object"), QStringLiteral("chat.completion")},
                  {QStringLiteral("choices"),
                   QJsonArray{QJsonObject{{QStringLiteral("index"), 0},
                                          {QStringLiteral("message"), message},
                                          {QStringLiteral("finish_reason"), QStringLiteral("stop")}}}}};
    }
    const QByteArray payload =
        answer.isEmpty() ? QByteArray() : QJsonDocument(answer).toJson(QJsonDocument::Compact);
    QByteArray response =
        answer.isEmpty() ? QByteArray("HTTP/1.1 404 Not Found\r\n") : QByteArray("HTTP/1.1 200 OK\r\n");
    const bool cut = requestLine.startsWith("POST ") && m_cutAnswers > 0;
    if (cut)
        --m_cutAnswers;
    response += "Content-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                QByteArray::number(payload.size()) + "\r\n\r\n" + (cut ? payload.left(payload.size() / 2) : payload);
    socket->write(response);
    socket->disconnectFromHost();
}

// --- One dictation

std::optional<DictationStop> dictate(TalvexProcess &talvex, XTestKeyboard &keys,
                                     const std::vector<std::uint32_t> &shortcut, Gesture gesture,
                                     const QString &wav, QString *error)
{
    auto fail = [&](const QString &what) -> std::optional<DictationStop> {
        keys.releaseAll();
        if (error)
            *error = what + QStringLiteral("\n--- talvex log:\n") + talvex.log();
        return std::nullopt;
    };
    const std::size_t first = talvex.lines().size();
    auto pressAll = [&] {
        for (const std::uint32_t key : shortcut)
            keys.press(key);
    };
    auto releaseAll = [&] {
        for (auto key = shortcut.rbegin(); key != shortcut.rend(); ++key)
            keys.release(*key);
    };

    pressAll();
    if (gesture == Gesture::tapTwice)
        releaseAll();
    if (!talvex.waitForLine(QStringLiteral("app"), QStringLiteral("Phase recording"), first))
        return fail(QStringLiteral("the dictation never started recording"));
    if (!play(wav))
        return fail(QStringLiteral("the speech could not be played"));
    if (gesture == Gesture::tapTwice)
        pressAll();
    const double released = monotonicNow();
    releaseAll();
    return DictationStop{released, first};
}

} // namespace talvex::e2e
