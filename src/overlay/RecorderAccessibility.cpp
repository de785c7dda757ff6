#include "RecorderAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace talvex::RecorderAccessibility {

namespace {

constexpr char hiddenProperty[] = "talvexAccessibleHidden";
constexpr char containerProperty[] = "talvexAccessibleContainer";

bool isHidden(const QWidget *widget)
{
    return widget->property(hiddenProperty).toBool();
}

// The children a screen reader should meet, in the order Qt would list them.
QList<QWidget *> presentedChildren(const QWidget *parent)
{
    QList<QWidget *> children;
    for (QObject *object : parent->children()) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (widget && !widget->isWindow() && !isHidden(widget))
            children.append(widget);
    }
    return children;
}

// A plain widget whose decorative children are left out.
class Container final : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return int(presentedChildren(widget()).size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = presentedChildren(widget());
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        auto *childWidget = qobject_cast<QWidget *>(child->object());
        return childWidget ? int(presentedChildren(widget()).indexOf(childWidget)) : -1;
    }
};

QAccessibleInterface *factory(const QString &key, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    // One element that reads its accessible name: the transcript or the phase sentence.
    if (key == QLatin1String("talvex::RecorderTranscript"))
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    if (widget->property(containerProperty).toBool() &&
        key == QLatin1String(widget->metaObject()->className()))
        return new Container(widget, QAccessible::Client);
    return nullptr;
}

} // namespace

void install()
{
    QAccessible::installFactory(factory); // Qt keeps each factory once
}

void hide(QWidget *widget)
{
    widget->setProperty(hiddenProperty, true);
}

void presentAsContainer(QWidget *widget)
{
    widget->setProperty(containerProperty, true);
}

} // namespace talvex::RecorderAccessibility
