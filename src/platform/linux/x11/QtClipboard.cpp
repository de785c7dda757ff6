#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace talvex::x11 {

namespace {

QClipboard::Mode modeOf(ClipboardSelection selection)
{
    return selection == ClipboardSelection::primary ? QClipboard::Selection : QClipboard::Clipboard;
}

} // namespace

QtClipboard::QtClipboard(QObject *parent) : QObject(parent)
{
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard)
            ++m_clipboardChanges;
        else if (mode == QClipboard::Selection)
            ++m_primaryChanges;
    });
}

bool QtClipboard::hasPrimary() { return QGuiApplication::clipboard()->supportsSelection(); }

std::uint64_t QtClipboard::changeCount(ClipboardSelection selection)
{
    return selection == ClipboardSelection::primary ? m_primaryChanges : m_clipboardChanges;
}

ClipboardSnapshot QtClipboard::snapshot(ClipboardSelection selection)
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(modeOf(selection));
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

bool QtClipboard::setText(ClipboardSelection selection, const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QClipboard::Mode mode = modeOf(selection);
    clipboard->setMimeData(data, mode); // takes ownership
    const QMimeData *now = clipboard->mimeData(mode);
    return now == data || (now && now->text() == text);
}

bool QtClipboard::restore(ClipboardSelection selection, const ClipboardSnapshot &snapshot)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QClipboard::Mode mode = modeOf(selection);
    auto *data = new QMimeData;
    // The X11 clipboard holds one item, so later items contribute only formats not seen yet.
    for (const ClipboardItem &item : snapshot)
        for (const auto &[format, bytes] : item)
            if (!data->hasFormat(format))
                data->setData(format, bytes);
    if (data->formats().isEmpty()) {
        delete data;
        clipboard->clear(mode);
        return true;
    }
    clipboard->setMimeData(data, mode);
    return clipboard->mimeData(mode) == data;
}

} // namespace talvex::x11
