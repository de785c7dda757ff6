#pragma once

#include "RecordedAudio.h"
#include "TranscriptionClient.h"
#include "TranscriptionOutcome.h"
#include "platform/CancellationToken.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <coroutine>
#include <memory>
#include <optional>
#include <vector>

namespace talvex {

/// What the transcriber and the analyzer of one dictation share when the server gives the final
/// text: the recording, the one request made of the server and its outcome, and the note left when
/// the on-device text stands in. Main thread, except the recording and `abandoned()`, which the
/// analyzer's input thread uses until the input ends.
class ServerFinalDictation final : public std::enable_shared_from_this<ServerFinalDictation> {
  public:
    /// The server takes at most this much audio in one request.
    static constexpr double maximumSeconds = 15 * 60;

    /// `onDeviceName` names the stand-in recogniser in the log.
    ServerFinalDictation(QString locale, QPointer<TranscriptionClient> client, QString onDeviceName);

    const QString &locale() const { return m_locale; }
    /// The vocabulary hints, which become the request's prompt.
    void setHints(QStringList hints) { m_hints = std::move(hints); }

    /// The input thread's until the input has ended.
    RecordedAudio &audio() { return m_audio; }
    /// Readable from any thread.
    bool abandoned() const { return m_abandoned; }

    /// The whole dictation has been recorded: sends it, once. Main thread.
    void audioComplete();
    /// The dictation is dropped: a running request is cancelled and no other is made; nothing is
    /// noted. Does nothing once the outcome is known.
    void abandon();

    /// The server's outcome once it is known (at once when it is).
    QCoro::Task<TranscriptionOutcome> serverOutcome();
    /// The on-device analysis has consumed its input (or failed).
    void analysisEnded();
    /// Returns once the on-device analysis has ended or the server's text is in: true when the
    /// text came first, and the on-device recogniser's remaining audio is no longer worth waiting for.
    QCoro::Task<bool> serverTextFirst();
    /// The on-device text stands in for the server's: keeps the note for the user and logs why.
    void useOnDevice(const TranscriptionOutcome &outcome);
    /// The sentence for the user when the on-device text was used in the server's place.
    const std::optional<QString> &note() const { return m_note; }
    /// Stops relaying the on-device results.
    const CancellationToken &relayCancellation() const { return m_relayCancel; }

  private:
    QCoro::Task<> send();
    void resolve(TranscriptionOutcome outcome);

    /// Suspends until the next change (the outcome, the end of the analysis); the waiter checks again.
    struct NextChange {
        ServerFinalDictation *dictation;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiter) const { dictation->m_waiters.push_back(waiter); }
        void await_resume() const noexcept {}
    };
    /// Resumes every waiter on the next turn of the event loop, never inside the caller's own step.
    void changed();

    QString m_locale;
    QPointer<TranscriptionClient> m_client;
    QString m_onDeviceName;
    QStringList m_hints;
    RecordedAudio m_audio{maximumSeconds};
    std::atomic<bool> m_abandoned{false};
    bool m_sent = false;
    CancellationToken m_requestCancel;
    CancellationToken m_relayCancel;
    QElapsedTimer m_sinceSent;
    std::optional<TranscriptionOutcome> m_outcome;
    bool m_analysisEnded = false;
    /// Suspended coroutines that hold this object (they are never destroyed while suspended here).
    std::vector<std::coroutine_handle<>> m_waiters;
    std::optional<QString> m_note;
};

} // namespace talvex
