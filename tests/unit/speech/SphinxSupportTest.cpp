// The pure parts of the recogniser backend: locale equivalence, pronunciations, model files.
#include "AwaitTask.h"
#include "FlitePronouncer.h"
#include "LocaleMatch.h"
#include "PlatformError.h"
#include "SphinxSpeechService.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace talvex;

TEST(LocaleMatchTest, FindsTheEquivalentSupportedLocale)
{
    const QStringList supported{"en-US", "de-DE", "de-AT"};
    EXPECT_EQ(equivalentLocale("en-US", supported), "en-US");
    EXPECT_EQ(equivalentLocale("en_US.UTF-8", supported), "en-US");
    EXPECT_EQ(equivalentLocale("EN-us", supported), "en-US");
    EXPECT_EQ(equivalentLocale("en", supported), "en-US");
    EXPECT_EQ(equivalentLocale("en-GB", supported), "en-US"); // same language, other region
    EXPECT_EQ(equivalentLocale("de_AT@euro", supported), "de-AT");
    EXPECT_EQ(equivalentLocale("de-Latn-AT", supported), "de-AT"); // a script subtag is not a region
    EXPECT_EQ(equivalentLocale("fr-FR", supported), std::nullopt);
    EXPECT_EQ(equivalentLocale("", supported), std::nullopt);
    EXPECT_EQ(equivalentLocale("C", supported), std::nullopt);
    EXPECT_EQ(canonicalLocale("en-us"), "en-US");
}

TEST(FlitePronouncerTest, GivesModelPhonesForKnownAndInventedWords)
{
    EXPECT_EQ(FlitePronouncer::pronounce("hello"), "HH AH L OW");
    const auto invented = FlitePronouncer::pronounce("Talvex"); // from the letter-to-sound rules
    ASSERT_TRUE(invented);
    EXPECT_TRUE(invented->startsWith("T AE L V")) << invented->toStdString();
    for (const auto &phone : invented->split(' '))
        EXPECT_TRUE(phone.size() <= 2 && phone == phone.toUpper() && !phone.back().isDigit())
            << phone.toStdString();
    EXPECT_FALSE(FlitePronouncer::pronounce("R2D2"));
    EXPECT_FALSE(FlitePronouncer::pronounce(""));
    EXPECT_FALSE(FlitePronouncer::pronounce(QString::fromUtf8("naïve")));
}

TEST(SphinxSpeechServiceTest, MissingModelNamesThePackageToInstall)
{
    QTemporaryDir empty;
    SphinxSpeechService service(empty.path());
    EXPECT_TRUE(talvex::test::awaitTask(service.supportedLocales()).isEmpty());
    // The packaged locale is still recognised, so preparing it can say what to install.
    const auto locale = talvex::test::awaitTask(service.supportedLocale("en_US"));
    ASSERT_EQ(locale, "en-US");
    auto module = service.makeTranscriber(*locale);
    EXPECT_EQ(talvex::test::awaitTask(service.assetStatus(module)), AssetStatus::supported);
    auto request = talvex::test::awaitTask(service.assetInstallationRequest(module));
    ASSERT_TRUE(request);
    try {
        talvex::test::awaitTask(request->downloadAndInstall());
        ADD_FAILURE() << "loading a missing model should fail";
    } catch (const PlatformError &e) {
        EXPECT_EQ(e.description(),
                  "The speech model for en-US is not installed. Install the package pocketsphinx-en-us.");
    }
    EXPECT_EQ(talvex::test::awaitTask(service.supportedLocale("fr-FR")), std::nullopt);
    // An analyzer without a model fails when asked to run, with the same sentence.
    auto analyzer = service.makeAnalyzer(module);
    EXPECT_THROW(talvex::test::awaitTask(analyzer->start(std::make_shared<AnalyzerInputStream>(4))),
                 PlatformError);
}
