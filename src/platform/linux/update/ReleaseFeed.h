#pragma once

#include "ReleaseVersion.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>
#include <variant>

namespace talvex::update {

/// The release feed, feed.json: the newest release and where its archive is.
///
///     {"version": "0.2.0", "date": "2025-03-01T12:00:00Z", "expires": "2025-04-01T00:00:00Z",
///      "releasePage": "https://…", "archive": {"url": "https://…", "size": 1234, "sha256": "<64 hex>"}}
///
/// Its bytes are signed as they are (feed.json.sig); it is parsed only after the signature matched.
struct ReleaseFeed {
    ReleaseVersion version;
    QDateTime date;
    QDateTime expires;
    QUrl releasePage;
    QUrl archiveUrl;
    qint64 archiveSize = 0;
    QByteArray archiveSha256; ///< 32 bytes

    /// Archives above this are refused before anything is downloaded.
    static constexpr qint64 maxArchiveSize = qint64(1) << 30;

    /// The feed in `json`, or one sentence saying what is wrong with it.
    static std::variant<ReleaseFeed, QString> parse(const QByteArray &json);
};

/// HTTPS, or plain HTTP to a loopback address (for tests on this machine).
bool isAllowedUpdateUrl(const QUrl &url);

} // namespace talvex::update
