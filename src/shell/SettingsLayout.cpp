#include "SettingsLayout.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace talvex::SettingsLayout {

QGroupBox *section(const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    auto *layout = new QFormLayout(box);
    layout->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);
    layout->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->setHorizontalSpacing(12);
    layout->setVerticalSpacing(8);
    layout->setContentsMargins(14, 10, 14, 12);
    return box;
}

QFormLayout *form(QGroupBox *section)
{
    return static_cast<QFormLayout *>(section->layout());
}

QLabel *bodyText(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel *secondaryText(const QString &text, QWidget *parent)
{
    QLabel *label = bodyText(text, parent);
    // The role, not a colour: it follows the theme, and inside a button too.
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QScrollArea *scrollingPage(QWidget *content)
{
    auto *scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The page draws on the tab's background, not the scroll area's base colour.
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return scroll;
}

QBoxLayout *row()
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    return layout;
}

} // namespace talvex::SettingsLayout
