#include "SwayIpc.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace talvex::wayland {

namespace {

constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype headerSize = sizeof magic + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t largestPayload = 64u << 20; // a tree of many windows stays far below this

} // namespace

QString SwayIpc::socketPath()
{
    return qEnvironmentVariable("SWAYSOCK");
}

std::unique_ptr<SwayIpc> SwayIpc::connect(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    sockaddr_un address{};
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
        return nullptr;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<SwayIpc>(new SwayIpc(fd));
}

SwayIpc::~SwayIpc()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool SwayIpc::sendMessage(std::uint32_t type, const QByteArray &payload)
{
    QByteArray message(magic, sizeof magic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char *>(&length), sizeof length);
    message.append(reinterpret_cast<const char *>(&type), sizeof type);
    message.append(payload);
    qsizetype sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(m_fd, message.constData() + sent,
                                 static_cast<std::size_t>(message.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd ready{m_fd, POLLOUT, 0};
            if (poll(&ready, 1, 1000) > 0)
                continue;
        }
        return false;
    }
    return true;
}

void SwayIpc::takeMessages(std::vector<Message> *messages)
{
    while (m_buffer.size() >= headerSize) {
        if (std::memcmp(m_buffer.constData(), magic, sizeof magic) != 0) {
            m_buffer.clear(); // not sway speaking: nothing later in the stream can be trusted
            return;
        }
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        std::memcpy(&length, m_buffer.constData() + sizeof magic, sizeof length);
        std::memcpy(&type, m_buffer.constData() + sizeof magic + sizeof length, sizeof type);
        if (length > largestPayload) {
            m_buffer.clear();
            return;
        }
        if (m_buffer.size() < headerSize + qsizetype(length))
            return;
        messages->push_back({type, m_buffer.mid(headerSize, length)});
        m_buffer.remove(0, headerSize + length);
    }
}

bool SwayIpc::readAvailable(std::vector<Message> *messages)
{
    char chunk[65536];
    while (true) {
        const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const bool open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        takeMessages(messages);
        return open;
    }
}

std::optional<QJsonDocument> SwayIpc::request(Type type, const QByteArray &payload, int timeoutMs)
{
    if (m_fd < 0 || !sendMessage(static_cast<std::uint32_t>(type), payload))
        return std::nullopt;
    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<Message> messages;
    while (true) {
        if (!readAvailable(&messages))
            return std::nullopt;
        for (const Message &message : messages) {
            if (message.type == static_cast<std::uint32_t>(type))
                return QJsonDocument::fromJson(message.payload);
        }
        messages.clear();
        const int left = timeoutMs - static_cast<int>(elapsed.elapsed());
        pollfd ready{m_fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, left) <= 0)
            return std::nullopt;
    }
}

std::vector<std::pair<bool, QString>> SwayIpc::runCommand(const QString &command)
{
    std::vector<std::pair<bool, QString>> results;
    const auto reply = request(Type::runCommand, command.toUtf8());
    if (!reply)
        return results;
    for (const QJsonValue &entry : reply->array()) {
        const QJsonObject object = entry.toObject();
        results.emplace_back(object.value(QLatin1String("success")).toBool(),
                             object.value(QLatin1String("error")).toString());
    }
    return results;
}

} // namespace talvex::wayland
