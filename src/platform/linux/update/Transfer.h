#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <chrono>

class QIODevice;

namespace talvex::update {

/// What a transfer brought: the body, or one sentence saying why there is none.
struct Transfer {
    QByteArray body;
    QString failure; ///< empty when the transfer completed
};

/// The rules every update transfer follows: HTTPS only (plain HTTP to loopback for tests), no
/// redirect to another host or to an insecure address, never more than `limit` bytes, and an end
/// after `idle` without data. Replies belong to `network`; each coroutine touches only its reply
/// after it resumes, so the caller may be gone by then.
struct TransferRules {
    qint64 limit = 0;
    std::chrono::milliseconds idle = std::chrono::seconds(30);
};

/// GET `url` into memory.
QCoro::Task<Transfer> fetchWhole(QNetworkAccessManager &network, QUrl url, TransferRules rules);

/// GET `url` into `file` as it arrives (nothing is held in memory); `body` stays empty.
QCoro::Task<Transfer> fetchToFile(QNetworkAccessManager &network, QUrl url, TransferRules rules,
                                  QIODevice &file);

} // namespace talvex::update
