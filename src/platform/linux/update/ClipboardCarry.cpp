#include "ClipboardCarry.h"

#include "platform/Logging.h"

#include <QByteArray>
#include <QClipboard>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvex::update::ClipboardCarry {

namespace {

constexpr auto variable = "TALVEX_CARRIED_CLIPBOARD";
constexpr auto memoryName = "talvex-clipboard";
constexpr quint32 magic = 0x544c5643; // "TLVC"
// More than any clipboard a person copies; a bound on what a stray descriptor could make us read.
constexpr qint64 maxBytes = qint64(512) << 20;

bool writeAll(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written <= 0)
            return false;
        done += written;
    }
    return ::lseek(fd, 0, SEEK_SET) == 0;
}

QByteArray readAll(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size <= 0 || status.st_size > maxBytes)
        return {};
    QByteArray bytes(qsizetype(status.st_size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, std::size_t(bytes.size() - done), done);
        if (got <= 0)
            return {};
        done += got;
    }
    return bytes;
}

} // namespace

int handOver()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (!data || !clipboard->ownsClipboard())
        return -1;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QList<std::pair<QString, QByteArray>> formats;
    for (const QString &format : data->formats()) {
        // The same formats a paste snapshot keeps: real MIME types with content.
        if (format.contains(QLatin1Char('/')) && format != QLatin1String("application/x-qt-image") &&
            !data->data(format).isEmpty())
            formats.append({format, data->data(format)});
    }
    if (formats.isEmpty())
        return -1;
    out << magic << quint32(formats.size());
    for (const auto &[format, content] : formats)
        out << format << content;
    // Without MFD_CLOEXEC: the next image inherits it.
    const int fd = ::memfd_create(memoryName, 0);
    if (fd < 0 || !writeAll(fd, bytes)) {
        if (fd >= 0)
            ::close(fd);
        qCWarning(lcApp, "The clipboard cannot be kept through the relaunch");
        return -1;
    }
    qputenv(variable, QByteArray::number(fd));
    return fd;
}

void cancel(int descriptor)
{
    if (descriptor < 0)
        return;
    ::close(descriptor);
    qunsetenv(variable);
}

void takeBack()
{
    const QByteArray named = qgetenv(variable);
    if (named.isEmpty())
        return;
    // Read once: a later start from this process's children must not find it.
    qunsetenv(variable);
    bool number = false;
    const int fd = named.toInt(&number);
    // Only our own memory file: the variable could name any descriptor.
    if (!number || fd <= 2 ||
        !QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd))
             .startsWith(QStringLiteral("/memfd:") + QLatin1String(memoryName)))
        return;
    const QByteArray bytes = readAll(fd);
    ::close(fd);
    QDataStream in(bytes);
    quint32 header = 0;
    quint32 count = 0;
    in >> header >> count;
    if (header != magic || in.status() != QDataStream::Ok)
        return;
    auto *data = new QMimeData;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString format;
        QByteArray content;
        in >> format >> content;
        if (in.status() == QDataStream::Ok)
            data->setData(format, content);
    }
    if (in.status() != QDataStream::Ok || data->formats().isEmpty()) {
        delete data;
        return;
    }
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    qCInfo(lcApp, "The clipboard was kept through the relaunch");
}

} // namespace talvex::update::ClipboardCarry
