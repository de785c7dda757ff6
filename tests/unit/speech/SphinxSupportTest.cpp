// The pure parts of the recogniser backend: locale equivalence, pronunciations, model files, the
// search width setting, the kept normalisation and the quiet left undecoded at the end.
#include "AwaitTask.h"
#include "CepstralMeanFile.h"
#include "FlitePronouncer.h"
#include "LocaleMatch.h"
#include "PlatformError.h"
#include "SphinxSearch.h"
#include "SphinxSpeechService.h"
#include "TrailingQuiet.h"

#include <QDir>
#include <QFile>
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

TEST(SphinxSearchTest, WidthComesFromTheDeploymentSetting)
{
    struct Case {
        const char *value; // TALVEX_SPHINX_SEARCH; null = unset
        SphinxSearch search;
        bool complaint;
    };
    const std::vector<Case> cases{
        {nullptr, SphinxSearch::fast, false},
        {"", SphinxSearch::fast, false},
        {"fast", SphinxSearch::fast, false},
        {"accurate", SphinxSearch::accurate, false},
        {" Accurate\n", SphinxSearch::accurate, false},
        {"wide", SphinxSearch::fast, true},
        {"accurate,fast", SphinxSearch::fast, true},
    };
    const QByteArray saved = qgetenv("TALVEX_SPHINX_SEARCH");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        if (c.value)
            qputenv("TALVEX_SPHINX_SEARCH", c.value);
        else
            qunsetenv("TALVEX_SPHINX_SEARCH");
        QString problem;
        EXPECT_EQ(sphinxSearchFromEnvironment(&problem), c.search);
        EXPECT_EQ(!problem.isEmpty(), c.complaint) << problem.toStdString();
        if (c.complaint) {
            EXPECT_TRUE(problem.contains("fast or accurate")) << problem.toStdString();
        }
    }
    qputenv("TALVEX_SPHINX_SEARCH", saved);
}

// Only audio that arrives while it is decoded is normalised by a running mean; a complete recording
// keeps the model's own per-utterance normalisation. Live audio gets the second pass, which it would
// wait for at the release, only at the accurate width; a complete recording always gets it.
TEST(SphinxSearchTest, DecoderArgumentsFollowWidthAndNormalisation)
{
    auto valueOf = [](const QStringList &arguments, const QString &flag) {
        const qsizetype at = arguments.indexOf(flag);
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    };
    for (const auto search : {SphinxSearch::fast, SphinxSearch::accurate}) {
        const QStringList live = sphinxDecoderArguments(search, SphinxNormalisation::live);
        const QStringList whole = sphinxDecoderArguments(search, SphinxNormalisation::whole);
        EXPECT_EQ(valueOf(live, "-cmn"), "live");
        EXPECT_EQ(valueOf(whole, "-cmn"), QString());
        EXPECT_EQ(live.size() % 2, 0) << "flags and values come in pairs";
        EXPECT_EQ(valueOf(live, "-pl_window"), "0") << "no lookahead lag at the end of live audio";
        EXPECT_EQ(valueOf(whole, "-pl_window"), QString());
        EXPECT_EQ(valueOf(live, "-fwdflat"), search == SphinxSearch::accurate ? "yes" : "no");
        EXPECT_EQ(valueOf(whole, "-fwdflat"), "yes");
        EXPECT_EQ(valueOf(live, "-bestpath"), "yes");
        for (const QStringList &arguments : {live, whole})
            EXPECT_EQ(valueOf(arguments, "-min_endfr"), QString()) << "lattices keep single-frame word ends";
        if (search == SphinxSearch::fast) {
            for (const QString bound : {"-maxhmmpf", "-wbeam", "-pbeam"}) {
                EXPECT_EQ(valueOf(whole, bound), QString()) << "recordings decode as batch decoding does";
                EXPECT_FALSE(valueOf(live, bound).isEmpty()) << "the fast live search is bounded";
            }
        }
        EXPECT_EQ(valueOf(live, "-maxhmmpf").isEmpty(), search == SphinxSearch::accurate)
            << "the accurate width keeps every state its wide beams allow";
        EXPECT_EQ(valueOf(whole, "-maxhmmpf"), QString()) << "recordings are never capped";
    }
    const QStringList accurate = sphinxDecoderArguments(SphinxSearch::accurate, SphinxNormalisation::whole);
    for (const QString beam : {"-beam", "-wbeam", "-pbeam", "-lpbeam", "-lponlybeam"}) {
        SCOPED_TRACE(beam.toStdString());
        // The model's own beams (the recogniser's defaults) are 1e-48, 7e-29, 1e-48, 1e-40, 7e-29.
        bool ok = false;
        const double value = valueOf(accurate, beam).toDouble(&ok);
        ASSERT_TRUE(ok);
        EXPECT_LT(value, beam == "-wbeam" || beam == "-lponlybeam" ? 7e-29
                         : beam == "-lpbeam"                       ? 1e-40
                                                                   : 1e-48);
    }
}

