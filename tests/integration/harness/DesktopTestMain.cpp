// Shared main for integration and e2e tests: a Qt application object on the private desktop's X
// display around GoogleTest, so coroutines, timers, queued calls, windows and the clipboard work.
// These tests run under scripts/with-desktop, which provides the display, buses and sound server.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Outside the harness this would use the real display, sound server and home folder.
        std::fprintf(stderr, "This test needs the private desktop: run it as scripts/with-desktop %s\n",
                     argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
