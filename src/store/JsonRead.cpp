#include "JsonRead.h"

namespace talvex::JsonRead {

namespace {

std::optional<QJsonValue> member(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    const auto found = object.constFind(key);
    if (found == object.constEnd()) {
        fail(error, QStringLiteral("\u201C%1\u201D is missing").arg(key));
        return std::nullopt;
    }
    if (found->isNull()) {
        fail(error, QStringLiteral("\u201C%1\u201D is null").arg(key));
        return std::nullopt;
    }
    return *found;
}

template <typename T>
std::optional<T> wrongType(QLatin1StringView key, const char *expected, QString *error)
{
    fail(error, QStringLiteral("\u201C%1\u201D is not %2").arg(key, QLatin1StringView(expected)));
    return std::nullopt;
}

bool isHex(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

} // namespace

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

void nest(QString *error, const QString &where)
{
    if (error)
        *error = where + QStringLiteral(": ") + *error;
}

std::optional<QString> string(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto value = member(object, key, error);
    if (!value)
        return std::nullopt;
    if (!value->isString())
        return wrongType<QString>(key, "a string", error);
    return value->toString();
}

std::optional<bool> boolean(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto value = member(object, key, error);
    if (!value)
        return std::nullopt;
    if (!value->isBool())
        return wrongType<bool>(key, "true or false", error);
    return value->toBool();
}

std::optional<double> number(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto value = member(object, key, error);
    if (!value)
        return std::nullopt;
    if (!value->isDouble())
        return wrongType<double>(key, "a number", error);
    return value->toDouble();
}

std::optional<QJsonArray> array(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto value = member(object, key, error);
    if (!value)
        return std::nullopt;
    if (!value->isArray())
        return wrongType<QJsonArray>(key, "an array", error);
    return value->toArray();
}

std::optional<QJsonObject> object(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto value = member(object, key, error);
    if (!value)
        return std::nullopt;
    if (!value->isObject())
        return wrongType<QJsonObject>(key, "an object", error);
    return value->toObject();
}

std::optional<QUuid> uuid(const QJsonObject &object, QLatin1StringView key, QString *error)
{
    auto text = string(object, key, error);
    if (!text)
        return std::nullopt;
    bool canonical = text->size() == 36;
    for (qsizetype i = 0; canonical && i < 36; ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        canonical = hyphen ? text->at(i) == u'-' : isHex(text->at(i));
    }
    if (!canonical)
        return wrongType<QUuid>(key, "a UUID", error);
    return QUuid::fromString(*text);
}

QString uuidString(const QUuid &uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace talvex::JsonRead
