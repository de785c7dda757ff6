#pragma once

#include "ModifierChordCapture.h"
#include "Shortcut.h"
#include "ShortcutRecordingController.h"
#include "platform/KeyEvent.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace talvex {

/// Records a new dictation shortcut from the keys pressed in one window of ours: an ordinary
/// combination (saved when its key is released) or a modifier-only chord (saved when every
/// modifier is released). Fed with that window's key-down, key-up and modifier-change events; it
/// says for each whether to swallow it. While recording, the global shortcut stays suspended until
/// a save succeeds or recording is cancelled. No widgets: the row that shows it feeds it. Main
/// thread only.
class ShortcutRecorder final : public QObject {
    Q_OBJECT

  public:
    /// One window of the application, as the toolkit identifies it; the recorder only compares it.
    using WindowId = quintptr;
    /// Delivers the recording window's key events to handle() for as long as it exists.
    using Monitor = std::unique_ptr<QObject>;

    /// Stored key code of Escape.
    static constexpr std::uint32_t escapeKeyCode = 53;

    static QString initialInstruction();
    static QString holdKeysInstruction();
    static QString noWindowMessage();
    static QString captureFailedMessage();

    /// `controller` must outlive the recorder.
    explicit ShortcutRecorder(ShortcutRecordingController &controller, QObject *parent = nullptr);
    /// A recording still running is cancelled: the stored shortcut is registered again.
    ~ShortcutRecorder() override;

    /// Whether recording is on: the monitor is installed.
    bool isRecording() const { return m_monitor != nullptr; }
    /// The installed monitor; a monitor that is no longer this one must stop delivering events.
    const QObject *monitor() const { return m_monitor.get(); }
    /// The line shown while recording.
    const QString &instruction() const { return m_instruction; }
    const std::optional<WindowId> &recordingWindow() const { return m_recordingWindow; }
    /// An accepted combination waiting for its key to be released.
    const std::optional<Shortcut> &candidate() const { return m_candidate; }
    const ModifierChordCapture &modifierCapture() const { return m_modifierCapture; }

    /// Starts recording in `window` (absent when no window of ours could be found: the controller
    /// is told to ask for a click inside the window). `installMonitor` starts the key feed; when it
    /// returns null the global shortcut is restored and the controller says so.
    void begin(std::optional<WindowId> window, const std::function<Monitor()> &installMonitor);

    /// One key event; `window` is the event's window (or the key window), absent when there is
    /// none. Returns true to swallow the event: every event of the recording window while
    /// recording; events of other windows, and every event while not recording, pass.
    bool handle(const KeyEvent &event, std::optional<WindowId> window);

    /// "Cancel", or the row went away: ends recording without a shortcut.
    void cancel();
    /// `window` stopped being the key window (absent when unknown): cancels when it is the
    /// recording window.
    void windowResignedKey(std::optional<WindowId> window);

  signals:
    /// Recording started or ended, or the instruction changed.
    void changed();

  private:
    void recordKeyDown(const KeyEvent &event);
    void recordModifiers(std::uint32_t flags);
    void finish(const std::optional<Shortcut> &shortcut);
    void setInstruction(QString instruction);

    ShortcutRecordingController &m_controller;
    Monitor m_monitor;
    QString m_instruction = initialInstruction();
    std::optional<WindowId> m_recordingWindow;
    std::optional<Shortcut> m_candidate;
    ModifierChordCapture m_modifierCapture;
    /// Chord mask of the modifiers held as of the last event, to tell presses from releases.
    std::uint32_t m_heldModifiers = 0;
};

} // namespace talvex
