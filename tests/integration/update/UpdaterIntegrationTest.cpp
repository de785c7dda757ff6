// The updater against a release feed served on loopback inside the test: signed with the test key
// by scripts/sign-feed, installed into a user-folder installation in a temporary folder, refused in
// every way a feed or download can be wrong, and held back while a dictation runs.
#include "ControllerHarness.h"
#include "LinuxUpdater.h"
#include "LoopbackHttpServer.h"
#include "TalvexUpdates.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::update {
namespace {

using test::LoopbackHttpServer;

constexpr auto testKeyFolder = TALVEX_SOURCE_DIR "/tests/data/update-test-key";
constexpr auto signFeed = TALVEX_SOURCE_DIR "/scripts/sign-feed";

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
    return true;
}

// A stand-in talvex that answers --version as the real one does.
QByteArray fakeTalvex(const QString &version)
{
    return "#!/bin/sh\n[ \"$1\" = --version ] && echo \"Talvex " + version.toUtf8() + "\"\n";
}

/// Every file and link under `root` (relative path, size or link target): the state of the disk.
QStringList snapshot(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        entries << (info.isSymLink() ? relative + QStringLiteral(" -> ") + info.symLinkTarget()
                                     : relative + u' ' + QString::number(info.isDir() ? 0 : info.size()));
    }
    entries.sort();
    return entries;
}

struct Release {
    QString version = QStringLiteral("0.2.0");
    QDateTime date = QDateTime::currentDateTimeUtc().addDays(-1);
    QDateTime expires = QDateTime::currentDateTimeUtc().addDays(30);
    QByteArray archive;
};

class UpdaterIntegrationTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.filePath(QStringLiteral("opt/talvex"));
        const QString running = m_root + QStringLiteral("/versions/0.1.0/bin/talvex");
        ASSERT_TRUE(writeFile(running, fakeTalvex(QStringLiteral("0.1.0")), true));
        ASSERT_TRUE(QFile::link(QStringLiteral("versions/0.1.0"), m_root + QStringLiteral("/current")));
        m_installation =
            Installation::of(QFileInfo(running).canonicalFilePath(), QStringLiteral("/nonexistent"));
        ASSERT_EQ(m_installation.kind, Installation::Kind::userFolder);
        m_harness.make();
    }

    /// A release archive as the project publishes it: one folder with bin/talvex.
    QByteArray archive(const QString &talvexSays)
    {
        QTemporaryDir tree;
        const QString top = QStringLiteral("talvex-") + talvexSays.section(u' ', -1);
        writeFile(tree.filePath(top + QStringLiteral("/bin/talvex")),
                  fakeTalvex(talvexSays.section(u' ', -1)), true);
        writeFile(tree.filePath(top + QStringLiteral("/share/doc/README")), "Talvex\n");
        const QString path = m_dir.filePath(QStringLiteral("built.tar.gz"));
        // Fixed times and owners: the same release always packs to the same bytes, so a size worked
        // out from a second packing matches the one served (the clock's second once added a byte).
        EXPECT_TRUE(run(QStringLiteral("tar"),
                        {QStringLiteral("--mtime=@0"), QStringLiteral("--sort=name"), QStringLiteral("--owner=0"),
                         QStringLiteral("--group=0"), QStringLiteral("--numeric-owner"), QStringLiteral("-czf"),
                         path, QStringLiteral("-C"), tree.path(), top}));
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QByteArray feedFor(const Release &release, const QByteArray &announcedArchive)
    {
        const QJsonObject feed{
            {QStringLiteral("version"), release.version},
            {QStringLiteral("date"), release.date.toString(Qt::ISODate)},
            {QStringLiteral("expires"), release.expires.toString(Qt::ISODate)},
            {QStringLiteral("releasePage"),
             QStringLiteral("https://talvex.example.com/releases/") + release.version},
            {QStringLiteral("archive"),
             QJsonObject{
                 {QStringLiteral("url"),
                  m_server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/talvex.tar.gz")).toString()},
                 {QStringLiteral("size"), double(announcedArchive.size())},
                 {QStringLiteral("sha256"),
                  QString::fromLatin1(
                      QCryptographicHash::hash(announcedArchive, QCryptographicHash::Sha256).toHex())}}},
        };
        return QJsonDocument(feed).toJson();
    }

    /// The signature scripts/sign-feed writes for `feed` with `key` (the test key by default).
    QByteArray sign(const QByteArray &feed, QString key = {})
    {
        if (key.isEmpty())
            key = QString::fromLatin1(testKeyFolder) + QStringLiteral("/test-private-key.pem");
        const QString path = m_dir.filePath(QStringLiteral("feed.json"));
        writeFile(path, feed);
        EXPECT_TRUE(run(QString::fromLatin1(signFeed), {key, path}));
        QFile signature(path + QStringLiteral(".sig"));
        signature.open(QIODevice::ReadOnly);
        return signature.readAll();
    }

    /// Serves a signed feed for `release` and its archive; returns the feed.
    QByteArray publish(const Release &release)
    {
        const QByteArray bytes = release.archive.isEmpty()
                                     ? archive(QStringLiteral("Talvex ") + release.version)
                                     : release.archive;
        const QByteArray feed = feedFor(release, bytes);
        m_server.answer("/feed.json", 200, feed);
        m_server.answer("/feed.json.sig", 200, sign(feed));
        m_server.answer("/talvex.tar.gz", 200, bytes);
        return feed;
    }

    std::unique_ptr<LinuxUpdater> makeUpdater(Installation installation, QUrl feed = {},
                                              QString packageQuery = QStringLiteral("dpkg-query"))
    {
        UpdaterSettings settings;
        settings.feedUrl =
            feed.isEmpty() ? m_server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/feed.json")) : feed;
        QFile key(QString::fromLatin1(testKeyFolder) + QStringLiteral("/test-public-key.txt"));
        key.open(QIODevice::ReadOnly);
        settings.publicKey = key.readAll().trimmed();
        settings.runningVersion = QStringLiteral("0.1.0");
        settings.relaunchSettle = std::chrono::milliseconds(0);
        settings.firstCheckDelay = std::chrono::milliseconds(0);
        settings.packageQuery = packageQuery;
        auto updater = LinuxUpdater::create(
            installation, settings,
            std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("Talvex.conf")), QSettings::IniFormat));
        updater->setRelauncher([this](const QString &executable, const QStringList &arguments) {
            m_relaunches << executable + u' ' + arguments.mid(1).join(u' ');
            return QString();
        });
        return updater;
    }

    /// Starts the updater under TalvexUpdates, with the harness's controller as the dictation.
    std::unique_ptr<LinuxUpdater> startUpdater(Installation installation, QUrl feed = {},
                                               QString packageQuery = QStringLiteral("dpkg-query"))
    {
        auto updater = makeUpdater(std::move(installation), std::move(feed), packageQuery);
        m_updates = std::make_unique<TalvexUpdates>(updater.get());
        m_updates->start(&m_harness.controller());
        EXPECT_TRUE(QTest::qWaitFor([&] { return updater->kind() != LinuxUpdater::Kind::unknown; }, 20000));
        m_harness.drain();
        return updater;
    }

    /// The user's "Check for Updates…", awaited to its end.
    void checkByUser(LinuxUpdater &updater)
    {
        QSignalSpy finished(&updater, &LinuxUpdater::finished);
        m_updates->check();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(20000)) << "the check never ended";
    }
    void chooseAndWait(LinuxUpdater &updater, UpdatePrompt::Action action)
    {
        QSignalSpy finished(&updater, &LinuxUpdater::finished);
        updater.choose(action);
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000)) << "the install never ended";
    }

    QTemporaryDir m_dir;
    QString m_root;
    Installation m_installation;
    LoopbackHttpServer m_server;
    test::ControllerHarness m_harness;
    std::unique_ptr<TalvexUpdates> m_updates;
    QStringList m_relaunches;
};

