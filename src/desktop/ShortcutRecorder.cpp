#include "ShortcutRecorder.h"

#include <utility>

namespace talvex {

QString ShortcutRecorder::initialInstruction()
{
    return QStringLiteral("Press your shortcut\u2026");
}

QString ShortcutRecorder::holdKeysInstruction()
{
    return QStringLiteral("Hold the keys together\u2026");
}

QString ShortcutRecorder::noWindowMessage()
{
    return QStringLiteral("Click inside the Talvex window and try Record Shortcut again.");
}

QString ShortcutRecorder::captureFailedMessage()
{
    return QStringLiteral("Couldn\u2019t start shortcut capture. Try again.");
}

ShortcutRecorder::ShortcutRecorder(ShortcutRecordingController &controller, QObject *parent)
    : QObject(parent), m_controller(controller)
{
}

ShortcutRecorder::~ShortcutRecorder()
{
    if (isRecording()) {
        m_monitor.reset();
        m_controller.retryShortcut();
    }
}

void ShortcutRecorder::begin(std::optional<WindowId> window, const std::function<Monitor()> &installMonitor)
{
    if (isRecording())
        return;
    if (!window) {
        m_controller.showMessage(noWindowMessage());
        return;
    }
    m_recordingWindow = window;
    m_instruction = holdKeysInstruction();
    m_candidate.reset();
    m_modifierCapture.reset();
    m_heldModifiers = 0;
    m_controller.beginShortcutRecording();

    m_monitor = installMonitor ? installMonitor() : nullptr;
    if (!m_monitor) {
        m_recordingWindow.reset();
        m_controller.retryShortcut();
        m_controller.showMessage(captureFailedMessage());
    }
    emit changed();
}

bool ShortcutRecorder::handle(const KeyEvent &event, std::optional<WindowId> window)
{
    if (!isRecording() || !window || *window != *m_recordingWindow)
        return false;

    const std::uint32_t held = Shortcut::chordModifiers(event.modifierFlags);
    switch (event.type) {
    case KeyEvent::Type::keyDown:
        m_heldModifiers = held;
        if (event.isRepeat)
            return true;
        m_modifierCapture.ordinaryKeyDown();
        recordKeyDown(event);
        break;
    case KeyEvent::Type::keyUp:
        m_heldModifiers = held;
        if (m_candidate && event.keyCode == m_candidate->code()) {
            const Shortcut candidate = *m_candidate;
            finish(candidate);
        } else if (held == 0) {
            // A key typed and let go with no modifier down leaves no combination to protect: a
            // chord may follow at once, without first pressing and releasing a modifier.
            m_modifierCapture.reset();
        }
        break;
    case KeyEvent::Type::flagsChanged:
        recordModifiers(event.modifierFlags);
        break;
    }
    return true;
}

void ShortcutRecorder::cancel()
{
    if (isRecording())
        finish(std::nullopt);
}

void ShortcutRecorder::windowResignedKey(std::optional<WindowId> window)
{
    if (isRecording() && window == m_recordingWindow)
        finish(std::nullopt);
}

void ShortcutRecorder::recordKeyDown(const KeyEvent &event)
{
    if (event.keyCode == escapeKeyCode && Shortcut::chordModifiers(event.modifierFlags) == 0) {
        finish(std::nullopt);
        return;
    }
    if (m_candidate)
        return; // a combination is already waiting for its key to be released

    const std::optional<Shortcut> shortcut = Shortcut::fromEvent(event);
    if (!shortcut) {
        setInstruction(QStringLiteral("Add a modifier or use a function key."));
        return;
    }
    if (shortcut->reservedForEditing()) {
        setInstruction(shortcut->displayText() + QStringLiteral(" is reserved for editing. Try another."));
        return;
    }
    m_candidate = shortcut;
    setInstruction(shortcut->displayText() + QStringLiteral("  Release to save"));
}

void ShortcutRecorder::recordModifiers(std::uint32_t flags)
{
    const std::uint32_t mask = Shortcut::chordModifiers(flags);
    const bool onlyReleased = mask != m_heldModifiers && (mask & ~m_heldModifiers) == 0;
    m_heldModifiers = mask;
    if (m_candidate)
        return;

    const bool afterOrdinaryKey = m_modifierCapture.usedOrdinaryKey();
    const ModifierChordCapture::Outcome outcome = m_modifierCapture.modifiersChanged(mask);
    switch (outcome.kind) {
    case ModifierChordCapture::Outcome::Kind::completed:
        finish(outcome.shortcut);
        break;
    case ModifierChordCapture::Outcome::Kind::chordHeld:
        setInstruction(Shortcut::modifierLabel(outcome.mask) +
                       QStringLiteral("  Release to save or press another key"));
        break;
    case ModifierChordCapture::Outcome::Kind::holding:
        // Letting go of the modifiers of a key just rejected keeps the reason on screen.
        if (!(afterOrdinaryKey && onlyReleased))
            setInstruction(Shortcut::modifierLabel(outcome.mask) + QStringLiteral("  Hold another key"));
        break;
    case ModifierChordCapture::Outcome::Kind::nothing:
        break;
    }
}

void ShortcutRecorder::finish(const std::optional<Shortcut> &shortcut)
{
    const bool saved = shortcut && m_controller.saveRecordedShortcut(*shortcut);
    m_candidate.reset();
    if (!shortcut || saved) {
        // The monitor may be the caller (an event filter): let it go once its call has returned.
        if (m_monitor)
            m_monitor.release()->deleteLater();
        m_recordingWindow.reset();
        if (!shortcut)
            m_controller.retryShortcut();
    } else {
        // Still recording, with the global shortcut suspended, until a save succeeds or a cancel.
        m_instruction = shortcut->displayText() + QStringLiteral(" is unavailable. Try another.");
    }
    emit changed();
}

void ShortcutRecorder::setInstruction(QString instruction)
{
    if (instruction == m_instruction)
        return;
    m_instruction = std::move(instruction);
    emit changed();
}

} // namespace talvex
