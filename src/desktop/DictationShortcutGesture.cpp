#include "DictationShortcutGesture.h"

namespace talvex {

namespace {

// Event times come as whole milliseconds turned into seconds, and their difference is not exact in
// binary (2.3 - 2.0 < 0.3): allow far less than a millisecond so a hold of exactly the threshold
// stays a hold.
constexpr double timeTolerance = 1e-6;

bool isRunning(DictationShortcutGesture::Phase phase)
{
    return phase == DictationShortcutGesture::Phase::preparing ||
           phase == DictationShortcutGesture::Phase::recording;
}

} // namespace

DictationShortcutGesture::Action DictationShortcutGesture::handle(bool pressed, double time, Phase phase)
{
    if (pressed) {
        if (m_press) // a repeated press report
            return Action::none;
        if (phase == Phase::idle) {
            m_press = Press{time, true};
            return Action::start;
        }
        if (isRunning(phase))
            m_press = Press{time, false};
        // While transcribing or refining the press is not taken, so its release is ignored too.
        return Action::none;
    }

    if (!m_press)
        return Action::none;
    const Press press = *m_press;
    m_press.reset();
    if (!isRunning(phase))
        return Action::none;
    if (!press.startedRecording || time - press.time >= holdThreshold - timeTolerance)
        return phase == Phase::preparing ? Action::cancel : Action::stopRecording;
    // A tap: the dictation it started keeps running hands-free until the next press and release.
    return Action::none;
}

bool DictationShortcutGesture::interrupt()
{
    const bool started = m_press && m_press->startedRecording;
    m_press.reset();
    return started;
}

} // namespace talvex
