#pragma once

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrl>

namespace talvex::test {

/// The network layer with every request it is asked to make recorded before it goes out.
class CountingNetwork final : public QNetworkAccessManager {
  public:
    QList<QUrl> requested;

  protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *body) override
    {
        requested << request.url();
        return QNetworkAccessManager::createRequest(operation, request, body);
    }
};

} // namespace talvex::test
