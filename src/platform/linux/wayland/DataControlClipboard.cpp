#include "DataControlClipboard.h"

#include "WaylandLogging.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QElapsedTimer>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

namespace talvex::wayland {

namespace {

constexpr int typeReadTimeoutMs = 1000; // one format of a slow owner is skipped after this
constexpr int snapshotTimeoutMs = 3000; // the whole snapshot never waits longer
constexpr int serveTimeoutMs = 2000;    // a reader that takes nothing for this long is dropped

// The plain-text formats a text is offered in: the MIME types and the names X clients ask for.
const QStringList textTypes = {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain"),
                               QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                               QStringLiteral("TEXT")};

struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int value) : fd(value) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
};

// Writes all of `bytes` to the non-blocking `fd`, giving up when the reader takes nothing for
// `timeoutMs`.
void writeAll(int fd, const QByteArray &bytes, int timeoutMs)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            write(fd, bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return;
        pollfd ready{fd, POLLOUT, 0};
        if (poll(&ready, 1, timeoutMs) <= 0)
            return;
    }
}

} // namespace

std::unique_ptr<DataControlClipboard>
DataControlClipboard::create(std::shared_ptr<WaylandConnection> connection)
{
    if (!connection || !connection->dataControlManager())
        return nullptr;
    // A reader that goes away while we serve it must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<DataControlClipboard> clipboard(new DataControlClipboard(std::move(connection)));
    static const zwlr_data_control_device_v1_listener listener = {
        &DataControlClipboard::dataOffer, &DataControlClipboard::selection, &DataControlClipboard::finished,
        &DataControlClipboard::primarySelection};
    zwlr_data_control_device_v1_add_listener(clipboard->m_device, &listener, clipboard.get());
    // The first selection event comes with the device: then the counter and the offer are current.
    if (!clipboard->m_connection->roundtrip())
        return nullptr;
    return clipboard;
}

DataControlClipboard::DataControlClipboard(std::shared_ptr<WaylandConnection> connection)
    : m_connection(std::move(connection))
{
    m_device = zwlr_data_control_manager_v1_get_data_device(m_connection->dataControlManager(),
                                                            m_connection->seat());
}

DataControlClipboard::~DataControlClipboard()
{
    for (const auto &[offer, types] : m_offers)
        zwlr_data_control_offer_v1_destroy(offer);
    // Our data leaves the clipboard with us: the compositor clears a selection whose source goes.
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    m_connection->flush();
}

void DataControlClipboard::dataOffer(void *data, zwlr_data_control_device_v1 *,
                                     zwlr_data_control_offer_v1 *offer)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    static const zwlr_data_control_offer_v1_listener offerListener = {&DataControlClipboard::offerType};
    self->m_offers[offer] = {};
    zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
}

void DataControlClipboard::offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *type)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    QStringList &types = self->m_offers[offer];
    const QString name = QString::fromUtf8(type);
    if (!types.contains(name))
        types << name;
}

void DataControlClipboard::selection(void *data, zwlr_data_control_device_v1 *,
                                     zwlr_data_control_offer_v1 *offer)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    if (self->m_current && self->m_current != offer)
        self->dropOffer(self->m_current);
    self->m_current = offer;
    ++self->m_changes;
}

void DataControlClipboard::primarySelection(void *data, zwlr_data_control_device_v1 *,
                                            zwlr_data_control_offer_v1 *offer)
{
    // Only the clipboard matters; a primary-selection offer is let go at once.
    if (offer)
        static_cast<DataControlClipboard *>(data)->dropOffer(offer);
}

void DataControlClipboard::finished(void *data, zwlr_data_control_device_v1 *)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    qCWarning(lcWayland) << "The compositor ended clipboard control";
    zwlr_data_control_device_v1_destroy(self->m_device);
    self->m_device = nullptr;
    self->m_current = nullptr;
}

void DataControlClipboard::dropOffer(zwlr_data_control_offer_v1 *offer)
{
    if (m_offers.erase(offer))
        zwlr_data_control_offer_v1_destroy(offer);
}

void DataControlClipboard::send(void *data, zwlr_data_control_source_v1 *source, const char *type,
                                std::int32_t fd)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    FileDescriptor target(fd);
    if (source != self->m_source)
        return;
    const QString name = QString::fromUtf8(type);
    const auto pair = std::find_if(self->m_served.begin(), self->m_served.end(),
                                   [&](const auto &entry) { return entry.first == name; });
    if (pair == self->m_served.end())
        return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    writeAll(fd, pair->second, serveTimeoutMs);
}

