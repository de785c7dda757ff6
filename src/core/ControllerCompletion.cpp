// Stop, cancel and the completion pipeline: the final transcript is rewritten, replaced, delivered
// and kept in the history.
#include "DictationController.h"
#include "core/ControllerTexts.h"
#include "platform/Logging.h"
#include "refine/LocalModels.h"
#include "speech/TalvexError.h"
#include "store/UnicodeText.h"

namespace talvex {

namespace {

/// Thrown inside a task at its cancellation points; a cancelled task shows nothing.
struct TaskCancelled : std::exception {
    const char *what() const noexcept override { return "cancelled"; }
};

} // namespace

// --- Stop, cancel and completion.

void DictationController::stopRecording()
{
    if (m_phase != Phase::recording || !m_live || !m_destination || !m_capturePreferences || !m_captureID)
        return;
    // The dictation's timing starts here: the release (or stop command) is handled right now.
    const double stoppedAt = m_services.clock->now();
    setPhase(Phase::transcribing);
    CancellationToken task;
    m_taskCancellation = task;
    runStop(m_live, m_destination, *m_capturePreferences, *m_captureID, task, stoppedAt);
}

QCoro::Task<> DictationController::runStop(std::shared_ptr<LiveDictation> session,
                                           std::shared_ptr<Destination> target, Preferences snapshot,
                                           QUuid capture, CancellationToken token, double stoppedAt)
{
    QPointer<DictationController> self(this);
    std::exception_ptr failure;
    try {
        const QString transcript = co_await session->finish();
        if (!self)
            co_return;
        const std::optional<QString> speechNote = session->finalNote();
        if (token.isCancelled() || !isCurrent(capture))
            throw TaskCancelled();
        const StopTimes times{stoppedAt, m_services.clock->now()};

        const std::optional<QString> applicationID =
            target->app() ? target->app()->applicationID : std::optional<QString>();
        const WritingMode mode = snapshot.modeForDictation(applicationID, target->isPractice());
        const QString source = ControllerTexts::sourceName(target->app());

        co_await complete(transcript, mode, snapshot, source, target, times, token, speechNote);
        if (!self)
            co_return;
        if (isCurrent(capture))
            reset();
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !self->isCurrent(capture))
        co_return;
    if (!token.isCancelled())
        setMessage(ControllerTexts::describe(failure));
    reset();
}

QCoro::Task<> DictationController::complete(QString text, WritingMode mode, Preferences snapshot,
                                            QString source, std::shared_ptr<Destination> target,
                                            StopTimes times, CancellationToken token,
                                            std::optional<QString> speechNote)
{
    QPointer<DictationController> self(this);
    if (text.isEmpty())
        throw TalvexException(TalvexError::noSpeech);
    const bool rewrites = mode != WritingMode::verbatim;
    if (rewrites && m_phase != Phase::refining)
        setPhase(Phase::refining);

    const LocalModels::Refinement refinement =
        co_await LocalModels::refine(text, mode, snapshot.locale, *m_services.languageModel);
    // A dictation abandoned during the rewrite (its practice window closed) pastes nothing.
    if (!self || token.isCancelled())
        throw TaskCancelled();

    const QString finalText = snapshot.applyingReplacements(refinement.text);
    if (UnicodeText::trimmed(finalText, UnicodeText::isWhitespaceOrNewline).isEmpty())
        throw TalvexException(TalvexError::noSpeech);

    const std::optional<double> rewrittenAt =
        rewrites ? std::optional<double>(m_services.clock->now()) : std::nullopt;
    const Destination::Delivery outcome = co_await target->deliver(finalText);
    if (!self)
        throw TaskCancelled();
    recordTiming(
        DictationTiming::between(times.stopped, times.recognized, rewrittenAt, m_services.clock->now()),
        target->isPractice());

    const QString label = ControllerTexts::statusLabel(outcome);
    const std::optional<QString> notice = ControllerTexts::deliveryNotice(outcome);
    const QString bundle = target->app() && target->app()->applicationID ? *target->app()->applicationID
                                                                         : QStringLiteral("unknown");
    qCInfo(lcDelivery, "Delivery to %s: %s", qUtf8Printable(bundle), qUtf8Printable(label));
    refreshPermissions();

    // The notes in the order their steps ran: which recogniser gave the text, the rewrite, the paste.
    const auto noteMessage = [](const QStringList &parts) {
        const QString joined = parts.join(QLatin1Char(' '));
        return joined.isEmpty() ? std::nullopt : std::optional<QString>(joined);
    };
    QStringList parts;
    if (speechNote)
        parts << *speechNote;

    if (target->isPractice()) {
        setLastPracticePasteStatus(label);
        if (notice)
            parts << *notice;
        setMessage(noteMessage(parts));
        co_return;
    }

    const Transcript transcript = Transcript::make(text, finalText, source, mode);
    setLatest(transcript);
    setLastPasteStatus(source + QStringLiteral(": ") + label);
    setPasteNeedsAttention(ControllerTexts::needsAttention(outcome));
    if (refinement.note)
        parts << *refinement.note;
    if (notice)
        parts << *notice;
    setMessage(noteMessage(parts));

    // The current setting decides, not the dictation's copy: turning history off mid-dictation
    // keeps this transcript out too.
    Library changed = m_library;
    if (changed.addTranscript(transcript)) {
        setLibrary(changed);
        save();
    }
}

void DictationController::recordTiming(const DictationTiming &timing, bool practice)
{
    // Durations and where they went only: never the text.
    const QString rewrite = timing.rewrite ? QString::number(*timing.rewrite, 'f', 3) + QStringLiteral(" s")
                                           : QStringLiteral("none");
    qCInfo(lcDelivery, "Dictation timing: recognition %.3f s, rewrite %s, paste %.3f s, total %.3f s (%s)",
           timing.recognition, qUtf8Printable(rewrite), timing.paste, timing.total(),
           practice ? "practice field" : "another application");
    DictationTimings timings = m_dictationTimings;
    (practice ? timings.practice : timings.otherApplication) = timing;
    setDictationTimings(timings);
}

void DictationController::cancelPracticeDictation(const QWidget *practiceWindow)
{
    if (!isDictatingInto(practiceWindow))
        return;
    if (m_phase == Phase::preparing || m_phase == Phase::recording) {
        cancel();
        return;
    }
    // Transcribing or rewriting: the stop task sees its token at its next step and leaves quietly,
    // so nothing is pasted and the clipboard is not touched; the controller is idle at once.
    if (m_taskCancellation)
        m_taskCancellation->cancel();
    reset();
}

void DictationController::cancel()
{
    if (m_phase != Phase::preparing && m_phase != Phase::recording)
        return;
    std::shared_ptr<LiveDictation> session = m_live;
    if (m_taskCancellation)
        m_taskCancellation->cancel();
    reset();
    if (session)
        tearDown(std::move(session));
}

QCoro::Task<> DictationController::tearDown(std::shared_ptr<LiveDictation> session)
{
    co_await session->cancel();
}

} // namespace talvex
