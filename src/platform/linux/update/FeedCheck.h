#pragma once

#include "FeedSignature.h"
#include "ReleaseFeed.h"
#include "ReleaseVersion.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace talvex::update {

/// What a release feed says about the running version.
struct FeedVerdict {
    enum class Kind {
        upToDate, ///< the feed offers this version
        newer,    ///< the feed offers a newer version: `feed`
        refused,  ///< the feed could not be fetched or trusted: `message` says why
    };
    Kind kind = Kind::refused;
    std::optional<ReleaseFeed> feed;
    QString message; ///< one sentence for the updater's dialog
};

/// The limits of the two small files of a feed.
inline constexpr qint64 maxFeedBytes = 64 * 1024;
inline constexpr qint64 maxSignatureBytes = 1024;

/// Judges fetched feed bytes: the signature first (nothing unsigned is even parsed), then the
/// document, its expiry at `now`, and its version against `running` (never backwards).
FeedVerdict judgeFeed(const QByteArray &feed, const QByteArray &signature, const FeedSignature &key,
                      const ReleaseVersion &running, const QDateTime &now);

/// Fetches `feedUrl` and `feedUrl` + ".sig" and judges them.
QCoro::Task<FeedVerdict> checkFeed(std::shared_ptr<QNetworkAccessManager> network, QUrl feedUrl,
                                   FeedSignature key, ReleaseVersion running);

/// The signature URL of a feed URL.
QUrl signatureUrl(const QUrl &feedUrl);

} // namespace talvex::update