TEST(CepstralMeanFileTest, DecodesOnlyAWellFormedMeanOfTheRightSize)
{
    const std::vector<float> mean{53.25f, -4.5f, 0.125f};
    EXPECT_EQ(CepstralMeanFile::decode(CepstralMeanFile::encode(mean), 3), mean);
    struct Case {
        const char *text;
        std::optional<std::vector<float>> mean;
    };
    const std::vector<Case> cases{
        {"1 2 3\n", std::vector<float>{1, 2, 3}},
        {"# comment\n\n  1\t2   3  \n# trailing comment\n", std::vector<float>{1, 2, 3}},
        {"1 2\n", std::nullopt},            // too few
        {"1 2 3 4\n", std::nullopt},        // too many
        {"1 2\n3\n", std::nullopt},         // numbers on two lines
        {"1 x 3\n", std::nullopt},          // not a number
        {"1 nan 3\n", std::nullopt},        // not finite
        {"1 inf 3\n", std::nullopt},        // not finite
        {"1 2 3e9\n", std::nullopt},        // no cepstrum is that large
        {"", std::nullopt},                 // empty
        {"\xff\xfe\x00\x01", std::nullopt}, // binary
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CepstralMeanFile::decode(QByteArray(c.text), 3), c.mean);
    }
    EXPECT_EQ(CepstralMeanFile::decode("1 2 3\n", 0), std::nullopt);
}

TEST(CepstralMeanFileTest, WritesInOneStepAndKeepsTheOldFileWhenItCannot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cache/Talvex/speech-en-US.mean"); // folders made on the way
    ASSERT_TRUE(CepstralMeanFile::write(path, {1.5f, 2.5f}));
    ASSERT_TRUE(CepstralMeanFile::write(path, {3.5f, 4.5f}));
    EXPECT_EQ(CepstralMeanFile::read(path, 2), (std::vector<float>{3.5f, 4.5f}));
    EXPECT_EQ(QDir(dir.filePath("cache/Talvex")).entryList(QDir::Files), QStringList{"speech-en-US.mean"})
        << "no temporary file is left behind";
    EXPECT_EQ(CepstralMeanFile::read(dir.filePath("missing.mean"), 2), std::nullopt);

    // A folder that cannot be written (unless running as root, which may write anyway).
    QFile::setPermissions(dir.filePath("cache/Talvex"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!CepstralMeanFile::write(path, {5.5f, 6.5f})) {
        EXPECT_EQ(CepstralMeanFile::read(path, 2), (std::vector<float>{3.5f, 4.5f}));
    }
    QFile::setPermissions(dir.filePath("cache/Talvex"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

namespace {

// `ms` of a square wave at `amplitude` (0 = digital silence), 16 kHz.
std::vector<std::int16_t> tone(int ms, std::int16_t amplitude)
{
    std::vector<std::int16_t> samples(std::size_t(ms) * 16);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = (i / 20) % 2 ? amplitude : std::int16_t(-amplitude);
    return samples;
}

std::vector<std::int16_t> joined(std::initializer_list<std::vector<std::int16_t>> parts)
{
    std::vector<std::int16_t> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST(TrailingQuietTest, DecodesUpToTheKeptQuietAfterTheLastLoudFrame)
{
    constexpr std::size_t kept = 1600; // 100 ms
    struct Case {
        const char *what;
        std::vector<std::int16_t> fed, rest;
        std::size_t decoded;
    };
    const Case cases[]{
        {"speech then silence", tone(500, 8000), tone(400, 0), kept},
        {"quiet already fed counts", joined({tone(500, 8000), tone(60, 0)}), tone(400, 0), kept - 960},
        {"quiet long since", joined({tone(500, 8000), tone(300, 0)}), tone(400, 0), 0},
        {"speech ending inside the rest", tone(500, 8000), joined({tone(200, 6000), tone(400, 0)}),
         3200 + kept},
        {"louder speech in the rest sets the scale", tone(500, 40), joined({tone(200, 8000), tone(400, 40)}),
         3200 + kept},
        {"a faint tail within range stays", tone(500, 8000), joined({tone(200, 200), tone(400, 0)}), 3200 + kept},
        {"a noisy room keeps everything", tone(500, 8000), tone(400, 3000), 6400},
        {"nothing but digital silence", tone(500, 0), tone(400, 0), 0},
        {"a short rest is kept whole", tone(500, 8000), tone(30, 0), 480},
    };
    for (const auto &c : cases) {
        TrailingQuiet trailing(kept, 40.0);
        trailing.fed(c.fed);
        EXPECT_EQ(trailing.worthDecoding(c.rest), c.decoded) << c.what;
    }
}