TEST_F(UpdaterIntegrationTest, ANewerSignedReleaseIsOfferedInstalledBesideTheOldOneAndRelaunched)
{
    ASSERT_TRUE(writeFile(m_root + QStringLiteral("/versions/0.0.9/bin/talvex"),
                          fakeTalvex(QStringLiteral("0.0.9")), true));
    // Left by an install that was cut off: cleared by the next one.
    ASSERT_TRUE(writeFile(m_root + QStringLiteral("/.staging-cutoff/release-archive"), "half an archive"));
    // Moved on the same host: followed, and the signature is still read beside the address asked for.
    m_server.answer("/stable/feed.json", 200, publish({}));
    m_server.on(
        "/feed.json",
        {LoopbackHttpServer::Behaviour::Kind::answer,
         301,
         {},
         {{"Location",
           m_server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/stable/feed.json")).toEncoded()}}});
    auto updater = startUpdater(m_installation);
    EXPECT_TRUE(m_updates->canCheck());
    EXPECT_EQ(m_updates->automaticUpdatesNote(), QString()) << "a user folder can update itself";

    checkByUser(*updater);
    EXPECT_EQ(updater->prompt().message, QStringLiteral("Talvex 0.2.0 is available; you have 0.1.0."));
    EXPECT_TRUE(std::any_of(m_server.requests().begin(), m_server.requests().end(),
                            [](const auto &request) { return request.path == "/stable/feed.json"; }));
    EXPECT_EQ(updater->prompt().action, UpdatePrompt::Action::install);
    ASSERT_TRUE(updater->dialog());
    EXPECT_TRUE(updater->dialog()->isVisible());
    EXPECT_EQ(updater->dialog()->messageText(), updater->prompt().message);
    const auto buttons = updater->dialog()->findChildren<QPushButton *>();
    EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(), [](QPushButton *b) {
        return b->isVisible() && b->isDefault() &&
               b->accessibleName() == QStringLiteral("Install and Relaunch");
    }));
    EXPECT_TRUE(m_relaunches.isEmpty());

    chooseAndWait(*updater, UpdatePrompt::Action::install);
    EXPECT_EQ(
        updater->prompt().message,
        QStringLiteral("Talvex 0.2.0 is installed. Talvex relaunches into it when you are not dictating."));
    EXPECT_EQ(QFileInfo(m_root + QStringLiteral("/current")).symLinkTarget(),
              QFileInfo(m_root + QStringLiteral("/versions/0.2.0")).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(m_root + QStringLiteral("/current/bin/talvex")).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(m_root + QStringLiteral("/versions/0.1.0/bin/talvex")))
        << "the previous version stays";
    EXPECT_FALSE(QFileInfo::exists(m_root + QStringLiteral("/versions/0.0.9"))) << "older ones go";
    EXPECT_EQ(QDir(m_root).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("current"), QStringLiteral("versions")}))
        << "no staging left behind";

    // The switched link is noticed and, the dictation being idle, Talvex relaunches through it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_relaunches.isEmpty(); }, 20000));
    EXPECT_TRUE(m_relaunches.first().startsWith(m_root + QStringLiteral("/current/bin/talvex")));
}

class UpdaterRefusalTest : public UpdaterIntegrationTest {
  public:
    using UpdaterIntegrationTest::archive;
    using UpdaterIntegrationTest::feedFor;
    using UpdaterIntegrationTest::publish;
    using UpdaterIntegrationTest::sign;
    LoopbackHttpServer &server() { return m_server; }
    QString dir(const QString &name) { return m_dir.filePath(name); }
};

struct Refusal {
    const char *name;
    std::function<void(UpdaterRefusalTest &)> serve;
    const char *message;
    bool duringInstall = false;
    QUrl feedUrl = {};
};

