// Saving the library onto a full disk and into a read-only folder, on a real (tmpfs) file system in a
// private mount namespace: the save fails with a sentence that says why, the file keeps the last
// document saved, nothing is left beside it, and the first save that works again writes everything
// the user did meanwhile. ctest runs this under `unshare --user --map-root-user --mount`.
#include "store/Library.h"
#include "unit/core/ControllerHarness.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace talvex;
using namespace talvex::test;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesBeside(const QString &path)
{
    return QFileInfo(path).absoluteDir().entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// A small tmpfs over `folder`, unmounted (and gone with the namespace) at the end.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(const QString &folder) : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        m_mounted =
            ::mount("tmpfs", m_folder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0700") == 0;
        m_error = errno;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString error() const { return QString::fromLocal8Bit(std::strerror(m_error)); }

    bool setReadOnly(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", m_folder.constData(), "tmpfs", flags, "size=256k,mode=0700") == 0;
    }

    /// Fills the file system up to all but `spare` bytes with a file that fill() removes again.
    bool fill(qint64 spare)
    {
        QFile filler(fillerPath());
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        return filler.resize(std::max<qint64>(0, filler.size() - spare));
    }
    void empty() { QFile::remove(fillerPath()); }

  private:
    QString fillerPath() const { return QFile::decodeName(m_folder) + QStringLiteral("/filler"); }

    QByteArray m_folder;
    bool m_mounted = false;
    int m_error = 0;
};

} // namespace

TEST(LibraryFullDiskTest, FailedSavesKeepTheFileAndTheNextSaveWritesEverything)
{
    ControllerHarness h;
    const QString data = QFileInfo(h.libraryPath()).absolutePath();
    SmallFileSystem disk(data);
    if (!disk.mounted())
        GTEST_SKIP() << "no private mount namespace to mount a small file system in: "
                     << disk.error().toStdString();

    h.make();
    h.focusTarget();
    h.pasteLands();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(h.startRecording(10.0 + 10 * i));
        ASSERT_TRUE(h.finishRecording(11.0 + 10 * i));
    }
    ASSERT_EQ(h.controller().library().history.size(), 3);

    struct Fault {
        const char *what;
        std::function<bool()> begin;
        std::function<bool()> end;
        QString message;
    };
    const Fault faults[] = {
        {"disk full before the save", [&] { return disk.fill(0); },
         [&] {
             disk.empty();
             return true;
         },
         QStringLiteral("Couldn\u2019t save the library: No space left on device")},
        // Room for the temporary file to be created and partly written.
        {"disk full during the save", [&] { return disk.fill(2048); },
         [&] {
             disk.empty();
             return true;
         },
         QStringLiteral("Couldn\u2019t save the library: No space left on device")},
        {"read-only folder", [&] { return disk.setReadOnly(true); }, [&] { return disk.setReadOnly(false); },
         QStringLiteral("Couldn\u2019t save the library: Read-only file system")},
    };
    int dictation = 10;
    for (const Fault &fault : faults) {
        SCOPED_TRACE(fault.what);
        const QByteArray before = readAll(h.libraryPath());
        ASSERT_EQ(Library::read(before), h.controller().library());
        ASSERT_TRUE(fault.begin());

        // What the user does meanwhile: a dictation and a settings change, each saved and failing.
        ++dictation;
        ASSERT_TRUE(h.startRecording(100.0 * dictation));
        ASSERT_TRUE(h.finishRecording(100.0 * dictation + 1));
        EXPECT_EQ(h.controller().message(), fault.message);
        Preferences changed = h.controller().preferences();
        changed.vocabulary += QStringLiteral("Entry %1\n").arg(dictation);
        h.controller().setPreferences(changed);
        EXPECT_EQ(h.controller().message(), fault.message);

        EXPECT_EQ(readAll(h.libraryPath()), before) << "the last saved document stays whole";
        EXPECT_EQ(filesBeside(h.libraryPath()).filter(QStringLiteral("Library")),
                  QStringList{QStringLiteral("Library.json")});

        // The next change after the fault has gone saves all of it.
        ASSERT_TRUE(fault.end());
        changed.mode = changed.mode == WritingMode::notes ? WritingMode::email : WritingMode::notes;
        h.controller().setPreferences(changed);
        const std::optional<Library> saved = Library::read(readAll(h.libraryPath()));
        ASSERT_TRUE(saved);
        EXPECT_EQ(*saved, h.controller().library());
        EXPECT_TRUE(saved->preferences.vocabulary.contains(QStringLiteral("Entry %1").arg(dictation)));
    }
    EXPECT_EQ(h.controller().library().history.size(), 3 + std::size(faults));
}
