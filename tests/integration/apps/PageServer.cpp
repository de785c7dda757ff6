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
    e2e::serveOnLoopback(*m_server,
                         [this](QTcpSocket *socket, const e2e::HttpRequest &request) { serve(socket, request); });
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

void PageServer::serve(QTcpSocket *socket, const e2e::HttpRequest &request)
{
    const QByteArray &requestLine = request.line;
    QByteArray status = "200 OK";
    QByteArray body;
    QByteArray type = "text/plain";
    if (requestLine.startsWith("GET / ")) {
        body = page;
        type = "text/html; charset=utf-8";
    } else if (requestLine.startsWith("POST /ready ")) {
        m_ready = true;
    } else if (requestLine.startsWith("POST /text ")) {
        m_text = QString::fromUtf8(request.body);
    } else {
        status = "404 Not Found";
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                  "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace talvex::apps
