#include "ChatCompletionAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace talvex::ChatCompletionAnswer {

namespace {

std::optional<QString> fail(QString *failure, const QString &reason)
{
    if (failure)
        *failure = reason;
    return std::nullopt;
}

// The text of an assistant message: a string, or a list of text parts.
std::optional<QString> messageText(const QJsonValue &content)
{
    if (content.isString())
        return content.toString();
    if (!content.isArray())
        return std::nullopt;
    QString text;
    for (const QJsonValue &part : content.toArray()) {
        const QJsonObject object = part.toObject();
        if (object.value(QLatin1String("type")).toString() != QLatin1String("text") ||
            !object.value(QLatin1String("text")).isString())
            return std::nullopt;
        text += object.value(QLatin1String("text")).toString();
    }
    return text;
}

} // namespace

std::optional<QString> messageContent(const QByteArray &body, QString *failure)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(failure, QStringLiteral("The answer is not a JSON object."));
    const QJsonObject message = document.object()
                                    .value(QLatin1String("choices"))
                                    .toArray()
                                    .at(0)
                                    .toObject()
                                    .value(QLatin1String("message"))
                                    .toObject();
    std::optional<QString> content = messageText(message.value(QLatin1String("content")));
    if (!content)
        return fail(failure, QStringLiteral("The answer has no message text."));
    return content;
}

} // namespace talvex::ChatCompletionAnswer
