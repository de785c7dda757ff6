#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace talvex::wayland {

/// One connection to sway's IPC socket: requests answered synchronously (bounded in time), or,
/// after a subscription, a stream of events read as they come. Main thread only.
class SwayIpc final {
  public:
    /// Message types of the IPC protocol used here.
    enum class Type : std::uint32_t {
        runCommand = 0,
        subscribe = 2,
        getOutputs = 3,
        getTree = 4,
        getVersion = 7,
        getConfig = 9,
    };
    /// Event types arrive with the high bit set.
    static constexpr std::uint32_t eventBit = 0x80000000u;
    static constexpr std::uint32_t workspaceEvent = eventBit | 0;
    static constexpr std::uint32_t shutdownEvent = eventBit | 6;
    static constexpr std::uint32_t bindingEvent = eventBit | 5;

    struct Message {
        std::uint32_t type = 0;
        QByteArray payload;
    };

    /// The socket sway announces in $SWAYSOCK; empty outside sway.
    static QString socketPath();
    /// Connects to `path`; null when nothing answers there.
    static std::unique_ptr<SwayIpc> connect(const QString &path);
    ~SwayIpc();
    SwayIpc(const SwayIpc &) = delete;
    SwayIpc &operator=(const SwayIpc &) = delete;

    /// Sends one request and waits for its reply; absent when the connection failed or the reply
    /// did not come within `timeoutMs`.
    std::optional<QJsonDocument> request(Type type, const QByteArray &payload, int timeoutMs = 3000);
    /// Runs sway commands; one (success, error text) per command, empty when sway did not answer.
    std::vector<std::pair<bool, QString>> runCommand(const QString &command);

    /// The socket, for watching a subscribed connection from the event loop.
    int fd() const { return m_fd; }
    /// The complete messages that can be read now without waiting; false once sway has gone.
    bool readAvailable(std::vector<Message> *messages);

  private:
    explicit SwayIpc(int fd) : m_fd(fd) {}
    bool sendMessage(std::uint32_t type, const QByteArray &payload);
    /// Takes complete messages out of m_buffer.
    void takeMessages(std::vector<Message> *messages);

    int m_fd = -1;
    QByteArray m_buffer;
};

} // namespace talvex::wayland
