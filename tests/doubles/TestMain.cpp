// Shared main for unit tests: an offscreen QApplication (no display needed; widgets work) around
// GoogleTest, so coroutines, timers and queued calls work.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Work that a test left running in the background (a cancelled session's tasks, a worker thread's
// queued resumption) finishes here before the process ends, as it would in the running application;
// otherwise LeakSanitizer reports what it still holds. Ends after 200 ms without events (a loaded
// machine may take that long to run a worker thread), or 5 s.
void settleBackgroundWork()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    while (quiet.elapsed() < 200 && total.elapsed() < 5000) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (dispatcher->processEvents(QEventLoop::AllEvents))
            quiet.restart();
        else
            QThread::msleep(1); // a worker thread may still be about to post its result
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir; // Qt wants a private runtime folder; never the user's
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    settleBackgroundWork();
    return result;
}
