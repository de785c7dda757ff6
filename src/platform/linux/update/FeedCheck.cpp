#include "FeedCheck.h"

#include "Transfer.h"

#include <QLocale>

namespace talvex::update {

namespace {

FeedVerdict refused(QString message)
{
    return FeedVerdict{FeedVerdict::Kind::refused, std::nullopt, std::move(message)};
}

} // namespace

FeedVerdict judgeFeed(const QByteArray &feed, const QByteArray &signature, const FeedSignature &key,
                      const ReleaseVersion &running, const QDateTime &now)
{
    if (!key.verifies(feed, signature))
        return refused(QStringLiteral("The update feed is not signed with Talvex’s release key, so Talvex "
                                      "ignored it."));
    std::variant<ReleaseFeed, QString> parsed = ReleaseFeed::parse(feed);
    if (const QString *problem = std::get_if<QString>(&parsed))
        return refused(*problem);
    ReleaseFeed release = std::get<ReleaseFeed>(std::move(parsed));
    if (release.expires <= now)
        // An old feed replayed by someone in the middle must not hold users on an old release.
        return refused(QStringLiteral("The update feed expired on %1, so Talvex ignored it.")
                           .arg(release.expires.toUTC().toString(Qt::ISODate)));
    const int order = release.version.compare(running);
    if (order < 0)
        return refused(
            QStringLiteral("The update feed offers Talvex %1, older than this Talvex %2, so Talvex "
                           "ignored it.")
                .arg(release.version.text(), running.text()));
    if (order == 0)
        return FeedVerdict{FeedVerdict::Kind::upToDate, std::move(release),
                           QStringLiteral("Talvex %1 is the newest version.").arg(running.text())};
    const QString message =
        QStringLiteral("Talvex %1 is available; you have %2.").arg(release.version.text(), running.text());
    return FeedVerdict{FeedVerdict::Kind::newer, std::move(release), message};
}

QUrl signatureUrl(const QUrl &feedUrl)
{
    QUrl url = feedUrl;
    url.setPath(feedUrl.path() + QStringLiteral(".sig"));
    return url;
}

QCoro::Task<FeedVerdict> checkFeed(std::shared_ptr<QNetworkAccessManager> network, QUrl feedUrl,
                                   FeedSignature key, ReleaseVersion running)
{
    const Transfer feed = co_await fetchWhole(*network, feedUrl, {maxFeedBytes});
    if (!feed.failure.isEmpty())
        co_return refused(feed.failure);
    const Transfer signature = co_await fetchWhole(*network, signatureUrl(feedUrl), {maxSignatureBytes});
    if (!signature.failure.isEmpty())
        co_return refused(signature.failure);
    co_return judgeFeed(feed.body, signature.body, key, running, QDateTime::currentDateTimeUtc());
}

} // namespace talvex::update
