#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace talvex::x11 {

QtClipboard::QtClipboard(QObject *parent) : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++m_changes;
    });
}

ClipboardSnapshot QtClipboard::snapshot()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return {};
    ClipboardItem item;
    for (const QString &format : data->formats()) {
        // Only real MIME types: selection targets such as TARGETS or TIMESTAMP are not content, and
        // Qt's own image type is a view of the image formats already listed.
        if (!format.contains(QLatin1Char('/')) || format == QLatin1String("application/x-qt-image"))
            continue;
        const QByteArray bytes = data->data(format);
        if (!bytes.isEmpty())
            item.emplace_back(format, bytes);
    }
    if (item.empty())
        return {};
    return {item};
}

bool QtClipboard::setText(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data, QClipboard::Clipboard); // takes ownership
    const QMimeData *now = clipboard->mimeData(QClipboard::Clipboard);
    return now == data || (now && now->text() == text);
}

bool QtClipboard::restore(const ClipboardSnapshot &snapshot)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto *data = new QMimeData;
    // The X11 clipboard holds one item, so later items contribute only formats not seen yet.
    for (const ClipboardItem &item : snapshot)
        for (const auto &[format, bytes] : item)
            if (!data->hasFormat(format))
                data->setData(format, bytes);
    if (data->formats().isEmpty()) {
        delete data;
        clipboard->clear(QClipboard::Clipboard);
        return true;
    }
    clipboard->setMimeData(data, QClipboard::Clipboard);
    return clipboard->mimeData(QClipboard::Clipboard) == data;
}

} // namespace talvex::x11
