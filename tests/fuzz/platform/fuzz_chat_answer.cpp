// Chat-completions answers: any body either fails with a reason or gives a text that, sent back in
// the shape of an answer, reads back unchanged.
#include "ChatCompletionAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString failure;
    const std::optional<QString> content = ChatCompletionAnswer::messageContent(body, &failure);
    if (!content) {
        if (failure.isEmpty())
            std::abort(); // a failure must say why
        return 0;
    }
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("assistant")},
                              {QStringLiteral("content"), *content}};
    const QJsonObject answer{
        {QStringLiteral("choices"), QJsonArray{QJsonObject{{QStringLiteral("message"), message}}}}};
    QString again;
    const std::optional<QString> reread =
        ChatCompletionAnswer::messageContent(QJsonDocument(answer).toJson(QJsonDocument::Compact), &again);
    if (!reread || *reread != *content)
        std::abort();
    return 0;
}
