#include "TranscribeCommand.h"

#include <gtest/gtest.h>

using namespace talvex;

namespace {

QString problemOf(const QStringList &arguments)
{
    auto parsed = TranscribeCommand::parse(arguments);
    const auto *problem = std::get_if<QString>(&parsed);
    return problem ? *problem : QString();
}

} // namespace

TEST(TranscribeCommandTest, ParsesOptionsAndFiles)
{
    auto parsed =
        TranscribeCommand::parse({"--partials", "a.wav", "--locale", "en_GB", "--vocabulary", "words.txt",
                                  "--library", "Library.json", "--realtime", "--", "--odd.wav"});
    ASSERT_TRUE(std::holds_alternative<TranscribeCommand::Options>(parsed));
    const auto &options = std::get<TranscribeCommand::Options>(parsed);
    EXPECT_EQ(options.files, (QStringList{"a.wav", "--odd.wav"}));
    EXPECT_TRUE(options.partials);
    EXPECT_TRUE(options.realTime);
    EXPECT_EQ(options.locale, "en_GB");
    EXPECT_EQ(options.vocabularyFile, "words.txt");
    EXPECT_EQ(options.libraryFile, "Library.json");

    const auto defaults = std::get<TranscribeCommand::Options>(TranscribeCommand::parse({"b.wav"}));
    EXPECT_EQ(defaults.locale, "en-US");
    EXPECT_FALSE(defaults.partials);

    EXPECT_EQ(problemOf({}), "Name at least one audio file.");
    EXPECT_EQ(problemOf({"--locale"}), "--locale needs a value.");
    EXPECT_EQ(problemOf({"--fast", "a.wav"}), "Unknown option --fast.");
}
