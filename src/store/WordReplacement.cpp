#include "WordReplacement.h"

#include "JsonRead.h"
#include "UnicodeText.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>
#include <optional>

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

QString WordReplacement::pattern() const
{
    const QString trimmedSpoken = UnicodeText::trimmed(spoken, UnicodeText::isWhitespaceOrNewline);
    if (trimmedSpoken.isEmpty())
        return QString();
    return QStringLiteral("(?<![\\p{L}\\p{N}_])") + escapedPattern(trimmedSpoken) +
           QStringLiteral("(?![\\p{L}\\p{N}_])");
}

namespace {

std::unique_ptr<icu::RegexPattern> compile(const QString &pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(toIcu(pattern), UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status))
        return nullptr;
    return compiled;
}

// Replaces every match of `whole` in `text`, left to right, without overlaps, with `written` as
// is. The result equals whole's replaceAll, but the candidates come from a search for the bare
// literal, which ICU scans for quickly: a pattern that starts with a look-behind gets no such
// start optimisation and would run the look-behind at every position of the text.
std::optional<icu::UnicodeString> replaceMatches(const icu::RegexPattern &whole, const icu::RegexPattern &literal,
                                                 const icu::UnicodeString &text, const icu::UnicodeString &written)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> candidates(literal.matcher(text, status));
    std::unique_ptr<icu::RegexMatcher> matcher(whole.matcher(text, status));
    if (U_FAILURE(status) || !candidates || !matcher)
        return std::nullopt;

    const int32_t length = text.length();
    icu::UnicodeString result;
    int32_t copied = 0; // text before this index is already in `result`
    int32_t from = 0;
    while (from < length && candidates->find(from, status)) {
        const int32_t start = candidates->start(status);
        if (U_FAILURE(status) || start >= length)
            break;
        if (matcher->lookingAt(start, status)) {
            const int32_t end = matcher->end(status);
            result.append(text, copied, start - copied);
            result.append(written);
            copied = end;
            from = end > start ? end : text.moveIndex32(start, 1);
        } else {
            from = text.moveIndex32(start, 1);
        }
        if (U_FAILURE(status))
            break;
    }
    if (U_FAILURE(status))
        return std::nullopt;
    result.append(text, copied, length - copied);
    return result;
}

} // namespace

QString applyReplacements(const QList<WordReplacement> &rules, const QString &text)
{
    icu::UnicodeString current = toIcu(text);
    for (const WordReplacement &rule : rules) {
        const QString pattern = rule.pattern();
        if (pattern.isEmpty())
            continue;
        const auto literal = compile(escapedPattern(UnicodeText::trimmed(rule.spoken, UnicodeText::isWhitespaceOrNewline)));
        if (!literal)
            continue; // a rule that cannot be compiled changes nothing
        // Compiling the full pattern is the expensive part (the case closure of its letter and
        // number sets), so it is done only when the literal occurs at all.
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexMatcher> probe(literal->matcher(current, status));
        if (U_FAILURE(status) || !probe || !probe->find())
            continue;
        probe.reset();
        const auto whole = compile(pattern);
        if (!whole)
            continue;
        if (auto replaced = replaceMatches(*whole, *literal, current, toIcu(rule.written)))
            current = std::move(*replaced);
    }
    return fromIcu(current);
}

} // namespace talvex
