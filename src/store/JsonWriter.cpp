#include "JsonWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace talvex::JsonWriter {

namespace {

void appendHexEscape(QByteArray &out, char16_t unit)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\u";
    out += digits[(unit >> 12) & 0xF];
    out += digits[(unit >> 8) & 0xF];
    out += digits[(unit >> 4) & 0xF];
    out += digits[unit & 0xF];
}

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    const qsizetype size = text.size();
    const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            switch (unit) {
            case u'"': out += "\\\""; break;
            case u'\\': out += "\\\\"; break;
            case u'\n': out += "\\n"; break;
            case u'\r': out += "\\r"; break;
            case u'\t': out += "\\t"; break;
            case u'\b': out += "\\b"; break;
            case u'\f': out += "\\f"; break;
            default:
                if (unit < 0x20)
                    appendHexEscape(out, unit);
                else
                    out += static_cast<char>(unit);
            }
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t c = QChar::surrogateToUcs4(unit, units[i + 1]);
            ++i;
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isSurrogate(unit)) {
            appendHexEscape(out, unit);
        } else {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    out += '"';
}

void appendNumber(QByteArray &out, double value)
{
    char buffer[64];
    std::to_chars_result result;
    if (!std::isfinite(value)) {
        out += "null"; // JSON has no such numbers; the decoders reject null where a number belongs
        return;
    }
    // Whole numbers in the exactly representable range print without a fraction (49, 4608, 1).
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, value); // shortest text that reads back exactly
    out.append(buffer, result.ptr - buffer);
}

void indent(QByteArray &out, int depth)
{
    out += '\n';
    out.append(depth * 2, ' ');
}

void appendValue(QByteArray &out, const QJsonValue &value, int depth)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out += "null";
        break;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        break;
    case QJsonValue::Double:
        appendNumber(out, value.toDouble());
        break;
    case QJsonValue::String:
        appendString(out, value.toString());
        break;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        if (array.isEmpty()) {
            out += "[]";
            break;
        }
        out += '[';
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i > 0)
                out += ',';
            indent(out, depth + 1);
            appendValue(out, array.at(i), depth + 1);
        }
        indent(out, depth);
        out += ']';
        break;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.isEmpty()) {
            out += "{}";
            break;
        }
        // Sorted by UTF-16 code units: plain byte order for the ASCII names of the document.
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        out += '{';
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (i > 0)
                out += ',';
            indent(out, depth + 1);
            appendString(out, keys.at(i));
            out += " : ";
            appendValue(out, object.value(keys.at(i)), depth + 1);
        }
        indent(out, depth);
        out += '}';
        break;
    }
    }
}

} // namespace

QByteArray write(const QJsonValue &value)
{
    QByteArray out;
    appendValue(out, value, 0);
    out += '\n';
    return out;
}

} // namespace talvex::JsonWriter
