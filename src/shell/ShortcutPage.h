#pragma once

#include "desktop/Shortcut.h"

#include <QWidget>
#include <functional>

namespace talvex {

class DictationController;
class KeyTranslator;
class ShortcutRecorderRow;
class StatusRowView;

/// The keyboard shortcut step: the recorder row, the "Shortcut test" row that turns ready once the
/// global shortcut is pressed after the step was shown (or after the last change of the shortcut),
/// and the warning with "Retry Shortcut" while the shortcut is not registered.
class ShortcutPage final : public QWidget {
    Q_OBJECT

  public:
    ShortcutPage(DictationController &controller, const KeyTranslator *keys,
                 std::function<QWidget *()> windowForRecording, QWidget *parent = nullptr);

    /// The press count the test row compares against; set whenever the step is shown.
    void setStartingPresses(qint64 presses);
    qint64 startingPresses() const { return m_startingPresses; }

    ShortcutRecorderRow &recorderRow() const { return *m_recorder; }
    StatusRowView &testRow() const { return *m_test; }
    bool warningShown() const;

  private:
    void refresh();
    void libraryChanged();

    DictationController &m_controller;
    qint64 m_startingPresses = 0;
    Shortcut m_shortcut;
    ShortcutRecorderRow *m_recorder = nullptr;
    StatusRowView *m_test = nullptr;
    QWidget *m_warning = nullptr;
};

} // namespace talvex
