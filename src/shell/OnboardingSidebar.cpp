#include "OnboardingSidebar.h"

#include "SettingsIcons.h"
#include "SettingsLayout.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPainter>

namespace talvex {

namespace {

constexpr int rowIconSize = 18;

QLabel *icon(const QString &symbol, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(SettingsIcons::icon(QString(), symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

} // namespace

OnboardingSidebar::OnboardingSidebar(QWidget *parent) : QWidget(parent)
{
    setFixedWidth(width);
    setAccessibleName(QStringLiteral("Steps"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(14, 20, 14, 16);
    column->setSpacing(4);

    auto *header = new QWidget(this);
    QBoxLayout *headerRow = SettingsLayout::row();
    headerRow->setSpacing(10);
    header->setLayout(headerRow);
    auto *names = new QVBoxLayout;
    names->setSpacing(0);
    auto *name = new QLabel(QStringLiteral("Talvex"), header);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setWeight(QFont::Bold);
    name->setFont(big);
    names->addWidget(name);
    names->addWidget(SettingsLayout::secondaryText(QStringLiteral("Setup & diagnostics"), header));
    headerRow->addWidget(icon(QStringLiteral("waveform.circle.fill"), 34, header), 0, Qt::AlignVCenter);
    headerRow->addLayout(names, 1);
    column->addWidget(header);
    column->addSpacing(18);

    for (int i = 0; i <= static_cast<int>(OnboardingStep::practice); ++i) {
        const auto step = static_cast<OnboardingStep>(i);
        auto *row = new QWidget(this);
        QBoxLayout *line = SettingsLayout::row();
        line->setContentsMargins(8, 6, 8, 6);
        line->setSpacing(9);
        row->setLayout(line);
        auto *label = new QLabel(OnboardingTexts::sidebarLabel(step), row);
        line->addWidget(icon(OnboardingTexts::symbol(step), rowIconSize, row));
        line->addWidget(label, 1);
        column->addWidget(row);
        m_rows.push_back({row, label});
    }
    column->addStretch(1);
    setCurrent(OnboardingStep::welcome);
}

void OnboardingSidebar::setCurrent(OnboardingStep step)
{
    m_current = step;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const bool current = static_cast<int>(i) == static_cast<int>(step);
        QFont font = m_rows[i].label->font();
        font.setWeight(current ? QFont::DemiBold : QFont::Normal);
        m_rows[i].label->setFont(font);
        m_rows[i].label->setAccessibleDescription(current ? QStringLiteral("Current step") : QString());
    }
    update();
}

void OnboardingSidebar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(rect(), window.lightness() > 128 ? window.darker(106) : window.lighter(125));
    // The rule between the sidebar and the page.
    painter.fillRect(QRect(width - 1, 0, 1, height()), palette().color(QPalette::Mid));
    const QWidget *row = m_rows[static_cast<std::size_t>(m_current)].widget;
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(48);
    painter.setPen(Qt::NoPen);
    painter.setBrush(highlight);
    painter.drawRoundedRect(QRectF(row->geometry()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

} // namespace talvex
