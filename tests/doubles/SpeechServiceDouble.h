#pragma once

#include "Clock.h"
#include "OnWorkerThread.h"
#include "PlatformError.h"
#include "ResultChannel.h"
#include "SpeechService.h"

#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace talvex::test {

/// A transcriber whose results the test pushes (or the analyzer double pushes at finalize).
class TranscriberDouble final : public Transcriber {
  public:
    explicit TranscriberDouble(QString locale) : m_locale(std::move(locale)) {}
    QString locale() const override { return m_locale; }
    QCoro::Task<std::optional<SpeechResult>> nextResult() override { return channel->next(); }
    std::optional<QString> finalNote() const override { return note; }

    const std::shared_ptr<ResultChannel> channel = ResultChannel::create();
    std::optional<QString> note;

  private:
    QString m_locale;
};

/// An analyzer that consumes its input on a worker thread and records what happened.
class AnalyzerDouble final : public Analyzer {
  public:
    explicit AnalyzerDouble(std::shared_ptr<TranscriberDouble> module) : m_module(std::move(module)) {}

    std::optional<QString> contextError;
    std::optional<QString> finalizeError;
    bool stalled = false; ///< never reads the input, like a recogniser that fell behind
    std::vector<SpeechResult> resultsAtFinalize; ///< pushed before the results end
    /// When set, finalizing takes `finalizeSeconds` on this clock, as a recogniser catching up.
    Clock *clock = nullptr;
    double finalizeSeconds = 0;
    QStringList calls;
    QStringList context;
    std::shared_ptr<std::atomic<int>> buffersRead = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<std::int64_t>> framesRead = std::make_shared<std::atomic<std::int64_t>>(0);

    QCoro::Task<> setContext(QStringList contextualStrings) override
    {
        calls << "setContext";
        context = contextualStrings;
        if (contextError)
            throw PlatformError(*contextError);
        co_return;
    }

    QCoro::Task<> start(std::shared_ptr<AnalyzerInputStream> input) override
    {
        calls << "start";
        const bool stall = stalled;
        auto counter = buffersRead;
        auto frames = framesRead;
        auto reading = onWorkerThread([input, stall, counter, frames]() -> std::exception_ptr {
            if (stall)
                input->waitForEnd();
            for (;;) {
                auto element = input->pop();
                if (auto *buffer = std::get_if<PcmBuffer>(&element)) {
                    ++*counter;
                    *frames += buffer->frameLength;
                    continue;
                }
                if (auto *error = std::get_if<std::exception_ptr>(&element))
                    return *error;
                return nullptr;
            }
        });
        auto outcome = co_await reading;
        calls << "start ended";
        if (outcome)
            std::rethrow_exception(outcome);
    }

    QCoro::Task<> finalizeAndFinishThroughEndOfInput() override
    {
        calls << "finalize";
        if (finalizeError)
            throw PlatformError(*finalizeError);
        if (clock && finalizeSeconds > 0)
            co_await clock->sleep(finalizeSeconds);
        for (const auto &result : resultsAtFinalize)
            m_module->channel->push(result);
        m_module->channel->finish();
        co_return;
    }

    QCoro::Task<> cancelAndFinishNow() override
    {
        calls << "cancelAndFinishNow";
        m_module->channel->abandon();
        co_return;
    }

  private:
    std::shared_ptr<TranscriberDouble> m_module;
};

/// A speech service with scripted availability, locales and model state; records calls.
class SpeechServiceDouble final : public SpeechService {
  public:
    bool available = true;
    QStringList locales{QStringLiteral("en-US")};
    AssetStatus status = AssetStatus::supported;
    bool offersInstallation = true;
    std::optional<QString> installError;
    std::optional<AudioFormat> analyzerFormat = AudioFormat{16000, 1};
    QStringList calls;
    std::shared_ptr<TranscriberDouble> lastTranscriber;
    std::shared_ptr<AnalyzerDouble> lastAnalyzer;
    /// Applied to every new analyzer before it is handed out.
    std::function<void(AnalyzerDouble &)> configureAnalyzer;
    /// The note every new transcriber leaves about its final text.
    std::optional<QString> transcriberNote;

    bool isAvailable() const override { return available; }
    // A copy: QCoro 0.8 moves from an lvalue named in co_return, which would empty the member.
    QCoro::Task<QStringList> supportedLocales() override { co_return QStringList(locales); }
    QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) override
    {
        calls << "supportedLocale " + identifier;
        for (const auto &locale : locales)
            if (locale.compare(QString(identifier).replace('_', '-'), Qt::CaseInsensitive) == 0)
                co_return locale;
        co_return std::nullopt;
    }
    std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) override
    {
        calls << "makeTranscriber " + locale;
        lastTranscriber = std::make_shared<TranscriberDouble>(locale);
        lastTranscriber->note = transcriberNote;
        return lastTranscriber;
    }
    QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber>) override
    {
        calls << "assetStatus";
        co_return status;
    }
    QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber>) override
    {
        calls << "assetInstallationRequest";
        std::unique_ptr<AssetInstallationRequest> request;
        if (offersInstallation)
            request = std::make_unique<Request>(*this);
        co_return request;
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(std::shared_ptr<Transcriber>,
                                                                     AudioFormat) override
    {
        calls << "bestAvailableAudioFormat";
        co_return analyzerFormat;
    }
    std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) override
    {
        calls << "makeAnalyzer";
        lastAnalyzer = std::make_shared<AnalyzerDouble>(std::static_pointer_cast<TranscriberDouble>(module));
        if (configureAnalyzer)
            configureAnalyzer(*lastAnalyzer);
        return lastAnalyzer;
    }

  private:
    class Request final : public AssetInstallationRequest {
      public:
        explicit Request(SpeechServiceDouble &service) : m_service(service) {}
        QCoro::Task<> downloadAndInstall() override
        {
            m_service.calls << "downloadAndInstall";
            if (m_service.installError)
                throw PlatformError(*m_service.installError);
            m_service.status = AssetStatus::installed;
            co_return;
        }

      private:
        SpeechServiceDouble &m_service;
    };
};

} // namespace talvex::test
