#include "speech/LocalModels.h"

#include "AwaitTask.h"
#include "PlatformError.h"
#include "SpeechServiceDouble.h"
#include "speech/TalvexError.h"

#include <QCoro/QCoroTask>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::LocalModels;
using talvex::test::SpeechServiceDouble;
using talvex::test::TranscriberDouble;

namespace {

template <typename T> std::optional<TalvexError> talvexFailure(QCoro::Task<T> task)
{
    try {
        talvex::test::awaitTask(std::move(task));
    } catch (const TalvexException &e) {
        return e.error();
    }
    return std::nullopt;
}

// Runs collect over `results` and returns the transcript with every text passed to update.
std::pair<QString, QStringList> collectAll(const std::vector<SpeechResult> &results, bool withUpdate = true)
{
    auto module = std::make_shared<TranscriberDouble>("en-US");
    for (const auto &result : results)
        module->channel->push(result);
    module->channel->finish();
    QStringList updates;
    TextUpdate update;
    if (withUpdate)
        update = [&updates](QString text) -> QCoro::Task<> {
            updates << text;
            co_return;
        };
    const QString transcript = talvex::test::awaitTask(collect(module, update));
    return {transcript, updates};
}

} // namespace

TEST(LocalModelsJoinTest, SpaceOnlyWhereTheSeamNeedsOne)
{
    EXPECT_EQ(join("Hello", "world"), "Hello world");
    EXPECT_EQ(join("Hello", ", world"), "Hello, world");
    EXPECT_EQ(join("Hello ", "world"), "Hello world");
    EXPECT_EQ(join("Hello", " world"), "Hello world");
    EXPECT_EQ(join("Hello", "\nworld"), "Hello\nworld");
    EXPECT_EQ(join("", "world"), "world");
    EXPECT_EQ(join("Hello", ""), "Hello");
    for (const char16_t *mark :
         {u",", u".", u"!", u"?", u";", u":", u"\u3002", u"\uFF01", u"\uFF1F", u"\u3001"})
        EXPECT_EQ(join("a", QString::fromUtf16(mark) + "b"), "a" + QString::fromUtf16(mark) + "b");
    EXPECT_EQ(join(QString::fromUtf8("你好"), QString::fromUtf8("。")), QString::fromUtf8("你好。"));
    EXPECT_EQ(join("Hello", "-world"), "Hello -world");
    // A no-break space and an ideographic space are whitespace too.
    EXPECT_EQ(join(QString::fromUtf8("a\u00A0"), "b"), QString::fromUtf8("a\u00A0b"));
    EXPECT_EQ(join("a", QString::fromUtf8("\u3000b")), QString::fromUtf8("a\u3000b"));
    // Whole characters: a comma carrying a combining mark is not the plain comma.
    EXPECT_EQ(join("a", QString::fromUtf8(",\u0301b")), QString::fromUtf8("a ,\u0301b"));
    // A line break as CR LF is one character, and whitespace.
    EXPECT_EQ(join("a\r\n", "b"), "a\r\nb");
}

TEST(LocalModelsJoinTest, TrimRemovesUnicodeWhitespaceAtBothEnds)
{
    EXPECT_EQ(trimmed("  Hello world \n"), "Hello world");
    EXPECT_EQ(trimmed(QString::fromUtf8("\u3000\u00A0Hi\u2029")), "Hi");
    EXPECT_EQ(trimmed(" \t\r\n"), "");
    EXPECT_EQ(trimmed("a  b"), "a  b");
}

TEST(LocalModelsCollectTest, FinalsJoinAndVolatilesShowAfterThem)
{
    auto [transcript, updates] = collectAll({{"Hello", true}, {"wor", false}, {"world", true}});
    EXPECT_EQ(transcript, "Hello world");
    EXPECT_EQ(updates, (QStringList{"Hello", "Hello wor", "Hello world"}));

    auto [volatileOnly, seen] = collectAll({{"Hel", false}, {"Hello", false}});
    EXPECT_EQ(volatileOnly, "");
    EXPECT_EQ(seen, (QStringList{"Hel", "Hello"}));

    auto [withEmpty, emptySeen] = collectAll({{"Hello", true}, {"", true}});
    EXPECT_EQ(withEmpty, "Hello");
    EXPECT_EQ(emptySeen, (QStringList{"Hello", "Hello"}));

    auto [padded, paddedSeen] = collectAll({{"  Hello world \n", true}});
    EXPECT_EQ(padded, "Hello world");
    EXPECT_EQ(paddedSeen, QStringList{"  Hello world \n"}); // updates are not trimmed

    EXPECT_EQ(collectAll({{"a", true}, {"b", true}}, false).first, "a b");
}

TEST(LocalModelsCollectTest, FailingResultsDiscardTheText)
{
    auto module = std::make_shared<TranscriberDouble>("en-US");
    module->channel->push({"Hello", true});
    module->channel->finish(std::make_exception_ptr(PlatformError("recogniser crashed")));
    try {
        talvex::test::awaitTask(collect(module, {}));
        ADD_FAILURE() << "collect should fail";
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.description(), "recogniser crashed");
    }
}

TEST(LocalModelsPrepareTest, ChecksInOrderAndInstallsOnlyWhenNeeded)
{
    SpeechServiceDouble service;
    service.available = false;
    EXPECT_EQ(talvexFailure(prepareSpeech(service, "en_US")), TalvexError::speechUnavailable);
    EXPECT_TRUE(service.calls.isEmpty());

    service.available = true;
    EXPECT_EQ(talvexFailure(prepareSpeech(service, "fr-FR")), TalvexError::unsupportedLocale);
    EXPECT_EQ(service.calls, QStringList{"supportedLocale fr-FR"});

    service.calls.clear();
    EXPECT_EQ(talvex::test::awaitTask(prepareSpeech(service, "en_us")), "en-US");
    EXPECT_EQ(service.calls, (QStringList{"supportedLocale en_us", "makeTranscriber en-US", "assetStatus",
                                          "assetInstallationRequest", "downloadAndInstall"}));

    service.calls.clear(); // now installed: reused, nothing loads again
    EXPECT_EQ(talvex::test::awaitTask(prepareSpeech(service, "en-US")), "en-US");
    EXPECT_EQ(service.calls, (QStringList{"supportedLocale en-US", "makeTranscriber en-US", "assetStatus"}));

    service.status = AssetStatus::downloading; // only "installed" skips; no request means nothing to do
    service.offersInstallation = false;
    EXPECT_EQ(talvex::test::awaitTask(prepareSpeech(service, "en-US")), "en-US");

    service.offersInstallation = true;
    service.installError = QStringLiteral("Install the package pocketsphinx-en-us.");
    try {
        talvex::test::awaitTask(prepareSpeech(service, "en-US"));
        ADD_FAILURE() << "preparation should fail";
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.description(), "Install the package pocketsphinx-en-us.");
    }
}
