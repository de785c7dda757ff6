// The workspace of desktops without compositor IPC, read from the accessibility service's active
// frame, checked against sway's own idea of the focused window.
#include "ActiveFrameWorkspace.h"

#include "SwayIpc.h"
#include "SwaySession.h"
#include "SwayWorkspace.h"
#include "WaylandTestKeyboard.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;

namespace {

TEST(ActiveFrameWorkspace, TheFrontProgramIsTheOwnerOfTheActiveFrame)
{
    test::WaylandTestKeyboard keyboard; // a seat without a keyboard gives no window the focus
    ASSERT_TRUE(keyboard.isReady());
    auto session = wayland::SwaySession::open(
        *wayland::XkbKeymap::fromNames(QStringLiteral("us")), wayland::SwayIpc::socketPath(),
        QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("frame-test-bindings.json")));
    ASSERT_TRUE(session);
    wayland::SwayWorkspace sway(session.get());
    atspi::AtspiAccessibility accessibility;
    portal::ActiveFrameWorkspace workspace(accessibility);

    QProcess zenity;
    zenity.start(QStringLiteral("zenity"), {QStringLiteral("--entry"), QStringLiteral("--text=In front")});
    ASSERT_TRUE(zenity.waitForStarted());
    const auto pid = static_cast<std::int32_t>(zenity.processId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto front = sway.frontmostApplication();
            return front && front->pid == pid;
        },
        30000))
        << "sway never focused zenity";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && front->pid == pid;
        },
        30000))
        << "the active frame is not zenity's";
    const auto front = workspace.frontmostApplication();
    EXPECT_EQ(front->applicationID, sway.frontmostApplication()->applicationID)
        << "both name the program by its desktop entry";
    const auto windows = workspace.onScreenWindows();
    ASSERT_TRUE(windows && windows->size() == 1);
    EXPECT_EQ(windows->front().ownerPid, pid);
    EXPECT_FALSE(windows->front().bounds.isEmpty());
    zenity.kill();
    zenity.waitForFinished();
}

} // namespace
