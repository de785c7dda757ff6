// Entry point: the desktop application on an X11 display, a command to the running instance, or a
// headless command.
#include "ChatCompletionsModel.h"
#include "CommandLine.h"
#include "ControlClient.h"
#include "ControlService.h"
#include "DisplayLossNotice.h"
#include "LinuxServices.h"
#include "ServerFinalSpeechService.h"
#include "SessionBackends.h"
#include "SettledQuit.h"
#include "SignalQuit.h"
#include "SingleInstance.h"
#include "SphinxSpeechService.h"
#include "TalvexDelegate.h"
#include "TranscribeCommand.h"
#include "X11EmbeddedTray.h"
#include "Xcb.h"
#include "platform/Logging.h"
#include "platform/Version.h"
#include "shell/SystemTray.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTimer>

namespace {

QCoro::Task<> transcribe(talvex::TranscribeCommand::Options options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    talvex::SphinxSpeechService sphinx(talvex::SphinxSpeechService::defaultModelRoot(),
                                       options.partials ? talvex::SphinxSpeechService::Preload::dictation
                                                        : talvex::SphinxSpeechService::Preload::recordings);
    // The application's arrangement, unless PocketSphinx alone is asked for.
    using Recognizer = talvex::TranscribeCommand::Recognizer;
    std::unique_ptr<talvex::ServerFinalSpeechService> withServer;
    if (options.recognizer != Recognizer::sphinx)
        withServer =
            talvex::ServerFinalSpeechService::fromEnvironment(sphinx, QStringLiteral("PocketSphinx"));
    if (withServer && withServer->serverBound().count() == 0) {
        withServer.reset();
        if (options.recognizer == Recognizer::server) {
            err << "--recognizer server needs TALVEX_STT_URL set to the transcription server's loopback "
                   "address."
                << Qt::endl;
            QCoreApplication::exit(talvex::TranscribeCommand::unusable);
            co_return;
        }
    }
    talvex::SpeechService &speech = withServer ? *withServer : static_cast<talvex::SpeechService &>(sphinx);
    // A library's writing mode may ask for a rewrite: know whether the model answers before using it.
    std::unique_ptr<talvex::ChatCompletionsModel> model;
    if (!options.libraryFile.isEmpty()) {
        model = std::make_unique<talvex::ChatCompletionsModel>();
        co_await model->refresh();
    }
    const int code =
        co_await talvex::TranscribeCommand::run(std::move(options), speech, model.get(), out, err);
    QCoreApplication::exit(code);
}

int runTranscribe(int argc, char **argv, const QStringList &arguments)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Talvex"));
    QTextStream err(stderr);
    auto parsed = talvex::TranscribeCommand::parse(arguments);
    if (auto *problem = std::get_if<QString>(&parsed)) {
        err << *problem << Qt::endl << talvex::TranscribeCommand::usage() << Qt::endl;
        return talvex::TranscribeCommand::unusable;
    }
    QTimer::singleShot(
        0, [options = std::get<talvex::TranscribeCommand::Options>(parsed)] { transcribe(options); });
    return app.exec();
}

/// Exit status of a request to the running instance, with one sentence on stderr when it failed.
int reportOutcome(const talvex::ControlClient::Outcome &outcome)
{
    using Result = talvex::ControlClient::Outcome::Result;
    switch (outcome.result) {
    case Result::done:
        return 0;
    case Result::notRunning:
        QTextStream(stderr) << talvex::ControlClient::notRunningSentence() << Qt::endl;
        return 1;
    case Result::failed:
        QTextStream(stderr) << "Talvex did not carry out the command: " << outcome.problem << Qt::endl;
        return 1;
    }
    return 1;
}

int runControl(int argc, char **argv, talvex::ControlBus::Command command)
{
    // No display needed: only the session bus.
    QCoreApplication app(argc, argv);
    return reportOutcome(talvex::ControlClient::send(QDBusConnection::sessionBus(), command));
}

/// What a launch asks of the instance that already runs: show onboarding (as a reopened
/// application does) or the settings window; a login-time start asks for nothing.
int handOver(const talvex::CommandLine &line)
{
    if (line.autostart && !line.settings)
        return 0;
    const auto command =
        line.settings ? talvex::ControlBus::Command::openSettings : talvex::ControlBus::Command::reopen;
    return reportOutcome(talvex::ControlClient::send(QDBusConnection::sessionBus(), command));
}

/// Null when the X display can be used, else the sentence that says why not.
std::optional<QString> displayProblem()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return talvex::SessionBackends::missingDisplayMessage();
    // Qt aborts when it cannot reach the display; check first so the user gets one clear sentence.
    if (!talvex::x11::connectToDisplay())
        return QStringLiteral(
                   "Talvex needs an X11 desktop session, and the display \"%1\" could not be opened.")
            .arg(QString::fromLocal8Bit(display));
    return std::nullopt;
}

