#include "UnicodeText.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace talvex::UnicodeText {

namespace {

char32_t codePointAt(const QString &text, qsizetype index, qsizetype *length)
{
    const QChar unit = text.at(index);
    if (unit.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(unit, text.at(index + 1));
    }
    *length = 1;
    return unit.unicode();
}

char32_t codePointBefore(const QString &text, qsizetype end, qsizetype *length)
{
    const QChar unit = text.at(end - 1);
    if (unit.isLowSurrogate() && end >= 2 && text.at(end - 2).isHighSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(text.at(end - 2), unit);
    }
    *length = 1;
    return unit.unicode();
}

} // namespace

bool isLineBreak(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isSpaceOrTab(char32_t c)
{
    if (c == 0x09 || c == 0x20)
        return true;
    if (c < 0x80)
        return false;
    return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85)
        return true;
    if (c < 0x80)
        return false;
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

bool isWhiteSpace(char32_t c)
{
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

QString trimmed(const QString &text, bool (*predicate)(char32_t))
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    qsizetype length = 0;
    while (begin < end && predicate(codePointAt(text, begin, &length)))
        begin += length;
    while (end > begin && predicate(codePointBefore(text, end, &length)))
        end -= length;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QStringList splitLines(const QString &text)
{
    // Every line break is a single BMP code unit.
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isLineBreak(text.at(i).unicode())) {
            if (i > start)
                pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    return pieces;
}

QString foldCase(const QString &text)
{
    icu::UnicodeString folded(reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()));
    folded.foldCase(U_FOLD_CASE_DEFAULT);
    return QString(reinterpret_cast<const QChar *>(folded.getBuffer()), folded.length());
}

} // namespace talvex::UnicodeText
