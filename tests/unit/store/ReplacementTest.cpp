#include "store/Preferences.h"

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
