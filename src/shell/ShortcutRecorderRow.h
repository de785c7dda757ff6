#pragma once

#include "ControllerShortcutRecording.h"
#include "desktop/ShortcutRecorder.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QWindow;

namespace talvex {

class DictationController;
class KeyTranslator;

/// The "Keyboard shortcut" row: the stored shortcut and "Record Shortcut…", or while recording the
/// instruction and "Cancel". Records from the Qt key events of its window through the same key
/// translation the global shortcut uses. Recording is cancelled when the window loses activation
/// or the row is hidden.
class ShortcutRecorderRow final : public QWidget {
    Q_OBJECT

  public:
    /// `keys` null means no translation is available: recording then cannot start. Without
    /// `windowForRecording` the row records in the window it lives in.
    ShortcutRecorderRow(DictationController &controller, const KeyTranslator *keys,
                        std::function<QWidget *()> windowForRecording = {}, QWidget *parent = nullptr);
    ~ShortcutRecorderRow() override;

    const ShortcutRecorder &recorder() const { return m_recorder; }
    /// The identity the recorder uses for `window`.
    static ShortcutRecorder::WindowId windowId(const QWindow *window);

  protected:
    void hideEvent(QHideEvent *event) override;

  private:
    void begin();
    void refresh();
    void focusWindowChanged(QWindow *window);

    DictationController &m_controller;
    const KeyTranslator *m_keys;
    std::function<QWidget *()> m_windowForRecording;
    ControllerShortcutRecording m_recording;
    ShortcutRecorder m_recorder;
    QPointer<QWindow> m_focusWindow;

    QLabel *m_shortcut = nullptr;
    QPushButton *m_record = nullptr;
    QLabel *m_instruction = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace talvex
