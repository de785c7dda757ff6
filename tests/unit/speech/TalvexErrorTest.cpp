#include "speech/TalvexError.h"

#include <gtest/gtest.h>

using namespace talvex;

TEST(TalvexErrorTest, CasesKeepTheirOrdinalsAndSentences)
{
    EXPECT_EQ(static_cast<int>(TalvexError::backupVersion), 0);
    EXPECT_EQ(static_cast<int>(TalvexError::audioOverrun), 7);
    EXPECT_EQ(errorDescription(TalvexError::microphone),
              QString::fromUtf8("Allow Talvex in Settings \u2192 Privacy & Security \u2192 Microphone to dictate."));
    EXPECT_EQ(errorDescription(TalvexError::noSpeech), "Speech recognition did not detect any words.");
    for (int i = 0; i <= 7; ++i) {
        const auto error = static_cast<TalvexError>(i);
        EXPECT_FALSE(errorDescription(error).isEmpty());
        EXPECT_FALSE(failureReason(error).has_value());
        EXPECT_FALSE(recoverySuggestion(error).has_value());
    }
}
