#include "SignalQuit.h"

#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

namespace talvex {
namespace {

volatile std::sig_atomic_t s_previousCalls = 0;
void previousHandler(int)
{
    s_previousCalls = s_previousCalls + 1;
}

// Stands in for whatever handled the signals before, so a signal reaching it cannot end the test.
class SignalQuitTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        s_previousCalls = 0;
        struct sigaction action {};
        action.sa_handler = previousHandler;
        sigemptyset(&action.sa_mask);
        ASSERT_EQ(::sigaction(SIGINT, &action, &m_savedInt), 0);
        ASSERT_EQ(::sigaction(SIGTERM, &action, &m_savedTerm), 0);
    }
    void TearDown() override
    {
        ::sigaction(SIGINT, &m_savedInt, nullptr);
        ::sigaction(SIGTERM, &m_savedTerm, nullptr);
    }

    struct sigaction m_savedInt {};
    struct sigaction m_savedTerm {};
};

TEST_F(SignalQuitTest, TermAndIntArriveInTheEventLoopNotInTheHandler)
{
    SignalQuit quit;
    ASSERT_TRUE(quit.isInstalled());
    QSignalSpy received(&quit, &SignalQuit::received);
    ::raise(SIGTERM);
    EXPECT_TRUE(received.isEmpty()) << "nothing may run inside the signal handler";
    ASSERT_TRUE(received.wait(5000));
    EXPECT_EQ(received.takeFirst().at(0).toInt(), SIGTERM);
    EXPECT_EQ(s_previousCalls, 0) << "the first signal is ours";
}

TEST_F(SignalQuitTest, ASecondSignalGoesToThePreviousHandlerSoAStuckShutdownCanStillBeEnded)
{
    SignalQuit quit;
    QSignalSpy received(&quit, &SignalQuit::received);
    ::raise(SIGINT);
    ASSERT_TRUE(received.wait(5000));
    EXPECT_FALSE(quit.isInstalled());
    ::raise(SIGINT);
    ::raise(SIGTERM);
    EXPECT_EQ(s_previousCalls, 2);
    EXPECT_EQ(received.size(), 1);
}

TEST_F(SignalQuitTest, GoingAwayPutsThePreviousHandlersBackAndAllowsANewInstance)
{
    {
        SignalQuit quit;
        ASSERT_TRUE(quit.isInstalled());
        SignalQuit second;
        EXPECT_FALSE(second.isInstalled()) << "one instance owns the signals";
    }
    ::raise(SIGTERM);
    EXPECT_EQ(s_previousCalls, 1);

    SignalQuit again;
    EXPECT_TRUE(again.isInstalled());
    QSignalSpy received(&again, &SignalQuit::received);
    ::raise(SIGTERM);
    EXPECT_TRUE(received.wait(5000));
}

} // namespace
} // namespace talvex
