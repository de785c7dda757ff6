#include "PracticePage.h"

#include "OnboardingLayout.h"
#include "OnboardingTexts.h"
#include "SettingsLayout.h"
#include "StatusRowView.h"
#include "core/DictationController.h"
#include "platform/Clock.h"

#include <QBoxLayout>
#include <QCoro/QCoroTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <chrono>

namespace talvex {

namespace {

constexpr double focusSettleSeconds = 0.1;

void showLine(QLabel *label, const std::optional<QString> &text)
{
    label->setText(text.value_or(QString()));
    label->setVisible(text.has_value());
}

} // namespace

PracticePage::PracticePage(DictationController &controller, Clock *clock, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_clock(clock)
{
    QVBoxLayout *column = OnboardingLayout::page(this, OnboardingStep::practice);
    m_instruction = SettingsLayout::bodyText(QString(), this);
    column->addWidget(m_instruction);

    m_field = new QPlainTextEdit(this);
    m_field->setAccessibleName(QStringLiteral("Practice text field"));
    // Tab leaves the field, so the window works by keyboard alone.
    m_field->setTabChangesFocus(true);
    m_field->setFixedHeight(m_field->fontMetrics().lineSpacing() * 3 + 14);
    column->addWidget(m_field);

    m_testPaste = OnboardingLayout::button(QStringLiteral("&Test Paste"), this);
    QPushButton *clear = OnboardingLayout::button(QStringLiteral("C&lear"), this);
    QBoxLayout *buttons = SettingsLayout::row();
    buttons->addWidget(m_testPaste);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    column->addLayout(buttons);

    m_test = new StatusRowView(nullptr, this);
    column->addWidget(m_test);
    m_practiceTiming = SettingsLayout::secondaryText(QString(), this);
    m_practiceTiming->setAccessibleDescription(QStringLiteral("Practice dictation timing"));
    m_lastPaste = SettingsLayout::bodyText(QString(), this);
    m_otherTiming = SettingsLayout::secondaryText(QString(), this);
    m_otherTiming->setAccessibleDescription(QStringLiteral("Timing of the last dictation in another app"));
    column->addWidget(m_practiceTiming);
    column->addWidget(m_lastPaste);
    column->addWidget(m_otherTiming);
    column->addWidget(SettingsLayout::secondaryText(OnboardingTexts::anotherAppHint(), this));
    column->addStretch(1);

    connect(m_testPaste, &QPushButton::clicked, this, [this] { testPaste(); });
    connect(clear, &QPushButton::clicked, m_field, &QPlainTextEdit::clear);
    for (auto changed :
         {&DictationController::phaseChanged, &DictationController::testingPracticePasteChanged,
          &DictationController::lastPracticePasteStatusChanged, &DictationController::lastPasteStatusChanged,
          &DictationController::dictationTimingsChanged})
        connect(&m_controller, changed, this, &PracticePage::refresh);
    connect(&m_controller, &DictationController::libraryChanged, this, &PracticePage::refreshInstruction);
    refreshInstruction();
    refresh();
}

QString PracticePage::practiceText() const
{
    return m_field->toPlainText();
}

QStringList PracticePage::timingLines() const
{
    QStringList lines;
    for (const QLabel *label : {m_practiceTiming, m_otherTiming})
        if (!label->isHidden())
            lines << label->text();
    return lines;
}

QString PracticePage::lastPasteLine() const
{
    return m_lastPaste->isHidden() ? QString() : m_lastPaste->text();
}

QCoro::Task<> PracticePage::testPaste()
{
    // Focus first, then a moment for it to settle: the test pastes into whatever has the focus.
    QPointer<PracticePage> self(this);
    DictationController *controller = &m_controller;
    m_field->setFocus(Qt::OtherFocusReason);
    if (m_clock) {
        co_await m_clock->sleep(focusSettleSeconds);
    } else {
        QTimer wait;
        wait.setSingleShot(true);
        wait.start(std::chrono::milliseconds(100));
        co_await wait;
    }
    if (!self)
        co_return; // the window closed meanwhile
    co_await controller->testPracticePaste();
}

void PracticePage::refresh()
{
    const DictationController &c = m_controller;
    m_test->display(
        OnboardingTexts::practiceTest(c.testingPracticePaste(), c.phase(), c.lastPracticePasteStatus()));
    m_testPaste->setEnabled(c.phase() == DictationController::Phase::idle && !c.testingPracticePaste());
    const DictationTimings &timings = c.dictationTimings();
    showLine(m_practiceTiming, OnboardingTexts::practiceTiming(timings.practice));
    showLine(m_lastPaste, OnboardingTexts::lastPasteInAnotherApp(c.lastPasteStatus()));
    showLine(m_otherTiming, OnboardingTexts::anotherAppTiming(timings.otherApplication));
}

void PracticePage::refreshInstruction()
{
    m_instruction->setText(
        OnboardingTexts::practiceInstruction(m_controller.preferences().shortcutKey.displayText()));
}

} // namespace talvex
