#include "ServerFinalSpeechService.h"

#include "ServerFinalAnalyzer.h"
#include "ServerFinalDictation.h"
#include "ServerFinalTranscriber.h"

namespace talvex {

ServerFinalSpeechService::ServerFinalSpeechService(SpeechService &onDevice, QString onDeviceName,
                                                   std::unique_ptr<TranscriptionClient> client,
                                                   QObject *parent)
    : QObject(parent), m_onDevice(onDevice), m_onDeviceName(std::move(onDeviceName)),
      m_client(std::move(client))
{
    connect(m_client.get(), &TranscriptionClient::availabilityChanged, this,
            &ServerFinalSpeechService::finalTextRecognizerChanged);
}

std::unique_ptr<ServerFinalSpeechService> ServerFinalSpeechService::fromEnvironment(SpeechService &onDevice,
                                                                                    QString onDeviceName)
{
    return std::make_unique<ServerFinalSpeechService>(
        onDevice, std::move(onDeviceName),
        std::make_unique<TranscriptionClient>(SttEndpoint::fromEnvironment()));
}

std::chrono::milliseconds ServerFinalSpeechService::serverBound() const
{
    return m_client->endpoint().enabled() ? m_client->endpoint().timeout : std::chrono::milliseconds(0);
}

std::shared_ptr<Transcriber> ServerFinalSpeechService::wrap(std::shared_ptr<Transcriber> onDevice)
{
    if (!m_client->endpoint().enabled())
        return onDevice;
    m_client->availability(); // a stale answer is checked again in the background
    auto dictation =
        std::make_shared<ServerFinalDictation>(onDevice->locale(), QPointer(m_client.get()), m_onDeviceName);
    return std::make_shared<ServerFinalTranscriber>(std::move(onDevice), std::move(dictation));
}

std::shared_ptr<Transcriber> ServerFinalSpeechService::unwrap(const std::shared_ptr<Transcriber> &module)
{
    if (auto wrapped = std::dynamic_pointer_cast<ServerFinalTranscriber>(module))
        return wrapped->onDevice();
    return module;
}

std::shared_ptr<Transcriber> ServerFinalSpeechService::makeTranscriber(const QString &locale)
{
    return wrap(m_onDevice.makeTranscriber(locale));
}

std::shared_ptr<Transcriber> ServerFinalSpeechService::makeOfflineTranscriber(const QString &locale)
{
    return wrap(m_onDevice.makeOfflineTranscriber(locale));
}

QCoro::Task<AssetStatus> ServerFinalSpeechService::assetStatus(std::shared_ptr<Transcriber> module)
{
    return m_onDevice.assetStatus(unwrap(module));
}

QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
ServerFinalSpeechService::assetInstallationRequest(std::shared_ptr<Transcriber> module)
{
    return m_onDevice.assetInstallationRequest(unwrap(module));
}

QCoro::Task<std::optional<AudioFormat>>
ServerFinalSpeechService::bestAvailableAudioFormat(std::shared_ptr<Transcriber> module, AudioFormat input)
{
    return m_onDevice.bestAvailableAudioFormat(unwrap(module), input);
}

std::shared_ptr<Analyzer> ServerFinalSpeechService::makeAnalyzer(std::shared_ptr<Transcriber> module)
{
    auto wrapped = std::dynamic_pointer_cast<ServerFinalTranscriber>(module);
    if (!wrapped)
        return m_onDevice.makeAnalyzer(std::move(module));
    return std::make_shared<ServerFinalAnalyzer>(m_onDevice.makeAnalyzer(wrapped->onDevice()), wrapped);
}

QString ServerFinalSpeechService::finalTextRecognizer() const
{
    using Availability = TranscriptionClient::Availability;
    const SttEndpoint &endpoint = m_client->endpoint();
    switch (m_client->availability()) {
    case Availability::off:
        break;
    case Availability::reachable: {
        QString name = QStringLiteral("Transcription server at %1").arg(endpoint.hostAndPort());
        if (const QString model = m_client->activeModel(); !model.isEmpty())
            name += QStringLiteral(" (%1)").arg(model);
        return name;
    }
    case Availability::checking:
        return QStringLiteral("%1 (checking the transcription server\u2026)").arg(m_onDeviceName);
    case Availability::unreachable:
        return QStringLiteral("%1 (transcription server at %2 not reachable)")
            .arg(m_onDeviceName, endpoint.hostAndPort());
    }
    return m_onDeviceName;
}

void ServerFinalSpeechService::watchFinalTextRecognizer(QObject *context, std::function<void()> changed)
{
    connect(this, &ServerFinalSpeechService::finalTextRecognizerChanged, context, std::move(changed));
}

} // namespace talvex
