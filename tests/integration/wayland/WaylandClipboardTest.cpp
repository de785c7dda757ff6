// The data-control clipboard against sway, with wl-copy and wl-paste as the other programs.
#include "DataControlClipboard.h"
#include "WaylandConnection.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::wayland;

namespace {

constexpr int waitMs = 10000;

/// What wl-paste gets; our event loop runs meanwhile, since we may be the one serving it.
QByteArray paste(const QString &type)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"),
                  {QStringLiteral("--no-newline"), QStringLiteral("--type"), type});
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, waitMs))
        return "(wl-paste did not finish)";
    return process.readAllStandardOutput();
}

QByteArray dataOf(const ClipboardItem &item, const QString &type)
{
    for (const auto &[name, bytes] : item)
        if (name == type)
            return bytes;
    return {};
}

/// wl-copy stays to serve what it copied; it goes when another program takes the clipboard.
void copy(const QByteArray &data, const QString &type)
{
    QProcess process;
    process.start(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type});
    process.write(data);
    process.closeWriteChannel();
    process.waitForFinished(waitMs);
}

TEST(WaylandClipboard, SnapshotTextAndRestoreKeepEveryFormatAndCountEveryChange)
{
    auto connection = WaylandConnection::open();
    ASSERT_TRUE(connection);
    auto clipboard = DataControlClipboard::create(connection);
    ASSERT_TRUE(clipboard) << "sway offers data control";

    const QByteArray html = "<b>kept</b> across the dictation";
    copy(html, QStringLiteral("text/html"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !clipboard->snapshot(ClipboardSelection::clipboard).empty(); }, waitMs));
    const ClipboardSnapshot before = clipboard->snapshot(ClipboardSelection::clipboard);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(dataOf(before.front(), QStringLiteral("text/html")), html);
    EXPECT_GE(before.front().size(), 2u) << "wl-copy offers its text under several types, and each is kept";

    const std::uint64_t count = clipboard->changeCount(ClipboardSelection::clipboard);
    ASSERT_TRUE(clipboard->setText(ClipboardSelection::clipboard, QStringLiteral("dictated ✓ text")));
    const std::uint64_t placed = clipboard->changeCount(ClipboardSelection::clipboard);
    EXPECT_GT(placed, count) << "our own change is counted before setText returns";
    EXPECT_EQ(paste(QStringLiteral("text/plain;charset=utf-8")), QStringLiteral("dictated ✓ text").toUtf8());
    EXPECT_EQ(clipboard->changeCount(ClipboardSelection::clipboard), placed) << "reading does not change the clipboard";
    EXPECT_EQ(clipboard->snapshot(ClipboardSelection::clipboard).front().front().second, QStringLiteral("dictated ✓ text").toUtf8())
        << "our own data is read without asking ourselves through the compositor";

    ASSERT_TRUE(clipboard->restore(ClipboardSelection::clipboard, before));
    EXPECT_EQ(paste(QStringLiteral("text/html")), html);

    const std::uint64_t restored = clipboard->changeCount(ClipboardSelection::clipboard);
    copy("someone else's", QStringLiteral("text/plain"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard->changeCount(ClipboardSelection::clipboard) != restored; }, waitMs))
        << "another program's change is counted";

    ASSERT_TRUE(clipboard->restore(ClipboardSelection::clipboard, {}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard->snapshot(ClipboardSelection::clipboard).empty(); }, waitMs))
        << "an empty snapshot leaves the clipboard empty";
}

} // namespace
