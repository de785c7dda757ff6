#include "TranscribeCommand.h"

#include "FileAudioEngine.h"
#include "WavFile.h"
#include "platform/PlatformError.h"
#include "platform/SteadyClock.h"
#include "refine/LocalModels.h"
#include "speech/LiveDictation.h"
#include "speech/LocalModels.h"
#include "speech/TalvexError.h"
#include "store/Library.h"
#include "store/WordReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <cmath>

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

// Seconds to the millisecond: finer digits are noise in a timing and clutter the output.
double milliseconds(double seconds)
{
    return std::round(seconds * 1000.0) / 1000.0;
}

// What one file gave: its text or the sentence saying why not, and how long things took.
struct FileOutcome {
    QString path;
    QString text;
    QString problem;
    QString note;           ///< why a rewrite kept the original text
    QString recognizerNote; ///< why a stand-in recogniser gave the final text
    double duration = 0;
    std::optional<double> recognition; ///< session start to transcript
    std::optional<double> finish;      ///< end of the audio to transcript
    QStringList partials;
};

// Writes one file's outcome: a JSON line, or the text (after the file name when there are several)
// to `out` and a problem to `err`.
void report(const FileOutcome &outcome, bool json, bool named, bool partials, QTextStream &out,
            QTextStream &err)
{
    if (!json) {
        if (!outcome.recognizerNote.isEmpty())
            err << outcome.path << QStringLiteral(": ") << outcome.recognizerNote << Qt::endl;
        if (!outcome.note.isEmpty())
            err << outcome.path << QStringLiteral(": ") << outcome.note << Qt::endl;
        if (!outcome.problem.isEmpty())
            err << outcome.path << QStringLiteral(": ") << outcome.problem << Qt::endl;
        else
            out << (named ? outcome.path + QStringLiteral(": ") : QString()) << outcome.text << Qt::endl;
        return;
    }
    QJsonObject object{{QStringLiteral("file"), outcome.path},
                       {QStringLiteral("duration"), milliseconds(outcome.duration)}};
    if (outcome.problem.isEmpty())
        object.insert(QStringLiteral("text"), outcome.text);
    else
        object.insert(QStringLiteral("error"), outcome.problem);
    if (!outcome.note.isEmpty())
        object.insert(QStringLiteral("note"), outcome.note);
    if (!outcome.recognizerNote.isEmpty())
        object.insert(QStringLiteral("recognizerNote"), outcome.recognizerNote);
    QJsonObject timings;
    if (outcome.recognition)
        timings.insert(QStringLiteral("recognition"), milliseconds(*outcome.recognition));
    if (outcome.finish)
        timings.insert(QStringLiteral("finish"), milliseconds(*outcome.finish));
    object.insert(QStringLiteral("timings"), timings);
    if (partials)
        object.insert(QStringLiteral("partials"), QJsonArray::fromStringList(outcome.partials));
    out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << Qt::endl;
}

} // namespace

QString TranscribeCommand::usage()
{
    return QStringLiteral("Usage: talvex transcribe [--partials] [--realtime] [--json] [--locale LOCALE] "
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
        if (argument == QLatin1String("--json")) {
            options.json = true;
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
    const bool named = options.files.size() > 1;
    for (const QString &path : std::as_const(options.files)) {
        FileOutcome outcome;
        outcome.path = path;
        auto finished = [&] {
            report(outcome, options.json, named, options.partials, out, err);
            if (!outcome.problem.isEmpty())
                exitCode = fileFailed;
        };
        auto decoded = WavFile::read(path);
        if (auto *problem = std::get_if<QString>(&decoded)) {
            outcome.problem = *problem;
            finished();
            continue;
        }
        outcome.duration = std::get<WavAudio>(decoded).duration();
        auto engine = std::make_unique<FileAudioEngine>(
            std::move(std::get<WavAudio>(decoded)),
            options.realTime ? FileAudioEngine::Pace::realTime : FileAudioEngine::Pace::asFastAsConsumed);
        FileAudioEngine *player = engine.get();
        LiveDictation live(speech, std::move(engine), player->playbackClock());

        LocalModels::TextUpdate update;
        if (options.partials && options.json)
            update = [&outcome](QString text) -> QCoro::Task<> {
                outcome.partials << text;
                co_return;
            };
        else if (options.partials)
            update = [&out, prefix = named ? path + QStringLiteral(": ")
                                           : QString()](QString text) -> QCoro::Task<> {
                out << prefix << QStringLiteral("partial: ") << text << Qt::endl;
                co_return;
            };

        QString transcript;
        std::exception_ptr failure;
        const double started = SteadyClock::monotonicSeconds();
        try {
            auto module =
                options.partials ? speech.makeTranscriber(locale) : speech.makeOfflineTranscriber(locale);
            co_await live.start(module, hints, update, {});
            co_await player->playedToEnd();
            const double ended = SteadyClock::monotonicSeconds();
            transcript = co_await live.finish();
            const double done = SteadyClock::monotonicSeconds();
            outcome.recognition = done - started;
            outcome.finish = done - ended;
            if (const auto note = live.finalNote())
                outcome.recognizerNote = *note;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            co_await live.cancel();
            outcome.problem = describe(failure);
            finished();
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
                    outcome.note = *refinement.note;
            }
            text = LocalModels::trimmed(applyReplacements(preferences.replacements, text));
        }
        if (text.isEmpty())
            outcome.problem = errorDescription(TalvexError::noSpeech);
        else
            outcome.text = text;
        finished();
    }
    co_return exitCode;
}

} // namespace talvex
