#include "store/Preferences.h"

#include <QRandomGenerator>

#include <unicode/regex.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

using namespace talvex;

namespace {

QString apply(std::initializer_list<std::pair<const char *, const char *>> rules, const char *text)
{
    QList<WordReplacement> list;
    for (const auto &[spoken, written] : rules)
        list.append(WordReplacement{QUuid::createUuid(), QString::fromUtf8(spoken), QString::fromUtf8(written)});
    return applyReplacements(list, QString::fromUtf8(text));
}

} // namespace

TEST(ReplacementTest, MatchesWholeWordsOnly)
{
    EXPECT_EQ(apply({{"open ai", "OpenAI"}}, "I used open AI today"), QStringLiteral("I used OpenAI today"));
    EXPECT_EQ(apply({{"open ai", "OpenAI"}}, "reopen ai and open aim"), QStringLiteral("reopen ai and open aim"));
    // Punctuation, line breaks and the ends of the text are boundaries; letters, digits, _ are not.
    EXPECT_EQ(apply({{"foo", "X"}}, "foo, (foo) foo.\nfoo"), QStringLiteral("X, (X) X.\nX"));
    EXPECT_EQ(apply({{"foo", "X"}}, "foo_bar foo2 _foo 2foo"), QStringLiteral("foo_bar foo2 _foo 2foo"));
    // Letters and numbers beyond ASCII and outside the BMP count too.
    EXPECT_EQ(apply({{"foo", "X"}}, "éfoo foo\u0661 \U0001D400foo foo\U0001D7CE"),
              QString::fromUtf8("éfoo foo\u0661 \U0001D400foo foo\U0001D7CE"));
    EXPECT_EQ(apply({{"foo", "X"}}, "\u201Cfoo\u201D \U0001F600foo"), QString::fromUtf8("\u201CX\u201D \U0001F600X"));
    // Interior spaces match exactly.
    EXPECT_EQ(apply({{"open ai", "OpenAI"}}, "open  ai open\tai"), QStringLiteral("open  ai open\tai"));
}

TEST(ReplacementTest, SpokenIsLiteralAndWrittenIsInsertedAsTyped)
{
    EXPECT_EQ(apply({{"a.m.", "AM"}}, "at 9 a.m. not axmx"), QStringLiteral("at 9 AM not axmx"));
    // Every character with a meaning in a pattern must match only itself.
    const char *metas = "\\ ^ $ . | ? * + ( ) [ ] { } - & # / : < > = ! , ' \" ~ @ % ` ;";
    EXPECT_EQ(apply({{metas, "ok"}}, "x \\ ^ $ . | ? * + ( ) [ ] { } - & # / : < > = ! , ' \" ~ @ % ` ; y"),
              QStringLiteral("x ok y"));
    EXPECT_EQ(apply({{"c++", "C plus plus"}}, "I like c++ and cpp"), QStringLiteral("I like C plus plus and cpp"));
    EXPECT_EQ(apply({{"\\Q", "q"}, {"a\\E", "e"}}, "\\Q a\\E"), QStringLiteral("q e"));
    EXPECT_EQ(apply({{"(?i)x", "y"}}, "(?i)x X"), QStringLiteral("y X"));
    EXPECT_EQ(apply({{"\\d", "digit"}}, "\\d 5"), QStringLiteral("digit 5"));

    // A spoken form always matches a text that is exactly itself, whatever it holds.
    for (const char *spoken : {"\u01F0", "\uFB00", "\u0130", "\u03A3\u03C2", "stra\u00DFe", "e\u0301", "\U0001F468\u200D\U0001F469",
                               "\\E\\Q", "[[:alpha:]]", "\\p{L}", "x{2}", "#comment", "(?x) a"})
        EXPECT_EQ(apply({{spoken, "ok"}}, spoken), QStringLiteral("ok")) << spoken;

    EXPECT_EQ(apply({{"price", "$1 \\0 $$"}}, "the price"), QStringLiteral("the $1 \\0 $$"));
    EXPECT_EQ(apply({{"um", ""}}, "so um yes"), QStringLiteral("so  yes"));
}

TEST(ReplacementTest, CaseInsensitiveBeyondAsciiButWrittenKeepsItsCase)
{
    EXPECT_EQ(apply({{"école", "Ecole"}}, "ÉCOLE école École"), QStringLiteral("Ecole Ecole Ecole"));
    EXPECT_EQ(apply({{"σοφία", "Sophia"}}, "ΣΟΦΊΑ"), QStringLiteral("Sophia"));
    EXPECT_EQ(apply({{"GITHUB", "GitHub"}}, "github Github"), QStringLiteral("GitHub GitHub"));
}

