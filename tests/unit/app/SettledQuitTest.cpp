#include "SettledQuit.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace talvex {
namespace {

using namespace std::chrono_literals;

// A long limit keeps the bound out of the way of the cases that do not test it.
struct QuitProbe {
    bool busy = false;
    int quits = 0;
    SettledQuit quit{[this] { return busy; }, [this] { ++quits; }, 1h};
};

TEST(SettledQuitTest, IdleQuitsAtOnceAndOnlyOnce)
{
    QuitProbe probe;
    probe.quit.request();
    EXPECT_EQ(probe.quits, 1);
    probe.quit.request();
    probe.quit.recheck();
    EXPECT_EQ(probe.quits, 1);
}

TEST(SettledQuitTest, BusyWaitsUntilARecheckFindsTheWorkDone)
{
    QuitProbe probe;
    probe.busy = true;
    probe.quit.request();
    EXPECT_TRUE(probe.quit.isWaiting());
    probe.quit.recheck(); // e.g. transcribing -> refining: still busy
    EXPECT_EQ(probe.quits, 0);

    probe.busy = false;
    probe.quit.recheck();
    EXPECT_EQ(probe.quits, 1);
    EXPECT_FALSE(probe.quit.isWaiting());
    probe.quit.recheck();
    EXPECT_EQ(probe.quits, 1);
}

TEST(SettledQuitTest, RechecksBeforeAnyRequestQuitNothing)
{
    QuitProbe probe;
    probe.quit.recheck();
    probe.busy = true;
    probe.quit.recheck();
    EXPECT_EQ(probe.quits, 0);
}

TEST(SettledQuitTest, WorkThatNeverSettlesIsCutOffAtTheLimit)
{
    int quits = 0;
    SettledQuit quit([] { return true; }, [&quits] { ++quits; }, 20ms);
    quit.request();
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(QTest::qWaitFor([&quits] { return quits == 1; }, 5000));
    quit.recheck();
    quit.request();
    EXPECT_EQ(quits, 1);
}

} // namespace
} // namespace talvex
