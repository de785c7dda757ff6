#include "LoopbackHttpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace talvex::test {

LoopbackHttpServer::LoopbackHttpServer(const QHostAddress &address)
{
    if (!m_server.listen(address))
        qFatal("test HTTP server cannot listen: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QUrl LoopbackHttpServer::url(const QString &host, const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(port());
    url.setPath(path);
    return url;
}

void LoopbackHttpServer::serve(QTcpSocket *socket)
{
    // Buffer until the head and the whole Content-Length body are in.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    socket->setProperty("buffered", buffered);
    const qsizetype headEnd = buffered.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> lines = buffered.left(headEnd).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffered.size() - headEnd - 4 < length)
        return;
    request.body = buffered.mid(headEnd + 4, length);
    socket->setProperty("buffered", QByteArray());
    m_requests.append(request);

    const Behaviour behaviour = m_behaviours.value(request.path, Behaviour{Behaviour::Kind::answer, 404, "{}", {}});
    if (behaviour.kind == Behaviour::Kind::hangUp) {
        socket->abort();
        socket->deleteLater();
    } else if (behaviour.kind == Behaviour::Kind::answer) {
        QByteArray response = "HTTP/1.1 " + QByteArray::number(behaviour.status) + " Scripted\r\n"
                              "Content-Type: application/json\r\n"
                              "Content-Length: " + QByteArray::number(behaviour.body.size()) + "\r\n"
                              "Connection: close\r\n";
        for (const auto &[name, value] : behaviour.headers)
            response += name + ": " + value + "\r\n";
        socket->write(response + "\r\n" + behaviour.body);
        socket->disconnectFromHost();
    }
    Q_EMIT requestReceived();
}

QByteArray LoopbackHttpServer::modelList(const QList<QByteArray> &ids)
{
    QJsonArray data;
    for (const QByteArray &id : ids)
        data.append(QJsonObject{{QStringLiteral("id"), QString::fromUtf8(id)}, {QStringLiteral("object"), QStringLiteral("model")}});
    return QJsonDocument(QJsonObject{{QStringLiteral("object"), QStringLiteral("list")}, {QStringLiteral("data"), data}}).toJson();
}

QByteArray LoopbackHttpServer::completion(const QString &content)
{
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")}, {QStringLiteral("content"), content}};
    const QJsonObject choice{{QStringLiteral("index"), 0}, {QStringLiteral("message"), message},
                             {QStringLiteral("finish_reason"), QStringLiteral("stop")}};
    return QJsonDocument(QJsonObject{{QStringLiteral("object"), QStringLiteral("chat.completion")},
                                     {QStringLiteral("choices"), QJsonArray{choice}}})
        .toJson();
}

} // namespace talvex::test