TEST(ReplacementTest, RulesTrimSkipAndChainInOrder)
{
    EXPECT_EQ(apply({{"  \t open ai \n\u2028", "OpenAI"}}, "open ai"), QStringLiteral("OpenAI"));
    EXPECT_EQ(apply({{" \u00A0\n", "gone"}, {"", "gone"}}, "keep  this"), QStringLiteral("keep  this"));
    EXPECT_EQ(apply({{"a", "b"}, {"b", "c"}}, "a"), QStringLiteral("c"));
    EXPECT_EQ(apply({{"b", "c"}, {"a", "b"}}, "a"), QStringLiteral("b"));
    // Matches do not overlap and scan left to right; the replacement is not rescanned by its own rule.
    EXPECT_EQ(apply({{"aa", "a"}}, "aa aaaa aa"), QStringLiteral("a aaaa a"));
    EXPECT_EQ(apply({{"x", "x x"}}, "x"), QStringLiteral("x x"));

    Preferences preferences;
    preferences.replacements = {WordReplacement{QUuid::createUuid(), QStringLiteral("talvex"), QStringLiteral("Talvex")}};
    EXPECT_EQ(preferences.applyingReplacements(QStringLiteral("talvex works")), QStringLiteral("Talvex works"));
}

TEST(ReplacementTest, PatternIsBuiltFromTheTrimmedEscapedSpokenForm)
{
    EXPECT_EQ((WordReplacement{QUuid(), QStringLiteral(" open ai\n"), QString()}.pattern()),
              QStringLiteral("(?<![\\p{L}\\p{N}_])open ai(?![\\p{L}\\p{N}_])"));
    EXPECT_EQ((WordReplacement{QUuid(), QStringLiteral("a.m. (x)"), QString()}.pattern()),
              QStringLiteral("(?<![\\p{L}\\p{N}_])a\\.m\\. \\(x\\)(?![\\p{L}\\p{N}_])"));
    EXPECT_TRUE((WordReplacement{QUuid(), QStringLiteral("\u2029\t "), QString()}.pattern().isEmpty()));
}

// The fast path must give exactly what ICU's own replaceAll gives for the rule's pattern, on text
// full of case-folding, boundary and surrogate traps.
TEST(ReplacementTest, MatchesIcuReplaceAllOnRandomText)
{
    const QStringList pieces = {"a", "A", "ss", "SS", "\u00DF", "\u1E9E", "st", "\uFB06", " ", "  ", ".", "_", "1",
                                "\u0661", "e", "\u00E9", "e\u0301", "\U0001D400", "\U0001F600", "\u03A3", "\u03C2",
                                "\u03C3", "i", "I", "\u0130", "\u0131", "-", "\n", "$", "\\", "ab", "ba"};
    const QStringList spokenForms = {"a", "ss", "\u00DF", "st", "a a", "\u03C3", "e", "\u00E9", "i", "ab", "a.",
                                     "\U0001D400", "$", "\\", "a_", "_a", "ss ss"};
    // The reference patterns are compiled once; compiling the look-around sets is the slow part.
    std::vector<std::unique_ptr<icu::RegexPattern>> references;
    for (const QString &spoken : spokenForms) {
        const QString pattern = WordReplacement{QUuid(), spoken, QString()}.pattern();
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError;
        references.emplace_back(icu::RegexPattern::compile(
            icu::UnicodeString(reinterpret_cast<const UChar *>(pattern.utf16()), pattern.size()),
            UREGEX_CASE_INSENSITIVE, parseError, status));
        ASSERT_TRUE(U_SUCCESS(status)) << qPrintable(spoken);
    }
    QRandomGenerator random(1234);
    for (int round = 0; round < 1500; ++round) {
        QString text;
        const int count = random.bounded(1, 14);
        for (int i = 0; i < count; ++i)
            text += pieces.at(random.bounded(pieces.size()));
        const int which = random.bounded(spokenForms.size());
        const WordReplacement rule{QUuid(), spokenForms.at(which), QStringLiteral("<$0>")};

        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString input(reinterpret_cast<const UChar *>(text.utf16()), text.size());
        std::unique_ptr<icu::RegexMatcher> matcher(references[which]->matcher(input, status));
        const icu::UnicodeString expected = matcher->replaceAll(icu::UnicodeString(u"<\\$0>"), status);
        ASSERT_TRUE(U_SUCCESS(status));
        const QString expectedText(reinterpret_cast<const QChar *>(expected.getBuffer()), expected.length());

        EXPECT_EQ(applyReplacements({rule}, text), expectedText)
            << "spoken " << qPrintable(rule.spoken) << " text " << qPrintable(text);
    }
}
