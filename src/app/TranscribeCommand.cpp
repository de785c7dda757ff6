#include "TranscribeCommand.h"

#include "FileAudioEngine.h"
#include "WavFile.h"
#include "platform/PlatformError.h"
#include "refine/LocalModels.h"
#include "speech/LiveDictation.h"
#include "speech/LocalModels.h"
#include "speech/TalvexError.h"
#include "store/Library.h"
#include "store/WordReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace talvex {

namespace {

// The recogniser takes at most this many vocabulary hints, as in a dictation.
constexpr qsizetype maximumHints = 100;

QString describe(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const TalvexException &e) {
        return errorDescription(e.error());
    } catch (const PlatformError &e) {
        return e.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure.");
    }
}

std::variant<Library, QString> readLibrary(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot be read: %2.").arg(path, file.errorString());
    QString problem;
    auto library = Library::read(file.readAll(), &problem);
    if (!library)
        return QStringLiteral("%1: %2").arg(path, problem);
    return *library;
}

std::variant<QStringList, QString> readHints(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot be read: %2.").arg(path, file.errorString());
    QStringList hints;
    for (const auto &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString hint = line.trimmed();
        if (!hint.isEmpty() && hints.size() < maximumHints)
            hints << hint;
    }
    return hints;
}

} // namespace

QString TranscribeCommand::usage()
{
    return QStringLiteral("Usage: talvex transcribe [--partials] [--realtime] [--locale LOCALE] "
                          "[--vocabulary FILE] [--library FILE] [--recognizer sphinx|server] FILE...");
}

std::variant<TranscribeCommand::Options, QString> TranscribeCommand::parse(const QStringList &arguments)
{
    Options options;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (onlyFiles || !argument.startsWith(QLatin1String("--"))) {
            options.files << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        if (argument == QLatin1String("--partials")) {
            options.partials = true;
            continue;
        }
        if (argument == QLatin1String("--realtime")) {
            options.realTime = true;
            continue;
        }
        if (argument == QLatin1String("--recognizer")) {
            const QString value = arguments.value(++i);
            if (value == QLatin1String("sphinx"))
                options.recognizer = Recognizer::sphinx;
            else if (value == QLatin1String("server"))
                options.recognizer = Recognizer::server;
            else
                return QStringLiteral("--recognizer takes sphinx or server.");
            continue;
        }
        QString *target = nullptr;
        if (argument == QLatin1String("--locale")) {
            target = &options.locale;
            options.localeGiven = true;
        } else if (argument == QLatin1String("--vocabulary"))
            target = &options.vocabularyFile;
        else if (argument == QLatin1String("--library"))
            target = &options.libraryFile;
        else
            return QStringLiteral("Unknown option %1.").arg(argument);
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
            return QStringLiteral("%1 needs a value.").arg(argument);
        *target = arguments[++i];
    }
    if (options.files.isEmpty())
        return QStringLiteral("Name at least one audio file.");
    return options;
}

QCoro::Task<int> TranscribeCommand::run(Options options, SpeechService &speech, LanguageModelService *model,
                                        QTextStream &out, QTextStream &err)
{
    // The command's output is the transcripts and one line per problem; diagnostics only on request.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("talvex.*.debug=false\ntalvex.stt.info=false"));

    std::optional<Library> library;
    if (!options.libraryFile.isEmpty()) {
        auto read = readLibrary(options.libraryFile);
        if (auto *problem = std::get_if<QString>(&read)) {
            err << *problem << Qt::endl;
            co_return unusable;
        }
        library = std::get<Library>(std::move(read));
        if (!options.localeGiven)
            options.locale = library->preferences.locale;
    }

    // A library's vocabulary comes first, as in a dictation; the recogniser takes the first 100.
    QStringList hints = library ? library->preferences.contextWords() : QStringList();
    if (!options.vocabularyFile.isEmpty()) {
        auto read = readHints(options.vocabularyFile);
        if (auto *problem = std::get_if<QString>(&read)) {
            err << *problem << Qt::endl;
            co_return unusable;
        }
        hints << std::get<QStringList>(read);
        hints.removeDuplicates();
        hints = hints.mid(0, maximumHints);
    }

    // Prepared once, as the application does; every file reuses the loaded model.
    QString locale;
    std::exception_ptr preparationFailure;
    try {
        locale = co_await LocalModels::prepareSpeech(speech, options.locale);
    } catch (...) {
        preparationFailure = std::current_exception();
    }
    if (preparationFailure) {
        err << describe(preparationFailure) << Qt::endl;
        co_return unusable;
    }

    int exitCode = success;
    for (const QString &path : std::as_const(options.files)) {
        auto decoded = WavFile::read(path);
        if (auto *problem = std::get_if<QString>(&decoded)) {
            err << path << QStringLiteral(": ") << *problem << Qt::endl;
            exitCode = fileFailed;
            continue;
        }
        auto engine = std::make_unique<FileAudioEngine>(
            std::move(std::get<WavAudio>(decoded)),
            options.realTime ? FileAudioEngine::Pace::realTime : FileAudioEngine::Pace::asFastAsConsumed);
        FileAudioEngine *player = engine.get();
        LiveDictation live(speech, std::move(engine), player->playbackClock());

        LocalModels::TextUpdate update;
        if (options.partials)
            update = [&out](QString text) -> QCoro::Task<> {
                out << QStringLiteral("partial: ") << text << Qt::endl;
                co_return;
            };

        QString transcript;
        std::exception_ptr failure;
        try {
            auto module =
                options.partials ? speech.makeTranscriber(locale) : speech.makeOfflineTranscriber(locale);
            co_await live.start(module, hints, update, {});
            co_await player->playedToEnd();
            transcript = co_await live.finish();
            if (const auto note = live.finalNote())
                err << path << QStringLiteral(": ") << *note << Qt::endl;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            co_await live.cancel();
            err << path << QStringLiteral(": ") << describe(failure) << Qt::endl;
            exitCode = fileFailed;
            continue;
        }
        // What a dictation does with the transcript before delivering it: the writing mode (no target
        // application here, so the default mode), the replacements, and the no-speech check.
        QString text = transcript;
        if (library && !text.isEmpty()) {
            const auto &preferences = library->preferences;
            const WritingMode mode = preferences.modeForDictation(std::nullopt);
            if (mode != WritingMode::verbatim && model) {
                const auto refinement = co_await LocalModels::refine(text, mode, locale, *model);
                text = refinement.text;
                if (refinement.note)
                    err << path << QStringLiteral(": ") << *refinement.note << Qt::endl;
            }
            text = LocalModels::trimmed(applyReplacements(preferences.replacements, text));
        }
        if (text.isEmpty()) {
            err << path << QStringLiteral(": ") << errorDescription(TalvexError::noSpeech) << Qt::endl;
            exitCode = fileFailed;
            continue;
        }
        out << text << Qt::endl;
    }
    co_return exitCode;
}

} // namespace talvex