int runApplication(int argc, char **argv, const talvex::CommandLine &line)
{
    // Talvex's windows are X11 windows, also under Xwayland: the overlay stays a non-focusable X window.
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (const auto problem = displayProblem()) {
        // This session's Talvex may run on a display this process cannot see: it can still be asked.
        if (!line.autostart) {
            QCoreApplication app(argc, argv);
            const auto outcome = talvex::ControlClient::send(
                QDBusConnection::sessionBus(), line.settings ? talvex::ControlBus::Command::openSettings
                                                             : talvex::ControlBus::Command::reopen);
            if (outcome.result == talvex::ControlClient::Outcome::Result::done)
                return 0;
        }
        QTextStream(stderr) << *problem << Qt::endl;
        return 1;
    }

    QApplication app(argc, argv);
    // Losing the display ends the process from inside Qt: the user reads one sentence about it.
    talvex::DisplayLossNotice displayLoss;
    // Debug lines (each shortcut event, each phase) are for diagnosis; QT_LOGGING_RULES turns them on.
    QLoggingCategory::setFilterRules(
        QStringLiteral("talvex.*.debug=false\ncom.quindlark.talvex.*.debug=false"));
    QApplication::setApplicationName(QStringLiteral("Talvex"));
    QApplication::setOrganizationName(QStringLiteral("Talvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(talvex::talvexVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quindlark.Talvex"));
    // No main window: closing a dialog must not end the process.
    QApplication::setQuitOnLastWindowClosed(false);

    // The control object goes on the bus before the name, so whoever finds the name finds it too.
    QDBusConnection bus = QDBusConnection::sessionBus();
    talvex::ControlService control(bus);
    QString busProblem;
    auto claim = talvex::SingleInstance::Claim::unavailable;
    if (control.exportObject())
        claim = talvex::SingleInstance::claim(bus, &busProblem);
    else
        busProblem = bus.isConnected() ? bus.lastError().message() : QStringLiteral("no D-Bus session bus");
    if (claim == talvex::SingleInstance::Claim::heldByAnother)
        return handOver(line);
    if (claim == talvex::SingleInstance::Claim::unavailable)
        qCWarning(lcApp).noquote()
            << "Running without the control interface (talvex toggle, a second launch):" << busProblem;

    // Installed before anything slow: a signal during start-up waits in its socket for the loop.
    talvex::SignalQuit quitOnSignal;

    QString problem;
    std::unique_ptr<talvex::LinuxServices> services = talvex::LinuxServices::open(&problem);
    if (!services) {
        QTextStream(stderr) << problem << Qt::endl;
        return 1;
    }
    std::unique_ptr<talvex::x11::X11EmbeddedTray> embeddedTray = talvex::x11::X11EmbeddedTray::open();
    int status = 0;
    {
        talvex::TalvexDelegate::Launch launch;
        launch.onboarding = line.onboarding;
        launch.settings = line.settings;
        launch.waylandSession = services->sessionPlan().bindToggleInDesktopSettings;
        talvex::TalvexDelegate delegate(services->controllerServices(), services->shellServices(), launch);
        // A language model that comes or goes changes the readiness text at once.
        QObject::connect(&services->languageModel(), &talvex::ChatCompletionsModel::availabilityChanged,
                         &delegate.controller(), &talvex::DictationController::refreshPermissions);
        // Quitting (a signal, or "Quit Talvex") ends the loop at once, unless a dictation is being
        // finished: then its delivery completes first, so no paste key stays down and the user's
        // clipboard comes back.
        talvex::SettledQuit settledQuit(
            [&delegate] {
                const auto phase = delegate.controller().phase();
                return phase == talvex::Phase::transcribing || phase == talvex::Phase::refining;
            },
            // A dictation waiting for the transcription server is given that long too.
            [] { QCoreApplication::quit(); }, std::chrono::seconds(5) + services->speechServerBound());
        QObject::connect(&delegate.controller(), &talvex::DictationController::phaseChanged, &settledQuit,
                         &talvex::SettledQuit::recheck);
        QObject::connect(&quitOnSignal, &talvex::SignalQuit::received, &settledQuit,
                         [&settledQuit](int signalNumber) {
                             qCInfo(lcApp, "Quitting on signal %d", signalNumber);
                             settledQuit.request();
                         });
        delegate.setQuit([&settledQuit] {
            qCInfo(lcApp, "Quitting from the menu");
            settledQuit.request();
        });
        control.attach(delegate);

        talvex::SystemTray tray(delegate.menu(), bus, embeddedTray.get());
        QObject::connect(&tray, &talvex::SystemTray::shown, &delegate,
                         [&delegate] { delegate.setTrayPresence(talvex::TrayPresence::shown); });
        QObject::connect(&tray, &talvex::SystemTray::missing, &delegate,
                         [&delegate] { delegate.setTrayPresence(talvex::TrayPresence::missing); });
        QTimer::singleShot(0, &delegate, [&delegate, &tray] {
            delegate.applicationDidFinishLaunching();
            tray.start();
        });
        status = app.exec();
        // The tray and the controller (shortcut registration, live session and its audio engine) go
        // first, then the services underneath them.
    }
    embeddedTray.reset();
    services.reset();
    qCInfo(lcApp, "Ended");
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const talvex::CommandLine line = talvex::CommandLine::parse(arguments);
    switch (line.action) {
    case talvex::CommandLine::Action::showHelp:
        QTextStream(stdout) << talvex::CommandLine::help();
        return 0;
    case talvex::CommandLine::Action::showVersion:
        QTextStream(stdout) << talvex::CommandLine::version() << Qt::endl;
        return 0;
    case talvex::CommandLine::Action::unusable:
        QTextStream(stderr) << line.problem << Qt::endl
                            << "Run \"talvex --help\" for the commands." << Qt::endl;
        return talvex::CommandLine::unusableExitCode;
    case talvex::CommandLine::Action::transcribeHelp:
        QTextStream(stdout) << talvex::TranscribeCommand::usage() << Qt::endl;
        return 0;
    case talvex::CommandLine::Action::transcribe:
        return runTranscribe(argc, argv, line.commandArguments);
    case talvex::CommandLine::Action::control:
        return runControl(argc, argv, line.control);
    case talvex::CommandLine::Action::runApplication:
        break;
    }
    return runApplication(argc, argv, line);
}
