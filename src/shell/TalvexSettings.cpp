#include "TalvexSettings.h"

#include "DictionarySettingsTab.h"
#include "GeneralSettingsTab.h"
#include "ModesSettingsTab.h"
#include "SettingsIcons.h"
#include "LaunchAtLogin.h"
#include "SettingsLayout.h"
#include "TalvexAbout.h"
#include "core/DictationController.h"

#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace talvex {

TalvexSettings::TalvexSettings(DictationController &controller, const SettingsServices &services,
                               QString displayLocale, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_services(services)
{
    setWindowTitle(QStringLiteral("Talvex Settings"));
    setWindowIcon(SettingsIcons::applicationIcon());
    setFixedSize(contentSize);

    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    m_tabs->setIconSize(QSize(16, 16));
    m_general = new GeneralSettingsTab(controller, services, std::move(displayLocale));
    m_tabs->addTab(m_general,
                   SettingsIcons::icon(QStringLiteral("preferences-system"), QStringLiteral("gearshape")),
                   QStringLiteral("General"));
    m_tabs->addTab(
        new ModesSettingsTab(controller, services),
        SettingsIcons::icon(QStringLiteral("preferences-desktop"), QStringLiteral("slider.horizontal.3")),
        QStringLiteral("Modes"));
    m_tabs->addTab(
        new DictionarySettingsTab(controller),
        SettingsIcons::icon(QStringLiteral("accessories-dictionary"), QStringLiteral("text.book.closed")),
        QStringLiteral("Dictionary"));
    m_tabs->addTab(SettingsLayout::scrollingPage(new TalvexAbout(services.openLink)),
                   SettingsIcons::icon(QStringLiteral("help-about"), QStringLiteral("info.circle")),
                   QStringLiteral("About"));

    m_message = SettingsLayout::bodyText(QString(), this);
    m_message->setAccessibleDescription(QStringLiteral("Status"));
    m_message->setContentsMargins(16, 6, 16, 8);

    m_messageRule = new QFrame(this);
    m_messageRule->setFrameShape(QFrame::HLine);
    m_messageRule->setFrameShadow(QFrame::Sunken);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_messageRule);
    layout->addWidget(m_message);

    for (const QKeySequence &close : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
        connect(new QShortcut(close, this), &QShortcut::activated, this, &QWidget::close);
    connect(&m_controller, &DictationController::messageChanged, this, &TalvexSettings::refreshMessage);
    refreshMessage();
}

void TalvexSettings::showEvent(QShowEvent *event)
{
    if (m_services.launchAtLogin)
        m_services.launchAtLogin->refresh();
    QWidget::showEvent(event);
}

void TalvexSettings::refreshMessage()
{
    const std::optional<QString> &message = m_controller.message();
    m_message->setText(message.value_or(QString()));
    const bool shown = message.has_value() && !message->isEmpty();
    m_message->setVisible(shown);
    m_messageRule->setVisible(shown);
}

} // namespace talvex