TEST_F(UpdaterRefusalTest, EveryUntrustworthyFeedOrDownloadIsRefusedWithOneSentenceAndNothingChanges)
{
    const auto now = QDateTime::currentDateTimeUtc();
    const std::vector<Refusal> cases = {
        {"tampered feed",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             const QByteArray feed = t.feedFor({}, t.archive(QStringLiteral("Talvex 0.2.0")));
             t.server().answer("/feed.json", 200, QByteArray(feed).replace("0.2.0", "0.3.0"));
         },
         "The update feed is not signed with Talvex’s release key, so Talvex ignored it."},
        {"signed with another key",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             const QString other = t.dir(QStringLiteral("other.pem"));
             run(QString::fromLatin1(signFeed), {QStringLiteral("--new-key"), other});
             const QByteArray feed = t.feedFor({}, t.archive(QStringLiteral("Talvex 0.2.0")));
             t.server().answer("/feed.json", 200, feed);
             t.server().answer("/feed.json.sig", 200, t.sign(feed, other));
         },
         "The update feed is not signed with Talvex’s release key, so Talvex ignored it."},
        {"no signature",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             t.server().answer("/feed.json.sig", 404, {});
         },
         "The update server answered HTTP 404 for feed.json.sig."},
        {"older release",
         [](UpdaterRefusalTest &t) {
             Release older;
             older.version = QStringLiteral("0.0.9");
             t.publish(older);
         },
         "The update feed offers Talvex 0.0.9, older than this Talvex 0.1.0, so Talvex ignored it."},
        {"expired feed",
         [now](UpdaterRefusalTest &t) {
             Release stale;
             stale.date = now.addDays(-40);
             stale.expires = QDateTime(now.date().addDays(-10), QTime(0, 0), Qt::UTC);
             t.publish(stale);
         },
         "The update feed expired on %1, so Talvex ignored it."},
        {"oversized feed",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             t.server().answer("/feed.json", 200, QByteArray(70000, ' '));
         },
         "The update server sent more than 65536 bytes for feed.json, so Talvex stopped."},
        {"redirect to another host",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             t.server().on(
                 "/feed.json",
                 {LoopbackHttpServer::Behaviour::Kind::answer,
                  302,
                  {},
                  {{"Location",
                    t.server().url(QStringLiteral("localhost"), QStringLiteral("/feed.json")).toEncoded()}}});
         },
         "The update server redirected Talvex to another host (localhost), so Talvex stopped."},
        {"plain HTTP to the internet", [](UpdaterRefusalTest &t) { t.publish({}); },
         "Talvex downloads updates only over HTTPS, and http://talvex.example.com/feed.json is not an HTTPS "
         "address.",
         false, QUrl(QStringLiteral("http://talvex.example.com/feed.json"))},
        {"truncated download",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             const QByteArray whole = t.archive(QStringLiteral("Talvex 0.2.0"));
             const QByteArray feed = t.feedFor({}, whole);
             t.server().answer("/feed.json", 200, feed);
             t.server().answer("/feed.json.sig", 200, t.sign(feed));
             t.server().answer("/talvex.tar.gz", 200, whole.left(whole.size() / 2));
         },
         "The downloaded update has %2 bytes, not the %3 the feed announced, so Talvex discarded it.", true},
        {"archive that is not the announced one",
         [](UpdaterRefusalTest &t) {
             t.publish({});
             QByteArray other = t.archive(QStringLiteral("Talvex 0.2.0"));
             const QByteArray feed = t.feedFor({}, other);
             t.server().answer("/feed.json", 200, feed);
             t.server().answer("/feed.json.sig", 200, t.sign(feed));
             other[other.size() - 1] = char(other[other.size() - 1] ^ 0x5a);
             t.server().answer("/talvex.tar.gz", 200, other);
         },
         "The downloaded update does not match the feed’s SHA-256 checksum, so Talvex discarded it.", true},
        {"archive whose talvex is another release",
         [](UpdaterRefusalTest &t) {
             Release mislabelled;
             mislabelled.archive = t.archive(QStringLiteral("Talvex 0.1.5"));
             t.publish(mislabelled);
         },
         "The downloaded talvex says “Talvex 0.1.5” instead of “Talvex 0.2.0”, so Talvex kept this version.",
         true},
    };
    const QStringList before = snapshot(m_root);
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.name);
        c.serve(*this);
        const qsizetype requestsBefore = m_server.requests().size();
        auto updater = startUpdater(m_installation, c.feedUrl);
        checkByUser(*updater);
        QString expected = QString::fromUtf8(c.message);
        if (c.duringInstall) {
            ASSERT_EQ(updater->prompt().action, UpdatePrompt::Action::install)
                << updater->prompt().message.toStdString();
            chooseAndWait(*updater, UpdatePrompt::Action::install);
        }
        if (expected.contains(QLatin1String("%1")))
            expected =
                expected.arg(QDateTime(now.date().addDays(-10), QTime(0, 0), Qt::UTC).toString(Qt::ISODate));
        if (expected.contains(QLatin1String("%2"))) {
            const qsizetype whole = archive(QStringLiteral("Talvex 0.2.0")).size();
            expected = expected.arg(whole / 2).arg(whole);
        }
        EXPECT_EQ(updater->prompt().message, expected);
        EXPECT_EQ(updater->dialog()->messageText(), expected) << "shown in the updater's own dialog";
        EXPECT_EQ(snapshot(m_root), before) << "nothing on disk changed";
        EXPECT_TRUE(m_relaunches.isEmpty());
        if (c.feedUrl.isValid()) {
            EXPECT_EQ(m_server.requests().size(), requestsBefore) << "an insecure address is never contacted";
        }
    }
}

TEST_F(UpdaterIntegrationTest, ChecksDuringARecordingAreRefusedWithoutContactingTheServer)
{
    publish({});
    auto updater = startUpdater(m_installation);
    m_updates->setAutomaticUpdates(true);
    ASSERT_TRUE(m_updates->automaticUpdates());
    ASSERT_TRUE(m_harness.startRecording());

    m_updates->check(); // the menu's "Check for Updates…": not even asked
    EXPECT_EQ(updater->dialog(), nullptr);
    QSignalSpy finished(updater.get(), &LinuxUpdater::finished);
    updater->runScheduledCheck(); // the daily schedule
    ASSERT_EQ(finished.count(), 1);
    updater->checkForUpdates(); // the updater's own way in
    EXPECT_EQ(updater->prompt().message, QStringLiteral("Finish dictating before checking for updates."));
    EXPECT_EQ(updater->dialog()->messageText(),
              QStringLiteral("Finish dictating before checking for updates."));
    EXPECT_TRUE(m_server.requests().isEmpty());

    ASSERT_TRUE(m_harness.finishRecording());
    // Automatic updates on: the scheduled check installs without asking, then relaunches.
    updater->runScheduledCheck();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_relaunches.isEmpty(); }, 60000))
        << updater->prompt().message.toStdString();
    EXPECT_EQ(QFileInfo(m_root + QStringLiteral("/current")).symLinkTarget(),
              QFileInfo(m_root + QStringLiteral("/versions/0.2.0")).absoluteFilePath());
}

