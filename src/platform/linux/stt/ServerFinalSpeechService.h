#pragma once

#include "TranscriptionClient.h"
#include "platform/FinalTextRecognizer.h"
#include "platform/SpeechService.h"

#include <QObject>
#include <memory>

namespace talvex {

/// Speech recognition in two parts: an on-device recogniser gives the running text while the user
/// speaks and finishes every dictation as usual, and when a transcription server is configured the
/// whole dictation's audio goes to it at the end and its text becomes the final transcript. When the
/// server cannot give one (unreachable, an error, an unusable or empty answer, no answer within the
/// bound) the on-device transcript is used and the transcriber's note says so. Without a server
/// every call goes to the on-device recogniser unchanged. Main thread only.
class ServerFinalSpeechService final : public QObject, public SpeechService, public FinalTextRecognizer {
    Q_OBJECT
  public:
    /// `onDevice` (outlives this) gives the running text and the stand-in final; `onDeviceName`
    /// names it in the settings window and the log.
    ServerFinalSpeechService(SpeechService &onDevice, QString onDeviceName,
                             std::unique_ptr<TranscriptionClient> client, QObject *parent = nullptr);
    /// With the server of TALVEX_STT_URL, TALVEX_STT_MODEL and TALVEX_STT_TIMEOUT (default: none).
    static std::unique_ptr<ServerFinalSpeechService> fromEnvironment(SpeechService &onDevice,
                                                                     QString onDeviceName);

    TranscriptionClient &client() const { return *m_client; }
    /// How long a finishing dictation may wait for the server; zero without one.
    std::chrono::milliseconds serverBound() const;

    bool isAvailable() const override { return m_onDevice.isAvailable(); }
    QCoro::Task<QStringList> supportedLocales() override { return m_onDevice.supportedLocales(); }
    QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) override
    {
        return m_onDevice.supportedLocale(std::move(identifier));
    }
    std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) override;
    std::shared_ptr<Transcriber> makeOfflineTranscriber(const QString &locale) override;
    QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber> module) override;
    QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber> module) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(std::shared_ptr<Transcriber> module,
                                                                     AudioFormat input) override;
    std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) override;

    /// The on-device recogniser's name without a server; with one, the server while it answers and
    /// the on-device name with the reason while it does not.
    QString finalTextRecognizer() const override;
    void watchFinalTextRecognizer(QObject *context, std::function<void()> changed) override;

  Q_SIGNALS:
    void finalTextRecognizerChanged();

  private:
    std::shared_ptr<Transcriber> wrap(std::shared_ptr<Transcriber> onDevice);
    /// The on-device module behind `module` (itself when it is one already).
    static std::shared_ptr<Transcriber> unwrap(const std::shared_ptr<Transcriber> &module);

    SpeechService &m_onDevice;
    QString m_onDeviceName;
    std::unique_ptr<TranscriptionClient> m_client;
};

} // namespace talvex
