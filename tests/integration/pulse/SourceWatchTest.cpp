// The libpulse source watch against the private desktop's PulseAudio: the first answer names the
// default source, a new default is reported, and a server that cannot be reached is reported and
// found once it answers.
#include "PulseSourceWatch.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;

namespace {

bool pactl(const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return false;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
}

/// Collects what the watch reports, in order.
struct Reports {
    std::vector<CaptureSource> seen;

    CaptureSourceWatch::Changed sink()
    {
        return [this](const CaptureSource &source) { seen.push_back(source); };
    }
    bool waitFor(const std::function<bool(const CaptureSource &)> &wanted, int ms = 15000)
    {
        return QTest::qWaitFor([&] { return !seen.empty() && wanted(seen.back()); }, ms);
    }
};

} // namespace

TEST(SourceWatchTest, ReportsTheDefaultSourceAndItsChanges)
{
    const QString sink = qEnvironmentVariable("TALVEX_TEST_SINK");
    ASSERT_FALSE(sink.isEmpty()) << "TALVEX_TEST_SINK is not set";
    Reports reports;
    PulseSourceWatch watch;
    watch.watch(reports.sink());
    ASSERT_TRUE(reports.waitFor([](const CaptureSource &source) {
        return source.server == CaptureSource::Server::reachable && !source.description.isEmpty();
    }));
    const QString first = reports.seen.back().description;
    EXPECT_TRUE(first.startsWith(QStringLiteral("Monitor of"))) << first.toStdString();

    // Another default source, with a description of its own.
    QString module;
    ASSERT_TRUE(pactl({"load-module", "module-null-sink", "sink_name=talvex_other",
                       "sink_properties=device.description=Other_Microphone"},
                      &module));
    ASSERT_TRUE(pactl({"set-default-source", "talvex_other.monitor"}));
    EXPECT_TRUE(reports.waitFor([](const CaptureSource &source) {
        return source.description == QStringLiteral("Monitor of Other_Microphone");
    })) << reports.seen.back().description.toStdString();

    // Back to the first; once stopped, nothing more arrives.
    ASSERT_TRUE(pactl({"set-default-source", sink + QStringLiteral(".monitor")}));
    EXPECT_TRUE(reports.waitFor([&](const CaptureSource &source) { return source.description == first; }));
    watch.stop();
    const std::size_t stopped = reports.seen.size();
    ASSERT_TRUE(pactl({"unload-module", module}));
    QTest::qWait(300);
    EXPECT_EQ(reports.seen.size(), stopped);
}

TEST(SourceWatchTest, AServerThatDoesNotAnswerIsReportedAndFoundWhenItDoes)
{
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/talvex-no-server");
    Reports reports;
    PulseSourceWatch watch;
    watch.watch(reports.sink());
    EXPECT_TRUE(reports.waitFor(
        [](const CaptureSource &source) { return source.server == CaptureSource::Server::unreachable; }));
    // The next attempt goes to the real server again.
    qputenv("PULSE_SERVER", server);
    EXPECT_TRUE(reports.waitFor(
        [](const CaptureSource &source) { return source.server == CaptureSource::Server::reachable; }));
    EXPECT_EQ(reports.seen.front().server, CaptureSource::Server::unreachable);
}