TEST_F(UpdaterIntegrationTest, APackagedInstallationIsNeverModifiedAndRelaunchesOnceItsFileIsReplaced)
{
    const QString executable = m_dir.filePath(QStringLiteral("usr/bin/talvex"));
    ASSERT_TRUE(writeFile(executable, fakeTalvex(QStringLiteral("0.1.0")), true));
    // A package database that owns every file it is asked about.
    const QString query = m_dir.filePath(QStringLiteral("dpkg-query"));
    ASSERT_TRUE(writeFile(query, "#!/bin/sh\necho \"talvex: $2\"\n", true));
    const Installation packaged =
        Installation::of(QFileInfo(executable).canonicalFilePath(), QStringLiteral("/nonexistent"));
    ASSERT_EQ(packaged.kind, Installation::Kind::system);
    publish({});
    auto updater = startUpdater(packaged, {}, query);
    ASSERT_EQ(updater->kind(), LinuxUpdater::Kind::packageManaged);
    EXPECT_EQ(m_updates->automaticUpdatesNote(),
              QStringLiteral("Your system’s package manager updates Talvex."));
    m_updates->setAutomaticUpdates(true);
    EXPECT_FALSE(m_updates->automaticUpdates());

    const QStringList before = snapshot(m_dir.filePath(QStringLiteral("usr")));
    checkByUser(*updater);
    EXPECT_EQ(updater->prompt().message,
              QStringLiteral("Talvex 0.2.0 is available; you have 0.1.0. Your system’s "
                             "package manager installs it."));
    EXPECT_EQ(updater->prompt().action, UpdatePrompt::Action::openPage);
    updater->choose(UpdatePrompt::Action::install);
    m_harness.drain();
    EXPECT_EQ(snapshot(m_dir.filePath(QStringLiteral("usr"))), before);
    EXPECT_FALSE(m_server.requests().constLast().path.endsWith(".tar.gz")) << "nothing was downloaded";

    // The package manager replaces the file (a new inode) while a dictation records: the relaunch
    // into it waits for the dictation to end.
    ASSERT_TRUE(m_harness.startRecording());
    ASSERT_TRUE(
        writeFile(executable + QStringLiteral(".dpkg-new"), fakeTalvex(QStringLiteral("0.2.0")), true));
    ASSERT_TRUE(QFile::remove(executable));
    ASSERT_TRUE(QFile::rename(executable + QStringLiteral(".dpkg-new"), executable));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_updates->hasPendingInstall(); }, 20000));
    EXPECT_TRUE(m_relaunches.isEmpty());
    ASSERT_TRUE(m_harness.finishRecording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_relaunches.isEmpty(); }, 20000));
    EXPECT_TRUE(m_relaunches.first().startsWith(QFileInfo(executable).canonicalFilePath()));
}

TEST_F(UpdaterIntegrationTest, AFileNoPackageOwnsIsLeftAloneToo)
{
    const QString executable = m_dir.filePath(QStringLiteral("usr/local/bin/talvex"));
    ASSERT_TRUE(writeFile(executable, fakeTalvex(QStringLiteral("0.1.0")), true));
    const QString query = m_dir.filePath(QStringLiteral("dpkg-query"));
    ASSERT_TRUE(writeFile(
        query, "#!/bin/sh\necho \"dpkg-query: no path found matching pattern $2\" >&2\nexit 1\n", true));
    auto updater =
        startUpdater(Installation::of(QFileInfo(executable).canonicalFilePath(), QString()), {}, query);
    EXPECT_EQ(updater->kind(), LinuxUpdater::Kind::placedByHand);
    EXPECT_EQ(m_updates->automaticUpdatesNote(), LinuxUpdater::placedByHandNote());
    EXPECT_FALSE(m_updates->automaticUpdates());
}

} // namespace
} // namespace talvex::update
