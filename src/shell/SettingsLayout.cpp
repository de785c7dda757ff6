#include "SettingsLayout.h"

#include "SettingsIcons.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
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

QVBoxLayout *scrollingColumn(QWidget *tab)
{
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(16, 12, 16, 16);
    column->setSpacing(12);
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollingPage(content));
    return column;
}

QToolButton *removeButton(const QString &what, QWidget *parent)
{
    auto *remove = new QToolButton(parent);
    remove->setIcon(SettingsIcons::icon(QStringLiteral("list-remove"), QStringLiteral("minus.circle")));
    remove->setAutoRaise(true);
    remove->setToolTip(QStringLiteral("Remove"));
    remove->setAccessibleName(QStringLiteral("Remove"));
    remove->setAccessibleDescription(what);
    remove->setFocusPolicy(Qt::StrongFocus);
    return remove;
}

void showInFront(QWidget *window, bool centre)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen(); centre && screen) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QBoxLayout *row()
{
    auto *layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    return layout;
}

} // namespace talvex::SettingsLayout
