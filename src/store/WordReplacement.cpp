#include "WordReplacement.h"

#include "JsonRead.h"
#include "UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>

namespace talvex {

namespace {

icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), static_cast<int32_t>(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// Every ASCII character that has a meaning somewhere in an ICU pattern gets a backslash, so the
// spoken form matches literally. Letters and digits are never escaped: "\d" would be a class.
bool isPatternSyntax(char16_t c)
{
    switch (c) {
    case u'\\': case u'^': case u'$': case u'.': case u'|': case u'?': case u'*': case u'+':
    case u'(': case u')': case u'[': case u']': case u'{': case u'}': case u'-': case u'&':
    case u'#': case u'/': case u':': case u'<': case u'>': case u'=': case u'!': case u',':
    case u'\'': case u'"': case u'~': case u'@': case u'%': case u'`': case u';':
        return true;
    default:
        return false;
    }
}

QString escapedPattern(const QString &literal)
{
    QString pattern;
    pattern.reserve(literal.size() * 2);
    for (QChar c : literal) {
        if (isPatternSyntax(c.unicode()))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return pattern;
}

// In a replacement template only "$" and "\" are special.
QString escapedTemplate(const QString &literal)
{
    QString result;
    result.reserve(literal.size() + 4);
    for (QChar c : literal) {
        if (c == u'$' || c == u'\\')
            result += QLatin1Char('\\');
        result += c;
    }
    return result;
}

} // namespace

QJsonObject WordReplacement::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), JsonRead::uuidString(id)},
        {QStringLiteral("spoken"), spoken},
        {QStringLiteral("written"), written},
    };
}

std::optional<WordReplacement> WordReplacement::fromJson(const QJsonValue &value, QString *error)
{
    if (!value.isObject()) {
        JsonRead::fail(error, QStringLiteral("a replacement is not an object"));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    auto id = JsonRead::uuid(object, QLatin1StringView("id"), error);
    if (!id)
        return std::nullopt;
    auto spoken = JsonRead::string(object, QLatin1StringView("spoken"), error);
    if (!spoken)
        return std::nullopt;
    auto written = JsonRead::string(object, QLatin1StringView("written"), error);
    if (!written)
        return std::nullopt;
    return WordReplacement{*id, *spoken, *written};
}

QString applyReplacements(const QList<WordReplacement> &rules, const QString &text)
{
    icu::UnicodeString current = toIcu(text);
    for (const WordReplacement &rule : rules) {
        const QString spoken = UnicodeText::trimmed(rule.spoken, UnicodeText::isWhitespaceOrNewline);
        if (spoken.isEmpty())
            continue;
        const QString pattern =
            QStringLiteral("(?<![\\p{L}\\p{N}_])") + escapedPattern(spoken) + QStringLiteral("(?![\\p{L}\\p{N}_])");
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        std::unique_ptr<icu::RegexPattern> compiled(
            icu::RegexPattern::compile(toIcu(pattern), UREGEX_CASE_INSENSITIVE, parseError, status));
        if (U_FAILURE(status) || !compiled)
            continue;
        std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(current, status));
        if (U_FAILURE(status) || !matcher)
            continue;
        icu::UnicodeString replaced = matcher->replaceAll(toIcu(escapedTemplate(rule.written)), status);
        matcher.reset(); // it refers to `current`
        if (U_FAILURE(status))
            continue;
        current = std::move(replaced);
    }
    return fromIcu(current);
}

} // namespace talvex
