#include "ReleaseFeed.h"

#include "LlmEndpoint.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace talvex::update {

namespace {

std::optional<QDateTime> timeOf(const QJsonValue &value)
{
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!value.isString() || !time.isValid())
        return std::nullopt;
    return time;
}

QString problem(const QString &what)
{
    return QStringLiteral("The update feed is not usable: %1.").arg(what);
}

} // namespace

std::variant<ReleaseFeed, QString> ReleaseFeed::parse(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return problem(QStringLiteral("it is not a JSON object"));
    const QJsonObject root = document.object();
    const QJsonObject archive = root.value(QLatin1String("archive")).toObject();

    const auto version = ReleaseVersion::parse(root.value(QLatin1String("version")).toString());
    if (!version)
        return problem(QStringLiteral("its version is missing or not a release number"));
    const auto date = timeOf(root.value(QLatin1String("date")));
    const auto expires = timeOf(root.value(QLatin1String("expires")));
    if (!date || !expires)
        return problem(QStringLiteral("its date or expiry is missing or not an ISO 8601 time"));
    if (*expires <= *date)
        return problem(QStringLiteral("it expires before it was published"));

    const QUrl page(root.value(QLatin1String("releasePage")).toString(), QUrl::StrictMode);
    const QUrl url(archive.value(QLatin1String("url")).toString(), QUrl::StrictMode);
    if (!page.isValid() || !isAllowedUpdateUrl(page))
        return problem(QStringLiteral("its release page is missing or not an HTTPS address"));
    if (!url.isValid() || !isAllowedUpdateUrl(url))
        return problem(QStringLiteral("its archive address is missing or not an HTTPS address"));

    const QJsonValue size = archive.value(QLatin1String("size"));
    const double bytes = size.toDouble(-1);
    if (!size.isDouble() || bytes < 1 || bytes > double(maxArchiveSize) || bytes != double(qint64(bytes)))
        return problem(QStringLiteral("its archive size is missing or out of range"));
    const QString hex = archive.value(QLatin1String("sha256")).toString();
    const QByteArray digest = QByteArray::fromHex(hex.toLatin1());
    if (hex.size() != 64 || digest.size() != 32 || digest.toHex() != hex.toLower().toLatin1())
        return problem(QStringLiteral("its archive checksum is not 64 hexadecimal digits"));

    return ReleaseFeed{*version, *date, *expires, page, url, qint64(bytes), digest};
}

bool isAllowedUpdateUrl(const QUrl &url)
{
    if (url.host().isEmpty() || !url.userInfo().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == QLatin1String("http") && LlmEndpoint::isLoopbackHost(url.host());
}

} // namespace talvex::update
