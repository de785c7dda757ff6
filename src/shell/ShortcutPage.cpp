#include "ShortcutPage.h"

#include "OnboardingLayout.h"
#include "SettingsIcons.h"
#include "SettingsLayout.h"
#include "ShortcutRecorderRow.h"
#include "StatusRowView.h"
#include "core/DictationController.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace talvex {

ShortcutPage::ShortcutPage(DictationController &controller, const KeyTranslator *keys,
                           std::function<QWidget *()> windowForRecording, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_startingPresses(controller.shortcutPresses()),
      m_shortcut(controller.preferences().shortcutKey)
{
    QVBoxLayout *column = OnboardingLayout::page(this, OnboardingStep::shortcut);
    column->addWidget(SettingsLayout::bodyText(OnboardingTexts::shortcutIntroduction(), this));
    column->addSpacing(4);
    m_recorder = new ShortcutRecorderRow(controller, keys, std::move(windowForRecording), this);
    column->addWidget(m_recorder);
    m_test = new StatusRowView(nullptr, this);
    column->addWidget(m_test);

    m_warning = new QWidget(this);
    QBoxLayout *warning = SettingsLayout::row();
    warning->setSpacing(10);
    m_warning->setLayout(warning);
    auto *symbol = new QLabel(m_warning);
    symbol->setPixmap(
        SettingsIcons::icon(QString(), QStringLiteral("exclamationmark.triangle")).pixmap(20, 20));
    symbol->setAccessibleName(QStringLiteral("Warning"));
    QPushButton *retry = OnboardingLayout::button(QStringLiteral("&Retry Shortcut"), m_warning);
    warning->addWidget(symbol, 0, Qt::AlignTop);
    warning->addWidget(SettingsLayout::bodyText(OnboardingTexts::shortcutWarning(), m_warning), 1);
    warning->addWidget(retry, 0, Qt::AlignVCenter);
    column->addWidget(m_warning);

    column->addSpacing(4);
    column->addWidget(SettingsLayout::secondaryText(OnboardingTexts::shortcutUsage(), this));
    column->addStretch(1);

    connect(retry, &QPushButton::clicked, &m_controller, &DictationController::retryShortcut);
    for (auto changed :
         {&DictationController::shortcutPressesChanged, &DictationController::shortcutPressedChanged,
          &DictationController::shortcutReadyChanged})
        connect(&m_controller, changed, this, &ShortcutPage::refresh);
    connect(&m_controller, &DictationController::libraryChanged, this, &ShortcutPage::libraryChanged);
    refresh();
}

void ShortcutPage::setStartingPresses(qint64 presses)
{
    m_startingPresses = presses;
    refresh();
}

bool ShortcutPage::warningShown() const
{
    return !m_warning->isHidden();
}

void ShortcutPage::refresh()
{
    m_test->display(OnboardingTexts::shortcutTest(m_controller.shortcutPresses(), m_startingPresses,
                                                  m_controller.shortcutPressed()));
    m_warning->setVisible(!m_controller.shortcutReady());
}

void ShortcutPage::libraryChanged()
{
    // A newly recorded shortcut has to be tried anew: only presses from now on count.
    const Shortcut current = m_controller.preferences().shortcutKey;
    if (current == m_shortcut)
        return;
    m_shortcut = current;
    setStartingPresses(m_controller.shortcutPresses());
}

} // namespace talvex
