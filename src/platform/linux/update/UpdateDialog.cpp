#include "UpdateDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvex::update {

UpdateDialog::UpdateDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Talvex Updates"));
    setAccessibleName(QStringLiteral("Talvex Updates"));
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_message->setMinimumWidth(360);
    m_activity = new QProgressBar(this);
    m_activity->setRange(0, 0);
    m_activity->setTextVisible(false);
    m_activity->setAccessibleName(QStringLiteral("Update in progress"));

    auto *buttons = new QDialogButtonBox(this);
    m_action = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    m_close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(m_action, &QPushButton::clicked, this, [this] { emit actionChosen(m_shown); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_activity);
    layout->addWidget(buttons);
    showPrompt({});
}

QString UpdateDialog::actionText(UpdatePrompt::Action action)
{
    switch (action) {
    case UpdatePrompt::Action::install:
        return QStringLiteral("Install and Relaunch");
    case UpdatePrompt::Action::openPage:
        return QStringLiteral("Open Release Page");
    case UpdatePrompt::Action::none:
        break;
    }
    return {};
}

void UpdateDialog::showPrompt(const UpdatePrompt &prompt)
{
    m_shown = prompt.busy ? UpdatePrompt::Action::none : prompt.action;
    m_message->setText(prompt.message);
    m_message->setAccessibleName(prompt.message);
    m_activity->setVisible(prompt.busy);
    m_action->setText(actionText(m_shown));
    m_action->setAccessibleName(actionText(m_shown));
    m_action->setVisible(m_shown != UpdatePrompt::Action::none);
    m_close->setText(m_shown == UpdatePrompt::Action::none ? QStringLiteral("Close")
                                                           : QStringLiteral("Later"));
    m_close->setAccessibleName(m_close->text());
    QPushButton *preferred = m_shown == UpdatePrompt::Action::none ? m_close : m_action;
    preferred->setDefault(true);
    preferred->setFocus();
}

QString UpdateDialog::messageText() const
{
    return m_message->text();
}

} // namespace talvex::update
