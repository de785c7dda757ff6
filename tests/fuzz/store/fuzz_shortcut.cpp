// Shortcut decoder: JSON values and legacy strings either fail with a message or give a shortcut
// whose JSON form reads back as the same shortcut.
#include "desktop/Shortcut.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

using talvex::Shortcut;

namespace {

void check(const QJsonValue &value)
{
    QString error;
    auto shortcut = Shortcut::fromJson(value, &error);
    if (!shortcut) {
        if (error.isEmpty())
            std::abort();
        return;
    }
    auto again = Shortcut::fromJson(shortcut->toJson(), &error);
    if (!again || !(*again == *shortcut))
        std::abort();
    (void)shortcut->displayText();
    (void)shortcut->reservedForEditing();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // The bytes as a stored legacy string, and as a JSON value in the shortcut's place.
    check(QJsonValue(QString::fromUtf8(bytes)));
    const QJsonDocument document = QJsonDocument::fromJson("[" + bytes + "]");
    if (document.isArray() && !document.array().isEmpty())
        check(document.array().first());
    return 0;
}
