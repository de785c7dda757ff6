#include "ServerFinalDictation.h"

#include "SttLogging.h"
#include "TranscriptionForm.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace talvex {

ServerFinalDictation::ServerFinalDictation(QString locale, QPointer<TranscriptionClient> client,
                                           QString onDeviceName)
    : m_locale(std::move(locale)), m_client(std::move(client)), m_onDeviceName(std::move(onDeviceName))
{
}

void ServerFinalDictation::audioComplete()
{
    if (m_sent || m_outcome)
        return;
    m_sent = true;
    send();
}

QCoro::Task<> ServerFinalDictation::send()
{
    auto self = shared_from_this();
    if (m_abandoned) {
        resolve(TranscriptionOutcome::failed(TranscriptionFailure::cancelled, QStringLiteral("Abandoned.")));
        co_return;
    }
    if (!m_client) {
        resolve(TranscriptionOutcome::failed(TranscriptionFailure::turnedOff, QStringLiteral("No client.")));
        co_return;
    }
    if (const char *reason = m_audio.unusableReason()) {
        resolve(TranscriptionOutcome::failed(TranscriptionFailure::unsendable, QString::fromLatin1(reason)));
        co_return;
    }
    if (m_audio.frames() == 0) {
        resolve(TranscriptionOutcome::failed(TranscriptionFailure::unsendable,
                                             QStringLiteral("No audio arrived.")));
        co_return;
    }
    m_sinceSent.start();
    TranscriptionOutcome outcome =
        co_await m_client->transcribe(m_audio.wav(), TranscriptionForm::languageOf(m_locale),
                                      TranscriptionForm::promptFor(m_hints), m_requestCancel);
    self->resolve(std::move(outcome));
}

void ServerFinalDictation::abandon()
{
    m_abandoned = true;
    m_relayCancel.cancel();
    if (m_outcome)
        return;
    m_requestCancel.cancel(); // a running request resolves as cancelled
    if (!m_sent)
        resolve(TranscriptionOutcome::failed(TranscriptionFailure::cancelled, QStringLiteral("Abandoned.")));
}

void ServerFinalDictation::resolve(TranscriptionOutcome outcome)
{
    if (m_outcome)
        return;
    if (outcome.text)
        qCInfo(lcStt, "Final text from the transcription server, %lld ms after the end of the audio",
               static_cast<long long>(m_sinceSent.elapsed()));
    m_outcome = std::move(outcome);
    changed();
}

void ServerFinalDictation::changed()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self = shared_from_this()] {
            for (std::coroutine_handle<> waiter : std::exchange(self->m_waiters, {}))
                waiter.resume();
        },
        Qt::QueuedConnection);
}

QCoro::Task<TranscriptionOutcome> ServerFinalDictation::serverOutcome()
{
    auto self = shared_from_this();
    while (!m_outcome)
        co_await NextChange{this};
    // A copy: QCoro moves from an lvalue named in co_return, and both sides of the dictation read it.
    co_return TranscriptionOutcome(*m_outcome);
}

void ServerFinalDictation::analysisEnded()
{
    m_analysisEnded = true;
    changed();
}

QCoro::Task<bool> ServerFinalDictation::serverTextFirst()
{
    auto self = shared_from_this();
    while (!m_analysisEnded && !(m_outcome && m_outcome->text))
        co_await NextChange{this};
    co_return !m_analysisEnded;
}

void ServerFinalDictation::useOnDevice(const TranscriptionOutcome &outcome)
{
    if (m_abandoned)
        return;
    const std::chrono::milliseconds bound =
        m_client ? m_client->endpoint().timeout : std::chrono::milliseconds(0);
    m_note = fallbackNote(outcome.failure, bound);
    qCInfo(lcStt).noquote() << "Final text from" << m_onDeviceName + QLatin1Char(':') << outcome.detail;
}

} // namespace talvex
