#include "WelcomePage.h"

#include "OnboardingLayout.h"
#include "SettingsIcons.h"
#include "SettingsLayout.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>

namespace talvex {

WelcomePage::WelcomePage(QWidget *parent) : QWidget(parent)
{
    QVBoxLayout *column = OnboardingLayout::page(this, OnboardingStep::welcome);
    auto *mark = new QLabel(this);
    mark->setPixmap(SettingsIcons::applicationIcon().pixmap(64, 64));
    mark->setAccessibleName(QStringLiteral("Talvex"));
    column->insertWidget(0, mark);
    column->insertSpacing(1, 6);
    column->addWidget(SettingsLayout::bodyText(OnboardingTexts::welcome(), this));
    column->addWidget(SettingsLayout::bodyText(OnboardingTexts::welcomeSteps(), this));

    auto *box = new QFrame(this);
    box->setFrameShape(QFrame::StyledPanel);
    box->setAccessibleName(QStringLiteral("No system tray"));
    QBoxLayout *row = SettingsLayout::row();
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(10);
    box->setLayout(row);
    auto *symbol = new QLabel(box);
    symbol->setPixmap(SettingsIcons::icon(QString(), QStringLiteral("info.circle")).pixmap(20, 20));
    symbol->setAccessibleName(QStringLiteral("Information"));
    m_trayHint = SettingsLayout::bodyText(QString(), box);
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addWidget(m_trayHint, 1);
    m_trayBox = box;
    column->addSpacing(6);
    column->addWidget(box);
    column->addStretch(1);
    setTrayHint(std::nullopt);
}

void WelcomePage::setTrayHint(const std::optional<QString> &hint)
{
    m_trayHint->setText(hint.value_or(QString()));
    m_trayBox->setAccessibleDescription(hint.value_or(QString()));
    m_trayBox->setVisible(hint.has_value());
}

} // namespace talvex
