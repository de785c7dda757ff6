#include "PermissionsPage.h"

#include "OnboardingLayout.h"
#include "SettingsLayout.h"
#include "StatusRowView.h"
#include "core/DictationController.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace talvex {

PermissionsPage::PermissionsPage(DictationController &controller, CaptureSourceWatch *sources,
                                 QWidget *parent)
    : QWidget(parent), m_controller(controller), m_sources(sources)
{
    QVBoxLayout *column = OnboardingLayout::page(this, OnboardingStep::access);
    column->addWidget(SettingsLayout::bodyText(OnboardingTexts::accessIntroduction(), this));
    column->addSpacing(4);

    QPushButton *allowMicrophone = OnboardingLayout::button(QStringLiteral("Allow &Microphone"), this);
    QPushButton *openSettings = OnboardingLayout::button(QStringLiteral("&Open Settings"), this);
    m_microphone = new StatusRowView(allowMicrophone, this);
    m_paste = new StatusRowView(openSettings, this);
    m_speech = new StatusRowView(nullptr, this);
    column->addWidget(m_microphone);
    column->addWidget(m_paste);
    column->addWidget(m_speech);

    QPushButton *check = OnboardingLayout::button(QStringLiteral("Check &Permissions Again"), this);
    QBoxLayout *buttons = SettingsLayout::row();
    buttons->addWidget(check);
    buttons->addStretch(1);
    column->addSpacing(4);
    column->addLayout(buttons);
    m_settingsHint = SettingsLayout::secondaryText(QString(), this);
    column->addWidget(m_settingsHint);
    column->addStretch(1);

    connect(allowMicrophone, &QPushButton::clicked, &m_controller, &DictationController::allowMicrophone);
    connect(openSettings, &QPushButton::clicked, this, &PermissionsPage::openSettings);
    connect(check, &QPushButton::clicked, &m_controller, &DictationController::refreshPermissions);
    for (auto changed :
         {&DictationController::microphoneReadyChanged, &DictationController::accessibilityReadyChanged,
          &DictationController::speechStatusChanged})
        connect(&m_controller, changed, this, &PermissionsPage::refresh);

    if (m_sources)
        m_sources->watch([this](const CaptureSource &source) { sourceChanged(source); });
    refresh();
}

PermissionsPage::~PermissionsPage()
{
    if (m_sources)
        m_sources->stop();
}

QString PermissionsPage::settingsHint() const
{
    return m_settingsHint->isVisibleTo(const_cast<PermissionsPage *>(this)) ? m_settingsHint->text()
                                                                            : QString();
}

void PermissionsPage::refresh()
{
    const bool microphone = m_controller.microphoneReady();
    const bool paste = m_controller.accessibilityReady();
    m_microphone->display(OnboardingTexts::microphone(microphone, m_source));
    m_paste->display(OnboardingTexts::automaticPaste(paste));
    m_speech->display(OnboardingTexts::speech(m_controller.speechStatus()));

    const bool missing = !m_microphone->row().ready || !paste;
    m_settingsHint->setText(OnboardingTexts::settingsUnavailable(!m_microphone->row().ready, !paste));
    m_settingsHint->setVisible(m_settingsFailed && missing);
}

void PermissionsPage::sourceChanged(const CaptureSource &source)
{
    m_source = source;
    // A server that went away or came back, or another default source, may change the answer.
    m_controller.refreshPermissions();
    refresh();
}

void PermissionsPage::openSettings()
{
    // The request is what grants access here (it turns the accessibility bus on); the desktop's
    // page, where there is one, shows the rest.
    m_settingsFailed = !m_controller.allowAccessibility();
    m_controller.refreshPermissions();
    refresh();
}

} // namespace talvex
