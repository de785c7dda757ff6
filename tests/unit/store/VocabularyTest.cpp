#include "store/Preferences.h"

#include <gtest/gtest.h>

using namespace talvex;

namespace {

QString numberedLines(int from, int count)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines << QStringLiteral("word%1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TEST(VocabularyTest, EntriesAreTrimmedDeduplicatedUnderFullCaseFolding)
{
    Preferences preferences;
    preferences.vocabulary = QStringLiteral("Ada\r\n  ada \r\n\r\nGrace Hopper\r\n");
    EXPECT_EQ(preferences.vocabularyEntries(), (QStringList{"Ada", "Grace Hopper"}));

    preferences.vocabulary = QString::fromUtf8("straße\nSTRASSE\nStrasse\nİstanbul\ni\u0307stanbul\ncafé\ncafe\nＡＢＣ\nabc");
    EXPECT_EQ(preferences.vocabularyEntries(),
              (QStringList{QString::fromUtf8("straße"), QString::fromUtf8("İstanbul"), QStringLiteral("café"),
                           QStringLiteral("cafe"), QString::fromUtf8("ＡＢＣ"), QStringLiteral("abc")}));

    // Every line break splits; non-breaking spaces and tabs trim; interior spaces stay.
    preferences.vocabulary = QString::fromUtf8("a\u000Bb\u000Cc\u0085d\u2028e\u2029f\n\t\u00A0New   York\u3000 ");
    EXPECT_EQ(preferences.vocabularyEntries(), (QStringList{"a", "b", "c", "d", "e", "f", "New   York"}));
}

TEST(VocabularyTest, ContextWordsAreTheFirstHundred)
{
    Preferences preferences;
    preferences.vocabulary = numberedLines(1, 150);
    const QStringList words = preferences.contextWords();
    ASSERT_EQ(words.size(), 100);
    EXPECT_EQ(words.first(), QStringLiteral("word1"));
    EXPECT_EQ(words.last(), QStringLiteral("word100"));
    preferences.vocabulary = QStringLiteral("one\ntwo");
    EXPECT_EQ(preferences.contextWords(), (QStringList{"one", "two"}));
}

TEST(VocabularyTest, ImportIsAllOrNothingAgainstTheLimit)
{
    Preferences preferences;
    preferences.vocabulary = numberedLines(1, 98);
    const QString before = preferences.vocabulary;
    WordList::ImportError error;

    EXPECT_FALSE(preferences.importVocabulary(QStringLiteral("x,y,z,WORD1,x"), &error));
    EXPECT_EQ(error, WordList::ImportError::overLimit(3, 2));
    EXPECT_EQ(error.description(), QStringLiteral("This file has 3 new entries, and 2 will fit. Shorten the list "
                                                  "or remove entries from your vocabulary."));
    EXPECT_EQ(preferences.vocabulary, before);

    EXPECT_EQ(preferences.importVocabulary(QStringLiteral("x;y;word2"), &error), 2);
    EXPECT_EQ(preferences.vocabulary, before + QStringLiteral("\nx\ny"));
    EXPECT_EQ(preferences.vocabularyEntries().size(), 100);

    Preferences crowded;
    crowded.vocabulary = numberedLines(1, 120);
    EXPECT_FALSE(crowded.importVocabulary(QStringLiteral("new"), &error));
    EXPECT_EQ(error, WordList::ImportError::overLimit(1, 0));
}

TEST(VocabularyTest, ImportMergesWithoutRepeatsOrStrayLineBreaks)
{
    Preferences preferences;
    WordList::ImportError error;
    EXPECT_EQ(preferences.importVocabulary(QStringLiteral("Ada, \"Hopper, Grace\"\nada"), &error), 2);
    EXPECT_EQ(preferences.vocabulary, QStringLiteral("Ada\nHopper, Grace"));

    // Everything already present (under case folding): 0 and no change at all.
    EXPECT_EQ(preferences.importVocabulary(QStringLiteral("ADA\n\"HOPPER, GRACE\""), &error), 0);
    EXPECT_EQ(preferences.vocabulary, QStringLiteral("Ada\nHopper, Grace"));

    preferences.vocabulary = QStringLiteral("Ada\r\n");
    EXPECT_EQ(preferences.importVocabulary(QStringLiteral("Lovelace"), &error), 1);
    EXPECT_EQ(preferences.vocabulary, QStringLiteral("Ada\r\nLovelace"));
}

TEST(VocabularyTest, FailedImportsLeaveTheVocabularyUntouched)
{
    Preferences preferences;
    preferences.vocabulary = QStringLiteral("Ada");
    WordList::ImportError error = WordList::ImportError::overLimit(9, 9);

    EXPECT_FALSE(preferences.importVocabulary(QStringLiteral(" , ;\n\n\t "), &error));
    EXPECT_EQ(error, WordList::ImportError::empty());
    EXPECT_EQ(error.description(), QStringLiteral("This file doesn\u2019t contain any words or phrases."));

    EXPECT_FALSE(preferences.importVocabulary(QStringLiteral("Grace\n\"Hopper"), &error));
    EXPECT_EQ(error, WordList::ImportError::invalidQuotes());
    EXPECT_EQ(preferences.vocabulary, QStringLiteral("Ada"));
}
