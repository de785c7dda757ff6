#include "FeedCheck.h"
#include "ReleaseFeed.h"
#include "ReleaseVersion.h"
#include "TestSigner.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <gtest/gtest.h>

namespace talvex::update {
namespace {

using test::TestSigner;

const QDateTime now = QDateTime::fromString(QStringLiteral("2025-06-01T12:00:00Z"), Qt::ISODate);

QJsonObject validFeed(const QString &version = QStringLiteral("0.2.0"))
{
    return QJsonObject{
        {QStringLiteral("version"), version},
        {QStringLiteral("date"), QStringLiteral("2025-05-30T09:00:00Z")},
        {QStringLiteral("expires"), QStringLiteral("2025-07-01T00:00:00Z")},
        {QStringLiteral("releasePage"), QStringLiteral("https://talvex.example.com/releases/0.2.0")},
        {QStringLiteral("archive"),
         QJsonObject{
             {QStringLiteral("url"), QStringLiteral("https://talvex.example.com/talvex-0.2.0.tar.gz")},
             {QStringLiteral("size"), 123456},
             {QStringLiteral("sha256"), QString(64, QLatin1Char('a'))}}},
    };
}

QByteArray bytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

ReleaseVersion version(const char *text)
{
    return *ReleaseVersion::parse(QString::fromLatin1(text));
}

TEST(ReleaseVersionTest, OnlyDottedDecimalsAreReleaseNumbersAndTheyCompareNumerically)
{
    for (const char *bad :
         {"", "1.", ".1", "1..2", "v1.2", "1.2-rc1", "1.2.3.4.5", "+1", "1 .2", "1234567", "٣.١"})
        EXPECT_FALSE(ReleaseVersion::parse(QString::fromUtf8(bad))) << bad;

    struct Order {
        const char *a, *b;
        int expected;
    };
    for (const Order &o : std::vector<Order>{{"0.2.0", "0.10.0", -1},
                                             {"1.2", "1.2.0", 0},
                                             {"1.2.0.1", "1.2", 1},
                                             {"2", "1.99.99", 1},
                                             {"0.1.0", "0.1.0", 0},
                                             {"010.0", "9.0", 1}}) {
        EXPECT_EQ(version(o.a).compare(version(o.b)), o.expected) << o.a << " vs " << o.b;
        EXPECT_EQ(version(o.b).compare(version(o.a)), -o.expected) << o.b << " vs " << o.a;
    }
}

TEST(ReleaseFeedTest, AWholeFeedParsesWithItsArchive)
{
    const auto parsed = ReleaseFeed::parse(bytes(validFeed()));
    ASSERT_TRUE(std::holds_alternative<ReleaseFeed>(parsed)) << std::get<QString>(parsed).toStdString();
    const ReleaseFeed &feed = std::get<ReleaseFeed>(parsed);
    EXPECT_EQ(feed.version.text(), QStringLiteral("0.2.0"));
    EXPECT_EQ(feed.archiveSize, 123456);
    EXPECT_EQ(feed.archiveSha256, QByteArray(32, char(0xaa)));
    EXPECT_EQ(feed.expires.toUTC(),
              QDateTime::fromString(QStringLiteral("2025-07-01T00:00:00Z"), Qt::ISODate));
    EXPECT_EQ(feed.archiveUrl.host(), QStringLiteral("talvex.example.com"));
}

TEST(ReleaseFeedTest, EveryFieldIsRequiredAndCheckedBeforeAnythingIsFetched)
{
    using Change = std::function<void(QJsonObject &, QJsonObject &)>;
    auto set = [](const char *key, QJsonValue value) -> Change {
        return [key, value](QJsonObject &root, QJsonObject &) { root[QLatin1String(key)] = value; };
    };
    auto setArchive = [](const char *key, QJsonValue value) -> Change {
        return [key, value](QJsonObject &, QJsonObject &archive) { archive[QLatin1String(key)] = value; };
    };
    auto drop = [](const char *key) -> Change {
        return [key](QJsonObject &root, QJsonObject &) { root.remove(QLatin1String(key)); };
    };
    struct Case {
        const char *name;
        Change change;
        const char *complaint;
    };
    const std::vector<Case> cases = {
        {"no version", drop("version"), "version"},
        {"version with a suffix", set("version", QStringLiteral("0.2.0-beta")), "version"},
        {"version as a number", set("version", 2), "version"},
        {"no expiry", drop("expires"), "expiry"},
        {"date that is not a time", set("date", QStringLiteral("yesterday")), "date"},
        {"expires before its date", set("expires", QStringLiteral("2025-05-01T00:00:00Z")), "expires before"},
        {"page over plain HTTP", set("releasePage", QStringLiteral("http://talvex.example.com/")),
         "release page"},
        {"archive over plain HTTP", setArchive("url", QStringLiteral("http://talvex.example.com/a.tar.gz")),
         "archive address"},
        {"archive URL with credentials",
         setArchive("url", QStringLiteral("https://u:p@talvex.example.com/a")), "archive address"},
        {"archive as a file", setArchive("url", QStringLiteral("file:///tmp/a.tar.gz")), "archive address"},
        {"zero size", setArchive("size", 0), "size"},
        {"fractional size", setArchive("size", 12.5), "size"},
        {"size as text", setArchive("size", QStringLiteral("123")), "size"},
        {"size above the limit", setArchive("size", double(ReleaseFeed::maxArchiveSize) + 1), "size"},
        {"short checksum", setArchive("sha256", QString(63, QLatin1Char('a'))), "checksum"},
        {"checksum that is not hex", setArchive("sha256", QString(64, QLatin1Char('g'))), "checksum"},
        {"no archive", drop("archive"), "archive address"},
    };
    for (const Case &c : cases) {
        QJsonObject root = validFeed();
        QJsonObject archive = root.value(QLatin1String("archive")).toObject();
        c.change(root, archive);
        if (root.contains(QLatin1String("archive")))
            root[QLatin1String("archive")] = archive;
        const auto parsed = ReleaseFeed::parse(bytes(root));
        ASSERT_TRUE(std::holds_alternative<QString>(parsed)) << c.name;
        const QString problem = std::get<QString>(parsed);
        EXPECT_TRUE(problem.startsWith(QStringLiteral("The update feed is not usable: "))) << c.name;
        EXPECT_TRUE(problem.contains(QLatin1String(c.complaint))) << c.name << ": " << problem.toStdString();
    }
    for (const QByteArray &notJson :
         {QByteArray(), QByteArray("[]"), QByteArray("{\"version\":"), QByteArray("\xff\xfe")})
        EXPECT_TRUE(std::holds_alternative<QString>(ReleaseFeed::parse(notJson)));
}

TEST(FeedVerdictTest, TheSignatureIsCheckedOverTheExactBytesBeforeTheFeedIsBelieved)
{
    const TestSigner signer = TestSigner::testKey();
    const FeedSignature key(signer.publicKey());
    ASSERT_TRUE(key.isValid());
    const QByteArray feed = bytes(validFeed());
    const QByteArray signature = signer.sign(feed);
    QByteArray tampered = feed;
    tampered.replace("0.2.0", "9.2.0");
    QByteArray reformatted = QJsonDocument(validFeed()).toJson(QJsonDocument::Compact);
    QByteArray flipped = QByteArray::fromBase64(signature);
    flipped[5] = char(flipped[5] ^ 1);

    struct Case {
        const char *name;
        QByteArray feed, signature;
        bool trusted;
    };
    const std::vector<Case> cases = {
        {"signed", feed, signature, true},
        {"signed, without the newline", feed, signature.trimmed(), true},
        {"a changed version", tampered, signature, false},
        {"the same feed formatted differently", reformatted, signature, false},
        {"one bit of the signature flipped", feed, flipped.toBase64(), false},
        {"signed by another key", feed, TestSigner::fresh().sign(feed), false},
        {"empty signature", feed, QByteArray(), false},
        {"signature not in base64", feed, QByteArray(88, '!'), false},
        {"raw signature bytes", feed, QByteArray::fromBase64(signature), false},
        {"signature of the empty feed", QByteArray(), signer.sign(QByteArray()), false},
    };
    for (const Case &c : cases) {
        const FeedVerdict verdict = judgeFeed(c.feed, c.signature, key, version("0.1.0"), now);
        EXPECT_EQ(verdict.kind != FeedVerdict::Kind::refused, c.trusted)
            << c.name << ": " << verdict.message.toStdString();
        if (!c.trusted && c.feed == feed) {
            EXPECT_EQ(verdict.message,
                      QStringLiteral("The update feed is not signed with Talvex’s release key, so "
                                     "Talvex ignored it."))
                << c.name;
        }
    }
    EXPECT_FALSE(FeedSignature(QByteArray("not a key")).isValid());
    EXPECT_FALSE(FeedSignature(QByteArray()).verifies(feed, signature));
}

TEST(FeedVerdictTest, TrustedFeedsAreJudgedByExpiryAndNeverLeadBackwards)
{
    const TestSigner signer = TestSigner::testKey();
    const FeedSignature key(signer.publicKey());
    struct Case {
        const char *name;
        const char *offered;
        const char *running;
        QDateTime at;
        FeedVerdict::Kind kind;
        QString message;
    };
    const QDateTime expiry = QDateTime::fromString(QStringLiteral("2025-07-01T00:00:00Z"), Qt::ISODate);
    const std::vector<Case> cases = {
        {"newer", "0.2.0", "0.1.0", now, FeedVerdict::Kind::newer,
         QStringLiteral("Talvex 0.2.0 is available; you have 0.1.0.")},
        {"same", "0.2.0", "0.2.0", now, FeedVerdict::Kind::upToDate,
         QStringLiteral("Talvex 0.2.0 is the newest version.")},
        {"same written shorter", "0.2", "0.2.0", now, FeedVerdict::Kind::upToDate,
         QStringLiteral("Talvex 0.2.0 is the newest version.")},
        {"older", "0.1.9", "0.2.0", now, FeedVerdict::Kind::refused,
         QStringLiteral(
             "The update feed offers Talvex 0.1.9, older than this Talvex 0.2.0, so Talvex ignored it.")},
        {"expired", "0.2.0", "0.1.0", expiry.addSecs(1), FeedVerdict::Kind::refused,
         QStringLiteral("The update feed expired on 2025-07-01T00:00:00Z, so Talvex ignored it.")},
        {"expiring this instant", "0.2.0", "0.1.0", expiry, FeedVerdict::Kind::refused,
         QStringLiteral("The update feed expired on 2025-07-01T00:00:00Z, so Talvex ignored it.")},
        {"expired and older: expiry first", "0.0.1", "0.1.0", expiry.addDays(30), FeedVerdict::Kind::refused,
         QStringLiteral("The update feed expired on 2025-07-01T00:00:00Z, so Talvex ignored it.")},
    };
    for (const Case &c : cases) {
        const QByteArray feed = bytes(validFeed(QString::fromLatin1(c.offered)));
        const FeedVerdict verdict = judgeFeed(feed, signer.sign(feed), key, version(c.running), c.at);
        EXPECT_EQ(verdict.kind, c.kind) << c.name;
        EXPECT_EQ(verdict.message, c.message) << c.name;
        EXPECT_EQ(verdict.feed.has_value(), c.kind != FeedVerdict::Kind::refused) << c.name;
    }
}

TEST(FeedVerdictTest, OnlyHttpsOrLoopbackHttpAddressesAreUsed)
{
    const std::vector<std::pair<const char *, bool>> cases = {
        {"https://talvex.example.com/feed.json", true},
        {"http://127.0.0.1:8080/feed.json", true},
        {"http://[::1]:8080/feed.json", true},
        {"http://localhost/feed.json", true},
        {"http://talvex.example.com/feed.json", false},
        {"http://127.0.0.1.example.com/feed.json", false},
        {"ftp://talvex.example.com/feed.json", false},
        {"file:///etc/passwd", false},
        {"https:///feed.json", false},
        {"https://user@talvex.example.com/feed.json", false},
    };
    for (const auto &[url, allowed] : cases)
        EXPECT_EQ(isAllowedUpdateUrl(QUrl(QString::fromLatin1(url))), allowed) << url;
    EXPECT_EQ(signatureUrl(QUrl(QStringLiteral("https://h/r/feed.json?x=1"))),
              QUrl(QStringLiteral("https://h/r/feed.json.sig?x=1")));
}

} // namespace
} // namespace talvex::update
