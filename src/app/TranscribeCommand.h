#pragma once

#include "platform/SpeechService.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <variant>

namespace talvex {

class LanguageModelService;

/// `talvex transcribe FILE...`: runs each audio file through the same live-dictation pipeline as
/// the microphone, headless, and prints one final transcript per file: the bare text for one file,
/// the file name and the text for several (as grep does), or one JSON object per file for scripts.
class TranscribeCommand final {
  public:
    /// Which recogniser gives the final text: the application's arrangement (the transcription
    /// server when TALVEX_STT_URL names one, else PocketSphinx), or one of them by name.
    enum class Recognizer { configured, sphinx, server };

    struct Options {
        QStringList files;
        Recognizer recognizer = Recognizer::configured;
        bool partials = false; ///< also print every volatile text
        bool realTime = false; ///< play files at their own pace instead of as fast as decoded
        bool json = false;     ///< one JSON object per file (text or error, duration, timings)
        QString locale = QStringLiteral("en-US");
        bool localeGiven = false; ///< else a library's dictation language wins over the default
        QString vocabularyFile;   ///< hints, one per line
        QString libraryFile;      ///< apply this library's writing mode and replacements
    };

    /// Exit codes: 0 all files transcribed, 1 some file failed, 2 the command itself could not run.
    enum ExitCode { success = 0, fileFailed = 1, unusable = 2 };

    /// Options from the arguments after "transcribe", or a sentence saying what is wrong.
    static std::variant<Options, QString> parse(const QStringList &arguments);
    static QString usage();

    /// Transcribes every file. Transcripts (and partials, marked "partial: ") go to `out`, each
    /// after "FILE: " when there are several files; one line per problem, and the recogniser's note
    /// when a stand-in gave the final text, goes to `err`. With `json`, `out` gets exactly one object
    /// per file, a line each: {"file", "text" or "error", "note" when a rewrite kept the original,
    /// "recognizerNote" when a stand-in recogniser gave the text, "duration", "timings":
    /// {"recognition", "finish"}, "partials" when asked}, and only problems of the command itself go
    /// to `err`. `model` rewrites for a library's non-verbatim mode; may be null.
    static QCoro::Task<int> run(Options options, SpeechService &speech, LanguageModelService *model,
                                QTextStream &out, QTextStream &err);
};

} // namespace talvex
