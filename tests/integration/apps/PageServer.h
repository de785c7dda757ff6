#pragma once

#include "DictationHarness.h"

#include <QString>
#include <QTcpServer>
#include <memory>

namespace talvex::apps {

/// A loopback web server for the browsers of the matrix: it serves one page with a focused
/// textarea whose script posts the area's whole text back on every change, so the test reads what
/// arrived without any accessibility. Serves from this thread's event loop.
class PageServer final {
  public:
    PageServer();
    ~PageServer();

    bool isListening() const;
    /// The page's address.
    QString url() const;
    /// The textarea's text as last posted; empty until the first change.
    QString text() const { return m_text; }
    /// Whether the page has loaded and focused its textarea.
    bool ready() const { return m_ready; }

  private:
    void serve(QTcpSocket *socket, const e2e::HttpRequest &request);

    std::unique_ptr<QTcpServer> m_server;
    QString m_text;
    bool m_ready = false;
};

} // namespace talvex::apps
