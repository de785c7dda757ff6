#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

namespace talvex::test {

/// A scripted HTTP/1.1 server inside the test process: one canned behaviour per path, every
/// request recorded. Enough HTTP for a Qt client; not a general server.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; ///< names in lower case
        QByteArray body;
    };
    struct Behaviour {
        enum class Kind { answer, silence, hangUp } kind = Kind::answer;
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
    };

    explicit LoopbackHttpServer(const QHostAddress &address = QHostAddress::LocalHost);

    /// What the server does for `path`; unknown paths get 404.
    void on(const QByteArray &path, Behaviour behaviour) { m_behaviours.insert(path, std::move(behaviour)); }
    void answer(const QByteArray &path, int status, const QByteArray &body) { on(path, {Behaviour::Kind::answer, status, body, {}}); }

    quint16 port() const { return m_server.serverPort(); }
    /// http://<host>:<port><path>
    QUrl url(const QString &host, const QString &path) const;

    const QList<Request> &requests() const { return m_requests; }
    /// Connections accepted, including those that never sent a whole request.
    int connections() const { return m_connections; }

    /// {"data":[{"id":...},...]} as a models list.
    static QByteArray modelList(const QList<QByteArray> &ids);
    /// A chat completion whose first choice says `content`.
    static QByteArray completion(const QString &content);

Q_SIGNALS:
    void requestReceived();

private:
    void serve(class QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Behaviour> m_behaviours;
    QList<Request> m_requests;
    int m_connections = 0;
};

} // namespace talvex::test