void DataControlClipboard::cancelled(void *data, zwlr_data_control_source_v1 *source)
{
    auto *self = static_cast<DataControlClipboard *>(data);
    if (source == self->m_source) {
        self->m_source = nullptr;
        self->m_served.clear();
    }
    zwlr_data_control_source_v1_destroy(source);
}

std::optional<QByteArray> DataControlClipboard::receive(const QString &type, int timeoutMs)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    FileDescriptor reading(ends[0]);
    {
        FileDescriptor writing(ends[1]);
        zwlr_data_control_offer_v1_receive(m_current, type.toUtf8().constData(), writing.fd);
        m_connection->flush();
    }
    QByteArray bytes;
    QElapsedTimer elapsed;
    elapsed.start();
    char buffer[65536];
    while (true) {
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        pollfd ready{reading.fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, left) <= 0)
            return std::nullopt; // the owner did not finish in time
        const ssize_t n = read(reading.fd, buffer, sizeof buffer);
        if (n == 0)
            return bytes;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        bytes.append(buffer, n);
    }
}

ClipboardSnapshot DataControlClipboard::snapshot(ClipboardSelection selection)
{
    if (selection != ClipboardSelection::clipboard)
        return {};
    // Reading our own data through the compositor would wait for ourselves; we hold it anyway.
    if (m_source)
        return m_served.empty() ? ClipboardSnapshot{} : ClipboardSnapshot{m_served};
    if (!m_current || !m_device)
        return {};
    ClipboardItem item;
    QElapsedTimer elapsed;
    elapsed.start();
    const QStringList types = m_offers[m_current];
    for (const QString &type : types) {
        const int left = snapshotTimeoutMs - static_cast<int>(elapsed.elapsed());
        if (left <= 0) {
            qCWarning(lcWayland) << "The clipboard owner was too slow; some formats are not kept";
            break;
        }
        if (const auto bytes = receive(type, std::min(left, typeReadTimeoutMs)); bytes && !bytes->isEmpty())
            item.emplace_back(type, *bytes);
    }
    if (item.empty())
        return {};
    return {item};
}

bool DataControlClipboard::setText(ClipboardSelection selection, const QString &text)
{
    if (selection != ClipboardSelection::clipboard)
        return false;
    const QByteArray bytes = text.toUtf8();
    ClipboardItem item;
    for (const QString &type : textTypes)
        item.emplace_back(type, bytes);
    return offer(item);
}

bool DataControlClipboard::restore(ClipboardSelection selection, const ClipboardSnapshot &snapshot)
{
    if (selection != ClipboardSelection::clipboard)
        return false;
    // The Wayland clipboard holds one item, so later items add only formats not seen yet.
    ClipboardItem merged;
    for (const ClipboardItem &item : snapshot) {
        for (const auto &pair : item) {
            const bool seen = std::any_of(merged.begin(), merged.end(),
                                          [&](const auto &entry) { return entry.first == pair.first; });
            if (!seen)
                merged.push_back(pair);
        }
    }
    return offer(merged);
}

bool DataControlClipboard::offer(const ClipboardItem &data)
{
    if (!m_device || !m_connection->isAlive())
        return false;
    zwlr_data_control_source_v1 *source = nullptr;
    if (!data.empty()) {
        source = zwlr_data_control_manager_v1_create_data_source(m_connection->dataControlManager());
        static const zwlr_data_control_source_v1_listener sourceListener = {&DataControlClipboard::send,
                                                                            &DataControlClipboard::cancelled};
        zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
        for (const auto &[type, bytes] : data)
            zwlr_data_control_source_v1_offer(source, type.toUtf8().constData());
    }
    zwlr_data_control_device_v1_set_selection(m_device, source);
    // The previous source of ours is cancelled by the compositor, not here: it may still be
    // serving a paste that started before.
    m_source = source;
    m_served = data;
    // After the round trip our own selection event has been counted, so a change seen later is
    // somebody else's.
    if (!m_connection->roundtrip())
        return false;
    return data.empty() || m_source == source;
}

} // namespace talvex::wayland
