#include "ShortcutRecorderRow.h"

#include "SettingsLayout.h"
#include "core/DictationController.h"
#include "platform/KeyTranslator.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

namespace talvex {

namespace {

std::optional<ShortcutRecorder::WindowId> windowOfReceiver(QObject *receiver)
{
    const QWindow *window = nullptr;
    if (receiver->isWindowType())
        window = static_cast<QWindow *>(receiver);
    else if (receiver->isWidgetType())
        window = static_cast<QWidget *>(receiver)->window()->windowHandle();
    if (!window)
        window = QGuiApplication::focusWindow(); // the key window, as for events without one
    if (!window)
        return std::nullopt;
    return ShortcutRecorderRow::windowId(window);
}

/// Hands every key event of the application to the recorder, which keeps those of its window.
/// Installed on the application so that it sees keys before shortcuts, mnemonics, focus
/// navigation and dialogs act on them.
class KeyMonitor final : public QObject {
  public:
    KeyMonitor(ShortcutRecorder &recorder, const KeyTranslator &keys) : m_recorder(&recorder), m_keys(keys)
    {
        qApp->installEventFilter(this);
    }
    ~KeyMonitor() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        // A monitor let go of waits for deletion; it must not feed a newer recording.
        if (!m_recorder || m_recorder->monitor() != this)
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claiming the key keeps shortcuts and mnemonics from firing; its press follows.
            if (windowOfReceiver(receiver) == m_recorder->recordingWindow()) {
                event->accept();
                return true;
            }
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto *key = static_cast<QKeyEvent *>(event);
            const KeyEvent translated = m_keys.translate(
                event->type() == QEvent::KeyPress, key->nativeScanCode(), key->nativeModifiers(),
                key->isAutoRepeat(), double(key->timestamp()) / 1000.0);
            return m_recorder->handle(translated, windowOfReceiver(receiver));
        }
        default:
            return false;
        }
    }

  private:
    QPointer<ShortcutRecorder> m_recorder;
    const KeyTranslator &m_keys;
};

} // namespace

ShortcutRecorderRow::ShortcutRecorderRow(DictationController &controller, const KeyTranslator *keys,
                                         std::function<QWidget *()> windowForRecording, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_keys(keys),
      m_windowForRecording(std::move(windowForRecording)), m_recording(controller), m_recorder(m_recording),
      m_focusWindow(QGuiApplication::focusWindow())
{
    auto *label = new QLabel(QStringLiteral("Keyboard shortcut"), this);
    m_shortcut = new QLabel(this);
    m_shortcut->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_shortcut->setAccessibleName(QStringLiteral("Current keyboard shortcut"));
    m_shortcut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_record = new QPushButton(QStringLiteral("Record Shortcut\u2026"), this);
    m_record->setAutoDefault(false);
    m_instruction = SettingsLayout::secondaryText(QString(), this);
    m_instruction->setWordWrap(false);
    m_instruction->setAccessibleDescription(QStringLiteral("Shortcut recording"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setAutoDefault(false);
    label->setBuddy(m_record);

    QBoxLayout *layout = SettingsLayout::row();
    setLayout(layout);
    layout->addWidget(label);
    layout->addStretch(1);
    layout->addWidget(m_shortcut);
    layout->addWidget(m_record);
    layout->addWidget(m_instruction);
    layout->addWidget(m_cancel);

    connect(m_record, &QPushButton::clicked, this, &ShortcutRecorderRow::begin);
    connect(m_cancel, &QPushButton::clicked, &m_recorder, &ShortcutRecorder::cancel);
    connect(&m_recorder, &ShortcutRecorder::changed, this, &ShortcutRecorderRow::refresh);
    connect(&m_controller, &DictationController::phaseChanged, this, &ShortcutRecorderRow::refresh);
    connect(&m_controller, &DictationController::libraryChanged, this, &ShortcutRecorderRow::refresh);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &ShortcutRecorderRow::focusWindowChanged);
    refresh();
}

ShortcutRecorderRow::~ShortcutRecorderRow() = default;

ShortcutRecorder::WindowId ShortcutRecorderRow::windowId(const QWindow *window)
{
    return reinterpret_cast<ShortcutRecorder::WindowId>(window);
}

void ShortcutRecorderRow::hideEvent(QHideEvent *event)
{
    // The row went away (another tab, the window closed): no recording without a visible row.
    m_recorder.cancel();
    QWidget::hideEvent(event);
}

void ShortcutRecorderRow::begin()
{
    QWidget *window = m_windowForRecording ? m_windowForRecording() : nullptr;
    if (!window)
        window = this->window();
    if (!window)
        window = QApplication::activeWindow();
    std::optional<ShortcutRecorder::WindowId> id;
    if (window && window->windowHandle()) {
        window->raise();
        window->activateWindow();
        id = windowId(window->windowHandle());
    }
    m_recorder.begin(id, [this]() -> ShortcutRecorder::Monitor {
        if (!m_keys)
            return nullptr;
        return std::make_unique<KeyMonitor>(m_recorder, *m_keys);
    });
}

void ShortcutRecorderRow::refresh()
{
    const bool recording = m_recorder.isRecording();
    const bool cancelHadFocus = m_cancel->hasFocus();
    const bool recordHadFocus = m_record->hasFocus();
    m_shortcut->setText(m_controller.preferences().shortcutKey.displayText());
    m_record->setEnabled(m_controller.phase() == Phase::idle);
    m_instruction->setText(m_recorder.instruction());
    m_shortcut->setVisible(!recording);
    m_record->setVisible(!recording);
    m_instruction->setVisible(recording);
    m_cancel->setVisible(recording);
    // Keyboard focus follows the button that replaced the one that had it.
    if (recording && recordHadFocus)
        m_cancel->setFocus();
    else if (!recording && cancelHadFocus)
        m_record->setFocus();
}

void ShortcutRecorderRow::focusWindowChanged(QWindow *window)
{
    const QPointer<QWindow> previous = m_focusWindow;
    m_focusWindow = window;
    if (previous == window)
        return;
    m_recorder.windowResignedKey(previous ? std::optional(windowId(previous)) : std::nullopt);
}

} // namespace talvex
