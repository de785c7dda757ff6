#include "PageServer.h"

#include <QTcpSocket>

namespace talvex::apps {

namespace {

const QByteArray page = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Dictation page</title></head>
<body><textarea id="area" aria-label="Message" rows="8" cols="60" autofocus></textarea>
<script>
const area = document.getElementById('area');
area.focus();
window.addEventListener('load', () => { area.focus(); fetch('/ready', {method: 'POST'}); });
area.addEventListener('input', () => fetch('/text', {method: 'POST', body: area.value, keepalive: true}));
</script></body></html>
)";

} // namespace

PageServer::PageServer() : m_server(std::make_unique<QTcpServer>())
{
    m_server->listen(QHostAddress::LocalHost, 0);
    QObject::connect(m_server.get(), &QTcpServer::newConnection, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

PageServer::~PageServer() = default;

bool PageServer::isListening() const
{
    return m_server->isListening();
}

QString PageServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_server->serverPort());
}

void PageServer::serve(QTcpSocket *socket)
{
    // Waits for the whole request: headers, then as many body bytes as Content-Length says.
    const QByteArray request = socket->peek(socket->bytesAvailable());
    const qsizetype headerEnd = request.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    qsizetype length = 0;
    for (const QByteArray &line : request.left(headerEnd).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (request.size() < headerEnd + 4 + length)
        return;
    socket->read(headerEnd + 4 + length);
    const QByteArray requestLine = request.left(request.indexOf("\r\n"));

    QByteArray status = "200 OK";
    QByteArray body;
    QByteArray type = "text/plain";
    if (requestLine.startsWith("GET / ")) {
        body = page;
        type = "text/html; charset=utf-8";
    } else if (requestLine.startsWith("POST /ready ")) {
        m_ready = true;
    } else if (requestLine.startsWith("POST /text ")) {
        m_text = QString::fromUtf8(request.mid(headerEnd + 4, length));
    } else {
        status = "404 Not Found";
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                  "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace talvex::apps
