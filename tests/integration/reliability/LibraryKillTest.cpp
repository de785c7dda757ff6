// The library file survives a process killed at any moment of a save: a writer of a 10,000-transcript
// library, saving edit after edit from a seeded sequence, is killed with SIGKILL again and again;
// after every kill the file decodes and holds the last document reported saved or the one after it,
// and the next start leaves no temporary file behind.
//   TALVEX_LIBRARY_KILLS   number of kills (default 25; 200 for the full run)
//   TALVEX_LIBRARY_SEED    the edit and kill-moment seed (default fixed)
#include "LibraryEdits.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <unistd.h>

using namespace talvex;
using talvex::test::LibraryEdits;

namespace {

constexpr int historySize = 10000;

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// A writer process, started and waited for until it has read the library.
class Writer {
  public:
    Writer(const QString &path, std::uint64_t seed, std::int64_t firstStep, bool startOnly = false)
    {
        QStringList arguments{path, QString::number(seed), QString::number(firstStep)};
        if (startOnly)
            arguments << QStringLiteral("--start-only");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(TALVEX_LIBRARY_WRITER), arguments);
    }
    ~Writer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    /// The first line: "ready", or why the writer could not start.
    QString firstLine()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return QStringLiteral("no answer: ") + m_process.errorString();
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    /// Waits until the writer reports a save, and returns the number of edits it says are saved.
    std::optional<std::int64_t> nextSave()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return std::nullopt;
        }
        bool ok = false;
        const std::int64_t number = m_process.readLine().trimmed().toLongLong(&ok);
        return ok ? std::optional(number) : std::nullopt;
    }

    /// Kills the writer and returns the last number of edits it reported saved, if any.
    std::optional<std::int64_t> kill()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(60000);
        std::optional<std::int64_t> last;
        for (const QByteArray &line : m_process.readAllStandardOutput().split('\n')) {
            bool ok = false;
            const std::int64_t number = line.toLongLong(&ok);
            if (ok)
                last = number;
            else if (!line.isEmpty())
                ADD_FAILURE() << "writer said: " << line.toStdString();
        }
        return last;
    }

    bool finished() { return m_process.waitForFinished(60000) && m_process.exitCode() == 0; }

  private:
    QProcess m_process;
};

// Blocks until a file is created in `folder` (or a minute passes): the start of a write.
class CreationWatch {
  public:
    explicit CreationWatch(const QString &folder) : m_descriptor(::inotify_init1(IN_CLOEXEC))
    {
        if (m_descriptor >= 0)
            ::inotify_add_watch(m_descriptor, QFile::encodeName(folder).constData(), IN_CREATE);
    }
    ~CreationWatch()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    bool awaitCreation()
    {
        pollfd poll{m_descriptor, POLLIN, 0};
        if (m_descriptor < 0 || ::poll(&poll, 1, 60000) != 1)
            return false;
        alignas(inotify_event) char events[4096];
        return ::read(m_descriptor, events, sizeof events) > 0;
    }

  private:
    int m_descriptor;
};

QStringList filesBeside(const QString &path)
{
    return QFileInfo(path).absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST(LibraryKillTest, EveryKillLeavesTheOldOrTheNewDocumentAndTheNextStartCleansUp)
{
    const int kills = environmentNumber("TALVEX_LIBRARY_KILLS", 25);
    const auto seed = std::uint64_t(environmentNumber("TALVEX_LIBRARY_SEED", 20261208));
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString path = home.filePath(QStringLiteral("Talvex/Library.json"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));

    const LibraryEdits edits(seed);
    Library saved = edits.base(historySize); // the document after `savedSteps` edits
    std::int64_t savedSteps = 0;
    QString error;
    ASSERT_TRUE(saved.write(path, &error)) << error.toStdString();

    std::mt19937_64 moments(seed);
    // Every other kill comes at a uniform moment within the next two saves, timed by the first one,
    // so each phase of a save is hit in proportion to how long it takes. Encoding takes nearly all of
    // it, and the bytes go to an unnamed file that gets its name only just before the rename, so the
    // other kills come within half a millisecond of that name appearing: the narrowest window.
    std::uniform_real_distribution<double> withinTwoSaves(0.0, 2.0);
    std::uniform_int_distribution<unsigned long> intoTheWriteUs(0, 500);
    int readable = 0, heldNewer = 0;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE(kill);
        Writer writer(path, seed, savedSteps);
        ASSERT_EQ(writer.firstLine().toStdString(), "ready");
        EXPECT_EQ(filesBeside(path), QStringList{QStringLiteral("Library.json")}) << "left after the start";
        QElapsedTimer saving;
        saving.start();
        const std::optional<std::int64_t> first = writer.nextSave();
        ASSERT_TRUE(first);
        const double saveMs = double(saving.elapsed());
        // The random moment of the kill: nothing to await.
        if (kill % 2 == 0) {
            QThread::usleep(static_cast<unsigned long>(1000.0 * saveMs * withinTwoSaves(moments)));
        } else {
            CreationWatch watch(QFileInfo(path).absolutePath());
            ASSERT_TRUE(watch.awaitCreation());
            QThread::usleep(intoTheWriteUs(moments));
        }
        const std::int64_t reported = writer.kill().value_or(*first);
        ASSERT_GE(reported, savedSteps);

        while (savedSteps < reported)
            edits.apply(saved, savedSteps++);
        Library next = saved;
        edits.apply(next, savedSteps);

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::optional<Library> onDisk = Library::read(file.readAll(), &error);
        ASSERT_TRUE(onDisk) << "after " << reported << " edits: " << error.toStdString();
        if (*onDisk == next) { // the save in progress had landed but not yet been reported
            saved = std::move(next);
            ++savedSteps;
            ++heldNewer;
        } else {
            ASSERT_TRUE(*onDisk == saved)
                << "neither the document of " << savedSteps << " edits nor the next one";
        }
        ++readable;
    }
    // The start after the last kill.
    Writer last(path, seed, savedSteps, true);
    EXPECT_EQ(last.firstLine().toStdString(), "ready");
    EXPECT_TRUE(last.finished());
    EXPECT_EQ(filesBeside(path), QStringList{QStringLiteral("Library.json")});

    EXPECT_EQ(readable, kills);
    std::printf("%d of %d kills left a readable library (%d held the save in progress), %lld edits saved on "
                "%d transcripts, in %.1f s\n",
                readable, kills, heldNewer, static_cast<long long>(savedSteps), historySize,
                double(clock.elapsed()) / 1000.0);
}
