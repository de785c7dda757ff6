#include "Transfer.h"

#include "ReleaseFeed.h"

#include <QCoro/QCoroNetworkReply>
#include <QIODevice>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace talvex::update {

namespace {

constexpr auto abortReasonProperty = "talvexAbortReason";

void abortWith(QNetworkReply *reply, const QString &reason)
{
    if (reply->property(abortReasonProperty).isValid())
        return;
    reply->setProperty(abortReasonProperty, reason);
    reply->abort();
}

QString tooLarge(const QUrl &url, qint64 limit)
{
    return QStringLiteral("The update server sent more than %1 bytes for %2, so Talvex stopped.")
        .arg(limit)
        .arg(url.fileName());
}

QCoro::Task<Transfer> fetch(QNetworkAccessManager &network, QUrl url, TransferRules rules, QIODevice *file)
{
    Transfer result;
    if (!isAllowedUpdateUrl(url)) {
        result.failure =
            QStringLiteral("Talvex downloads updates only over HTTPS, and %1 is not an HTTPS address.")
                .arg(url.toDisplayString());
        co_return result;
    }
    QNetworkRequest request(url);
    // Each redirect is checked below: a signed feed proves nothing about a host it was sent to.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(int(rules.idle.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = network.get(request);
    QPointer<QNetworkReply> guard(reply);

    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, url](const QUrl &target) {
        const QUrl next = url.resolved(target);
        if (next.host().compare(url.host(), Qt::CaseInsensitive) != 0)
            abortWith(reply, QStringLiteral("The update server redirected Talvex to another host (%1), so "
                                            "Talvex stopped.")
                                 .arg(next.host()));
        else if (!isAllowedUpdateUrl(next))
            abortWith(reply, QStringLiteral("The update server redirected Talvex to an address that is not "
                                            "HTTPS, so Talvex stopped."));
        else
            emit reply->redirectAllowed();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, url, rules] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > rules.limit)
            abortWith(reply, tooLarge(url, rules.limit));
    });
    auto received = std::make_shared<qint64>(0);
    auto body = std::make_shared<QByteArray>();
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, url, rules, file, received, body] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400)
            return; // the body of a redirect, which Qt follows
        const QByteArray chunk = reply->readAll();
        *received += chunk.size();
        if (*received > rules.limit) {
            abortWith(reply, tooLarge(url, rules.limit));
            return;
        }
        if (file) {
            if (file->write(chunk) != chunk.size())
                abortWith(reply,
                          QStringLiteral("Talvex couldn’t save the update: %1.").arg(file->errorString()));
        } else {
            body->append(chunk);
        }
    });

    co_await qCoro(reply).waitForFinished();
    if (!guard) {
        result.failure = QStringLiteral("The update transfer was dropped.");
        co_return result;
    }
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (const QVariant reason = reply->property(abortReasonProperty); reason.isValid()) {
        result.failure = reason.toString();
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        result.failure =
            QStringLiteral("The update server stopped sending for %1 seconds, so Talvex stopped.")
                .arg(rules.idle.count() / 1000.0);
    } else if (status >= 400) {
        result.failure =
            QStringLiteral("The update server answered HTTP %1 for %2.").arg(status).arg(url.fileName());
    } else if (reply->error() != QNetworkReply::NoError) {
        result.failure =
            QStringLiteral("Talvex couldn’t reach the update server: %1.").arg(reply->errorString());
    } else {
        // Whatever arrived after the last readyRead.
        const QByteArray rest = reply->readAll();
        if (file && !rest.isEmpty() && file->write(rest) != rest.size())
            result.failure = QStringLiteral("Talvex couldn’t save the update: %1.").arg(file->errorString());
        else if (!file)
            result.body = *body + rest;
        if (*received + rest.size() > rules.limit)
            result.failure = tooLarge(url, rules.limit);
    }
    co_return result;
}

} // namespace

QCoro::Task<Transfer> fetchWhole(QNetworkAccessManager &network, QUrl url, TransferRules rules)
{
    return fetch(network, std::move(url), rules, nullptr);
}

QCoro::Task<Transfer> fetchToFile(QNetworkAccessManager &network, QUrl url, TransferRules rules,
                                  QIODevice &file)
{
    return fetch(network, std::move(url), rules, &file);
}

} // namespace talvex::update
