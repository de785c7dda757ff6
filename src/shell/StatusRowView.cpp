#include "StatusRowView.h"

#include "SettingsIcons.h"
#include "SettingsLayout.h"

#include <QBoxLayout>
#include <QLabel>

namespace talvex {

namespace {

constexpr int symbolSize = 20;

} // namespace

StatusRowView::StatusRowView(QWidget *trailing, QWidget *parent) : QWidget(parent), m_trailing(trailing)
{
    m_symbol = new QLabel(this);
    m_symbol->setFixedSize(symbolSize, symbolSize);
    m_title = new QLabel(this);
    QFont bold = m_title->font();
    bold.setWeight(QFont::DemiBold);
    m_title->setFont(bold);
    m_detail = SettingsLayout::secondaryText(QString(), this);

    auto *text = new QVBoxLayout;
    text->setContentsMargins(0, 0, 0, 0);
    text->setSpacing(1);
    text->addWidget(m_title);
    text->addWidget(m_detail);

    QBoxLayout *layout = SettingsLayout::row();
    layout->setSpacing(10);
    setLayout(layout);
    layout->addWidget(m_symbol, 0, Qt::AlignTop);
    layout->addLayout(text, 1);
    if (m_trailing) {
        m_trailing->setParent(this);
        layout->addWidget(m_trailing, 0, Qt::AlignVCenter);
    }
}

void StatusRowView::display(const OnboardingTexts::StatusRow &row)
{
    const bool first = m_title->text().isEmpty();
    if (!first && row == m_row)
        return;
    m_row = row;
    const QString symbol = row.ready ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle");
    m_symbol->setPixmap(SettingsIcons::icon(QString(), symbol).pixmap(symbolSize, symbolSize));
    m_symbol->setAccessibleName(row.ready ? QStringLiteral("Ready") : QStringLiteral("Not ready"));
    m_title->setText(row.title);
    m_detail->setText(row.detail);
    setAccessibleName(row.title);
    setAccessibleDescription(row.detail);
    if (m_trailing)
        m_trailing->setVisible(!row.ready);
}

} // namespace talvex
