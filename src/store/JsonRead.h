#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

namespace talvex::JsonRead {

/// Strict readers shared by the document's types. Each returns nothing and sets `error` to a short
/// description naming `key` when the member is missing, null or of the wrong type.
std::optional<QString> string(const QJsonObject &object, QLatin1StringView key, QString *error);
std::optional<bool> boolean(const QJsonObject &object, QLatin1StringView key, QString *error);
std::optional<double> number(const QJsonObject &object, QLatin1StringView key, QString *error);
std::optional<QJsonArray> array(const QJsonObject &object, QLatin1StringView key, QString *error);
std::optional<QJsonObject> object(const QJsonObject &object, QLatin1StringView key, QString *error);
/// A canonical 36-character hyphenated UUID, hexadecimal digits in either case.
std::optional<QUuid> uuid(const QJsonObject &object, QLatin1StringView key, QString *error);

/// Sets `*error` (when given) to `message` and returns false, for one-line failure paths.
bool fail(QString *error, const QString &message);
/// Prefixes an inner error with where it happened: "history[3]: " + inner.
void nest(QString *error, const QString &where);

/// The canonical upper-case form written for every UUID.
QString uuidString(const QUuid &uuid);

} // namespace talvex::JsonRead
