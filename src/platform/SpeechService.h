#pragma once

#include "AnalyzerInputStream.h"
#include "AudioFormat.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace talvex {

/// One recogniser result: a volatile guess that later results replace, or a final segment.
struct SpeechResult {
    QString text;
    bool isFinal = false;
};

/// A transcriber module for one supported locale, giving volatile and final results (the progressive
/// preset). One per dictation; also used alone for the model check during preparation.
class Transcriber {
  public:
    virtual ~Transcriber() = default;

    /// The supported locale identifier this module transcribes.
    virtual QString locale() const = 0;

    /// The next result, in order, once it exists; nothing when the analysis has ended. Throws the
    /// analysis' failure. Resumes on the main thread; one caller at a time.
    virtual QCoro::Task<std::optional<SpeechResult>> nextResult() = 0;

    /// Once the results have ended: one sentence for the user when the final text came from
    /// somewhere else than the recogniser that was set up to give it (a fallback), else nothing.
    virtual std::optional<QString> finalNote() const { return std::nullopt; }
};

/// Whether a module's model is ready on this machine; only `installed` skips installation.
enum class AssetStatus { unsupported, supported, downloading, installed };

/// Makes a module's model ready (on Linux: loads the installed model files; there is no download).
class AssetInstallationRequest {
  public:
    virtual ~AssetInstallationRequest() = default;
    /// Returns when the model is ready. Throws PlatformError naming what is missing.
    virtual QCoro::Task<> downloadAndInstall() = 0;
};

/// Runs recognition of one input stream for one transcriber.
class Analyzer {
  public:
    virtual ~Analyzer() = default;

    /// Vocabulary hints (general tag) for this analysis, before audio flows. Throws PlatformError.
    virtual QCoro::Task<> setContext(QStringList contextualStrings) = 0;

    /// Analyses `input` until it ends; results go to the transcriber. Finishes when all input is
    /// consumed; throws the stream's error if it ended with one. Resumes on the main thread.
    virtual QCoro::Task<> start(std::shared_ptr<AnalyzerInputStream> input) = 0;

    /// Makes every result for the input received final, then ends the transcriber's results.
    virtual QCoro::Task<> finalizeAndFinishThroughEndOfInput() = 0;

    /// Ends the analysis now: pending input and results are dropped and the results end. Never throws.
    virtual QCoro::Task<> cancelAndFinishNow() = 0;
};

/// On-device speech recognition.
class SpeechService {
  public:
    virtual ~SpeechService() = default;

    /// Whether on-device transcription exists on this machine. Never blocks.
    virtual bool isAvailable() const = 0;

    /// Locale identifiers with an installed model (e.g. "en-US").
    virtual QCoro::Task<QStringList> supportedLocales() = 0;

    /// The supported locale equivalent to `identifier` ("en_US.UTF-8", "en-us", "en" ...), or nothing.
    virtual QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) = 0;

    /// A module for a supported locale giving volatile and final results (the progressive preset).
    virtual std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) = 0;

    /// A module that gives final results only, for transcribing recordings where nobody watches
    /// the text grow; it may save the work volatile results cost. By default the progressive one.
    virtual std::shared_ptr<Transcriber> makeOfflineTranscriber(const QString &locale)
    {
        return makeTranscriber(locale);
    }

    /// Whether the module's model is ready.
    virtual QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber> module) = 0;

    /// A request that makes the model ready, or null when there is nothing to do.
    virtual QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber> module) = 0;

    /// The format the analyzer wants given the microphone's format, or nothing when none fits.
    virtual QCoro::Task<std::optional<AudioFormat>>
    bestAvailableAudioFormat(std::shared_ptr<Transcriber> module, AudioFormat input) = 0;

    /// An analyzer for `module`, with no options.
    virtual std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) = 0;
};

} // namespace talvex
