#include "store/WordList.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace talvex;

namespace {

QStringList parsed(const QString &text)
{
    WordList::ImportError error;
    auto entries = WordList::parse(text, &error);
    EXPECT_TRUE(entries.has_value()) << qPrintable(text);
    return entries.value_or(QStringList{QStringLiteral("<failed>")});
}

bool failsWithInvalidQuotes(const QString &text)
{
    WordList::ImportError error;
    return !WordList::parse(text, &error) && error == WordList::ImportError::invalidQuotes();
}

} // namespace

TEST(WordListTest, SeparatorsQuotesAndTrimming)
{
    EXPECT_EQ(parsed(QStringLiteral("apple, banana;cherry\tdate\n")), (QStringList{"apple", "banana", "cherry", "date"}));
    EXPECT_EQ(parsed(QStringLiteral("\"Smith, John\",Ada")), (QStringList{"Smith, John", "Ada"}));
    EXPECT_EQ(parsed(QStringLiteral("\"say \"\"hi\"\"\"")), QStringList{"say \"hi\""});
    EXPECT_EQ(parsed(QStringLiteral("  \"Ada\"  ,\t\"Grace\" \u00A0\n")), (QStringList{"Ada", "Grace"}));
    EXPECT_EQ(parsed(QStringLiteral("5\" screen, it\"s")), (QStringList{"5\" screen", "it\"s"}));
    EXPECT_EQ(parsed(QStringLiteral("\"New\nYork\", \"a;b\tc\"")), (QStringList{"New York", "a;b\tc"}));
    EXPECT_EQ(parsed(QStringLiteral("\"  New \r\n\r\n  York \"")), QStringList{"New York"});
    EXPECT_EQ(parsed(QStringLiteral("  New   York  ")), QStringList{"New   York"});
    EXPECT_EQ(parsed(QStringLiteral(",,\n\n  ;\t\r\n , ")), QStringList{});
    EXPECT_EQ(parsed(QString()), QStringList{});
    EXPECT_EQ(parsed(QStringLiteral("\"\"")), QStringList{});
    EXPECT_EQ(parsed(QStringLiteral("a,a,A")), (QStringList{"a", "a", "A"}));
    EXPECT_EQ(parsed(QStringLiteral("\uFEFFAda\nGrace")), (QStringList{"Ada", "Grace"}));
    // Only a leading mark is skipped.
    EXPECT_EQ(parsed(QStringLiteral("Ada\n\uFEFFGrace")), (QStringList{"Ada", QStringLiteral("\uFEFFGrace")}));

    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("\"Ada\"x, Grace")));
    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("Ada, \"Grace")));
    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("\"")));
    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("\"a\" \"b\"")));
    EXPECT_EQ(WordList::ImportError::invalidQuotes().description(),
              QStringLiteral("Check the quotation marks in the word list and try again."));
    EXPECT_EQ(WordList::ImportError::overLimit(7, 3).description(),
              QStringLiteral("This file has 7 new entries, and 3 will fit. Shorten the list or remove entries "
                             "from your vocabulary."));
}

TEST(WordListTest, ScansUserPerceivedCharacters)
{
    // Every kind of line break separates; CR LF is one character.
    EXPECT_EQ(parsed(QStringLiteral("a\r\nb\rc\u000Bd\u000Ce\u0085f\u2028g\u2029h")),
              (QStringList{"a", "b", "c", "d", "e", "f", "g", "h"}));
    // A quote or separator carrying a combining mark is an ordinary character, not syntax.
    EXPECT_EQ(parsed(QStringLiteral("a,\u0301b")), QStringList{"a,\u0301b"});
    EXPECT_EQ(parsed(QStringLiteral("\"\u0301abc")), QStringList{"\"\u0301abc"});
    EXPECT_EQ(parsed(QStringLiteral("\"x\"\u0301y\"")), QStringList{"x\"\u0301y"});
    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("\"x\"\u0301")));
    // After a closing quote, a character whose first code point is White_Space is ignored.
    EXPECT_EQ(parsed(QStringLiteral("\"x\" \u0301,y")), (QStringList{"x", "y"}));
    // Emoji sequences, flags and non-BMP text stay whole, at any position.
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(parsed(family + QStringLiteral(",\U0001F1E9\U0001F1EA;\"\U0001D400\",caf") + QStringLiteral("e\u0301")),
              (QStringList{family, "\U0001F1E9\U0001F1EA", "\U0001D400", "cafe\u0301"}));
    // Hangul jamo and other multi-unit clusters next to separators.
    EXPECT_EQ(parsed(QStringLiteral("\u1100\u1161\u11A8,\u0915\u094D\u0937")), (QStringList{"\u1100\u1161\u11A8", "\u0915\u094D\u0937"}));
}

TEST(WordListTest, LargeInputsFinish)
{
    // Tens of thousands of quotes and a long unbalanced file finish in linear time.
    QString quotes;
    for (int i = 0; i < 20000; ++i)
        quotes += QStringLiteral("  \"x\"\"y\"  ,");
    auto entries = WordList::parse(quotes);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 20000);
    EXPECT_EQ(entries->first(), QStringLiteral("x\"y"));
    EXPECT_TRUE(failsWithInvalidQuotes(QStringLiteral("\"") + QString(2'000'000, QLatin1Char('a'))));
}

TEST(WordListTest, DecodesUtf8BomsAndDetectedCharsets)
{
    QString error;
    EXPECT_EQ(WordList::decodeText(QByteArray("caf\xC3\xA9, na\xC3\xAFve"), &error), QStringLiteral("café, naïve"));
    EXPECT_EQ(WordList::decodeText(QByteArray("\xEF\xBB\xBF" "Ada"), &error), QStringLiteral("Ada"));
    EXPECT_EQ(WordList::decodeText(QByteArray(), &error), QString());

    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QByteArray bytes = utf16.encode(QStringLiteral("Zoë, \U0001F600"));
    EXPECT_EQ(WordList::decodeText(bytes, &error), QStringLiteral("Zoë, \U0001F600"));
    QStringEncoder utf16be(QStringEncoder::Utf16BE, QStringEncoder::Flag::WriteBom);
    EXPECT_EQ(WordList::decodeText(utf16be.encode(QStringLiteral("Ada\nGrace")), &error), QStringLiteral("Ada\nGrace"));

    // Not UTF-8: a Latin-1 file is detected as such, not mangled.
    const QByteArray latin1 = QByteArray("Caf\xE9 cr\xE8me br\xFBl\xE9" "e, Fran\xE7ois, Ren\xE9 Descartes, na\xEFve, "
                                         "d\xE9j\xE0 vu, fa\xE7" "ade, \xE9l\xE8ve, \xE9t\xE9, gar\xE7on");
    auto text = WordList::decodeText(latin1, &error);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->startsWith(QStringLiteral("Café crème brûlée"))) << qPrintable(*text);

    // Binary data is refused with a message.
    error.clear();
    EXPECT_FALSE(WordList::decodeText(QByteArray("\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\xFF\xFE", 16), &error));
    EXPECT_FALSE(error.isEmpty());
}
