// Entry point: the desktop application on an X11 display, or a headless command.
#include "ChatCompletionsModel.h"
#include "CommandLine.h"
#include "LinuxServices.h"
#include "SettledQuit.h"
#include "SignalQuit.h"
#include "SphinxSpeechService.h"
#include "TalvexDelegate.h"
#include "TranscribeCommand.h"
#include "Xcb.h"
#include "platform/Logging.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QTextStream>
#include <QTimer>

namespace {

QCoro::Task<> transcribe(talvex::TranscribeCommand::Options options)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    talvex::SphinxSpeechService speech(talvex::SphinxSpeechService::defaultModelRoot(),
                                       options.partials ? talvex::SphinxSpeechService::Preload::dictation
                                                        : talvex::SphinxSpeechService::Preload::recordings);
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

int runApplication(int argc, char **argv)
{
    // Every backend speaks X11, so the toolkit must too (also under XWayland).
    qputenv("QT_QPA_PLATFORM", "xcb");
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        QTextStream(stderr)
            << "Talvex needs an X11 desktop session, and no display is set (DISPLAY is empty)." << Qt::endl;
        return 1;
    }
    // Qt aborts when it cannot reach the display; check first so the user gets one clear sentence.
    if (!talvex::x11::connectToDisplay()) {
        QTextStream(stderr) << "Talvex needs an X11 desktop session, and the display \"" << display
                            << "\" could not be opened." << Qt::endl;
        return 1;
    }

    QApplication app(argc, argv);
    // Debug lines (each shortcut event, each phase) are for diagnosis; QT_LOGGING_RULES turns them on.
    QLoggingCategory::setFilterRules(QStringLiteral("talvex.*.debug=false\ncom.quindlark.talvex.*.debug=false"));
    QApplication::setApplicationName(QStringLiteral("Talvex"));
    QApplication::setOrganizationName(QStringLiteral("Talvex"));
    // No main window: closing a dialog must not end the process.
    QApplication::setQuitOnLastWindowClosed(false);

    // Installed before anything slow: a signal during start-up waits in its socket for the loop.
    talvex::SignalQuit quitOnSignal;

    QString problem;
    std::unique_ptr<talvex::LinuxServices> services = talvex::LinuxServices::open(&problem);
    if (!services) {
        QTextStream(stderr) << problem << Qt::endl;
        return 1;
    }
    int status = 0;
    {
        talvex::TalvexDelegate delegate(services->controllerServices());
        // A language model that comes or goes changes the readiness text at once.
        QObject::connect(&services->languageModel(), &talvex::ChatCompletionsModel::availabilityChanged,
                         &delegate.controller(), &talvex::DictationController::refreshPermissions);
        // A signal ends the loop at once, unless a dictation is being finished: then its delivery
        // completes first, so no paste key stays down and the user's clipboard comes back.
        talvex::SettledQuit settledQuit(
            [&delegate] {
                const auto phase = delegate.controller().phase();
                return phase == talvex::Phase::transcribing || phase == talvex::Phase::refining;
            },
            [] { QCoreApplication::quit(); }, std::chrono::seconds(5));
        QObject::connect(&delegate.controller(), &talvex::DictationController::phaseChanged, &settledQuit,
                         &talvex::SettledQuit::recheck);
        QObject::connect(&quitOnSignal, &talvex::SignalQuit::received, &settledQuit,
                         [&settledQuit](int signalNumber) {
                             qCInfo(lcApp, "Quitting on signal %d", signalNumber);
                             settledQuit.request();
                         });
        QTimer::singleShot(0, &delegate, &talvex::TalvexDelegate::applicationDidFinishLaunching);
        status = app.exec();
        // The controller (shortcut registration, live session and its audio engine) goes first,
        // then the services underneath it.
    }
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
    case talvex::CommandLine::Action::unusable:
        QTextStream(stderr) << line.problem << Qt::endl
                            << "Run \"talvex --help\" for the commands." << Qt::endl;
        return talvex::CommandLine::unusableExitCode;
    case talvex::CommandLine::Action::transcribe:
        return runTranscribe(argc, argv, line.commandArguments);
    case talvex::CommandLine::Action::runApplication:
        break;
    }
    return runApplication(argc, argv);
}
