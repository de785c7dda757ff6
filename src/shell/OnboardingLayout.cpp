#include "OnboardingLayout.h"

#include "SettingsLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace talvex::OnboardingLayout {

QVBoxLayout *page(QWidget *page, OnboardingStep step)
{
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(24, 20, 24, 12);
    column->setSpacing(10);
    column->addWidget(title(OnboardingTexts::title(step), content));
    column->addSpacing(2);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SettingsLayout::scrollingPage(content));
    return column;
}

QLabel *title(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.55);
    font.setWeight(QFont::Bold);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleDescription(QStringLiteral("Heading"));
    return label;
}

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *created = new QPushButton(text, parent);
    created->setAutoDefault(false);
    return created;
}

} // namespace talvex::OnboardingLayout
