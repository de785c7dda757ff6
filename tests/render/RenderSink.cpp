#include "RenderSink.h"

#include <QApplication>
#include <QPixmap>
#include <QTextStream>
#include <QWidget>

#include <utility>

namespace talvex::render {

RenderSink::RenderSink(QDir folder, QString filter) : m_folder(std::move(folder)), m_filter(std::move(filter)) {}

bool RenderSink::wants(const QString &name) const
{
    return m_filter.isEmpty() || name.contains(m_filter);
}

bool RenderSink::save(const QString &name, QWidget &widget)
{
    // Offscreen widgets lay out lazily: make sure every child has its final geometry and any
    // queued update has been painted before the picture is taken.
    widget.ensurePolished();
    if (!widget.testAttribute(Qt::WA_WState_Created))
        widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QApplication::processEvents();
    const QPixmap picture = widget.grab();
    const QString path = m_folder.filePath(name + QStringLiteral(".png"));
    if (picture.isNull() || !picture.save(path)) {
        QTextStream(stderr) << "Could not write " << path << Qt::endl;
        ++m_failures;
        return false;
    }
    m_written << path;
    return true;
}

} // namespace talvex::render
