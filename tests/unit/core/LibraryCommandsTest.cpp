// The library file and the commands that move data in and out of it: loading, saving, the
// protection of a file that could not be read, export, restore and the word-list import.

#include "ControllerHarness.h"

#include "store/Library.h"
#include "store/WordList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

Library backupWith(const QString &locale, const QStringList &texts)
{
    Library backup;
    backup.preferences.locale = locale;
    backup.preferences.shortcutKey = Shortcut(101, 0, QStringLiteral("F9"));
    for (const QString &text : texts) {
        Transcript t = Transcript::make(text, text, QStringLiteral("Notes"), WritingMode::verbatim);
        backup.history.append(t);
    }
    return backup;
}

QStringList recoveryCopies(const ControllerHarness &h)
{
    return QDir(QFileInfo(h.libraryPath()).absolutePath())
        .entryList({QStringLiteral("Library-recovery-*")}, QDir::Files);
}

const QString couldNotRead =
    QStringLiteral("The library could not be read. Changes are in memory until you restore a backup.");

} // namespace

TEST(LibraryLoadTest, MissingFileStartsEmptyAndTheFirstChangeCreatesIt)
{
    ControllerHarness h;
    h.make();
    EXPECT_TRUE(h.probe().diskReadable());
    EXPECT_FALSE(h.controller().message());
    EXPECT_EQ(h.controller().library(), Library());
    EXPECT_FALSE(QFile::exists(h.libraryPath()));

    Preferences changed = h.controller().preferences();
    changed.mode = WritingMode::clean;
    const int lookups = h.speech.lookups;
    h.controller().setPreferences(changed);
    EXPECT_EQ(h.speech.lookups, lookups); // same locale: speech is not prepared again
    const auto onDisk = Library::read(readAll(h.libraryPath()));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->preferences.mode, WritingMode::clean);
    // Transcripts are private: only the owner may read the file.
    EXPECT_EQ(QFile::permissions(h.libraryPath()) & (QFile::ReadGroup | QFile::ReadOther), QFileDevice::Permissions());
}

TEST(LibraryLoadTest, StartRemovesTheTemporaryFileOfAnInterruptedSaveAndNothingElse)
{
    const struct {
        const char *name;
        bool removed;
    } files[] = {
        {"Library.json.saving-kQzTrB", true}, // written when the save was cut off
        {"Library.json.saving-a1B2c3", true},
        {"Library.json.saving-", false},
        {"Library.json.saving-kQzTrBx", false},
        {"Library.json.backup", false}, // the user's own copies, whatever they look like
        {"Library.json.kQzTrB", false},
        {"Other.json.saving-kQzTrB", false},
        {"Library-recovery-6F9619FF-8B86-D011-B42D-00C04FC964FF.json", false},
    };
    for (const bool libraryExists : {true, false}) {
        ControllerHarness h;
        Library stored;
        stored.preferences.vocabulary = QStringLiteral("Quindlark");
        if (libraryExists)
            writeBytes(h.libraryPath(), stored.encode());
        const QDir folder = QFileInfo(h.libraryPath()).absoluteDir();
        for (const auto &file : files)
            writeBytes(folder.filePath(QString::fromLatin1(file.name)), "{\"half\": ");
        h.make();
        for (const auto &file : files)
            EXPECT_EQ(folder.exists(QString::fromLatin1(file.name)), !file.removed) << file.name;
        EXPECT_EQ(h.probe().diskReadable(), true);
        EXPECT_EQ(h.controller().library(), libraryExists ? stored : Library());
    }
}

TEST(LibraryLoadTest, UnreadableFileIsNeverOverwritten)
{
    Library newer;
    newer.version = 2;
    for (const QByteArray &content : {QByteArray("{}"), QByteArray("not json"), newer.encode()}) {
        SCOPED_TRACE(content.left(40).toStdString());
        ControllerHarness h;
        writeBytes(h.libraryPath(), content);
        h.make();
        EXPECT_FALSE(h.probe().diskReadable());
        EXPECT_EQ(h.controller().message(),
                  QStringLiteral("Couldn\u2019t open the saved library. Talvex will leave that file untouched. "
                                 "Restore a backup to recover."));
        EXPECT_EQ(h.controller().library(), Library());

        // A settings change stays in memory.
        Preferences changed = h.controller().preferences();
        changed.vocabulary = QStringLiteral("Talvex");
        h.controller().setPreferences(changed);
        EXPECT_EQ(h.controller().preferences().vocabulary, QStringLiteral("Talvex"));
        EXPECT_EQ(h.controller().message(), couldNotRead);

        // So does a dictation.
        ASSERT_TRUE(h.startRecording(1.0));
        h.pasteLands();
        ASSERT_TRUE(h.finishRecording(2.0));
        EXPECT_EQ(h.controller().library().history.size(), 1);
        EXPECT_EQ(h.controller().message(), couldNotRead);

        EXPECT_EQ(readAll(h.libraryPath()), content);
        EXPECT_TRUE(recoveryCopies(h).isEmpty());
    }
}

TEST(BackupTest, ExportWritesTheLibraryWhereverTheUserChose)
{
    ControllerHarness h;
    writeBytes(h.libraryPath(), "{}"); // export works even when the library could not be read
    h.make();
    Preferences changed = h.controller().preferences();
    changed.vocabulary = QStringLiteral("Quindlark");
    h.controller().setPreferences(changed);

    h.controller().exportBackup(); // cancelled
    EXPECT_EQ(h.controller().message(), couldNotRead);
    ASSERT_EQ(h.prompts.saveRequests.size(), 1u);
    EXPECT_EQ(h.prompts.saveRequests[0].proposedName, QStringLiteral("Talvex Backup.json"));
    EXPECT_EQ(h.prompts.saveRequests[0].fileTypes, std::vector<PromptFileType>{PromptFileType::json});

    const QString target = h.path(QStringLiteral("Talvex Backup.json"));
    h.prompts.saveAnswers.push_back(target);
    h.controller().exportBackup();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Backup exported."));
    const auto exported = Library::read(readAll(target));
    ASSERT_TRUE(exported);
    EXPECT_EQ(*exported, h.controller().library());

    h.prompts.saveAnswers.push_back(h.path(QStringLiteral("missing/folder/backup.json")));
    h.controller().exportBackup();
    ASSERT_TRUE(h.controller().message());
    EXPECT_NE(h.controller().message(), QStringLiteral("Backup exported."));

    // Exported onto the unreadable library file itself: the old bytes are kept in a recovery copy.
    EXPECT_TRUE(recoveryCopies(h).isEmpty());
    h.prompts.saveAnswers.push_back(h.libraryPath());
    h.controller().exportBackup();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Backup exported."));
    const QStringList copies = recoveryCopies(h);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(readAll(QFileInfo(h.libraryPath()).dir().filePath(copies[0])), QByteArray("{}"));
    EXPECT_EQ(Library::read(readAll(h.libraryPath())), h.controller().library());

    // With the library file gone, a new backup file is just an export.
    ASSERT_TRUE(QFile::remove(h.libraryPath()));
    h.prompts.saveAnswers.push_back(h.path(QStringLiteral("second.json")));
    h.controller().exportBackup();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Backup exported."));
    EXPECT_EQ(recoveryCopies(h).size(), 1);
}

TEST(BackupTest, RestoreAsksFirstAndRefusesOtherVersions)
{
    ControllerHarness h;
    h.make();
    const QString backupPath = h.path(QStringLiteral("backup.json"));

    Library newer = backupWith(QStringLiteral("en-US"), {QStringLiteral("one")});
    newer.version = 3;
    writeBytes(backupPath, newer.encode());
    h.prompts.openAnswers.push_back(backupPath);
    h.controller().importBackup();
    EXPECT_EQ(h.controller().message(), QStringLiteral("This backup was created by a different version of Talvex."));
    EXPECT_TRUE(h.prompts.alertRequests.empty());

    writeBytes(backupPath, backupWith(QStringLiteral("en-US"), {QStringLiteral("one")}).encode());
    h.controller().setMessage(std::nullopt);
    h.prompts.openAnswers.push_back(backupPath);
    h.prompts.alertAnswers.push_back(1); // "Cancel"
    h.controller().importBackup();
    ASSERT_EQ(h.prompts.alertRequests.size(), 1u);
    EXPECT_EQ(h.prompts.alertRequests[0].messageText, QStringLiteral("Restore Talvex backup?"));
    EXPECT_EQ(h.prompts.alertRequests[0].informativeText,
              QStringLiteral("This replaces your settings and merges transcripts into your current history."));
    EXPECT_EQ(h.prompts.alertRequests[0].buttons, (QStringList{QStringLiteral("Restore"), QStringLiteral("Cancel")}));
    EXPECT_FALSE(h.controller().message());
    EXPECT_EQ(h.controller().library(), Library());
    EXPECT_FALSE(QFile::exists(h.libraryPath()));
}

TEST(BackupTest, RestoreOverAnUnreadableFileKeepsARecoveryCopy)
{
    ControllerHarness h;
    writeBytes(h.libraryPath(), "{\"damaged\": true}");
    h.make();
    ASSERT_FALSE(h.probe().diskReadable());
    const QString backupPath = h.path(QStringLiteral("backup.json"));
    const Library backup = backupWith(QStringLiteral("en-GB"), {QStringLiteral("one"), QStringLiteral("two")});
    writeBytes(backupPath, backup.encode());
    h.speechDouble.locales = {QStringLiteral("en-US"), QStringLiteral("en-GB")};
    const int lookups = h.speech.lookups;

    h.prompts.openAnswers.push_back(backupPath);
    h.prompts.alertAnswers.push_back(0);
    h.controller().importBackup();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Backup restored."));
    EXPECT_TRUE(h.probe().diskReadable());

    const QStringList copies = recoveryCopies(h);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Library-recovery-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.json$"))
                    .match(copies[0])
                    .hasMatch())
        << copies[0].toStdString();
    EXPECT_EQ(readAll(QFileInfo(h.libraryPath()).dir().filePath(copies[0])), QByteArray("{\"damaged\": true}"));

    const auto onDisk = Library::read(readAll(h.libraryPath()));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(*onDisk, h.controller().library());
    EXPECT_EQ(onDisk->history.size(), 2);
    EXPECT_EQ(h.controller().preferences().shortcutKey, Shortcut(101, 0, QStringLiteral("F9")));
    EXPECT_TRUE(h.controller().shortcutReady());
    EXPECT_EQ(h.hotKeys.live().back().code, 101u);
    EXPECT_EQ(h.speech.lookups, lookups + 1); // the restored locale is prepared

    // From now on changes are saved again, and no second recovery copy is made.
    Preferences changed = h.controller().preferences();
    changed.vocabulary = QStringLiteral("Saved");
    h.controller().setPreferences(changed);
    EXPECT_EQ(Library::read(readAll(h.libraryPath()))->preferences.vocabulary, QStringLiteral("Saved"));
    h.prompts.openAnswers.push_back(backupPath);
    h.prompts.alertAnswers.push_back(0);
    h.controller().importBackup();
    EXPECT_EQ(recoveryCopies(h).size(), 1);
}

TEST(BackupTest, RestoreKeepsTheCurrentShortcutWhenTheBackupsCannotBeRegistered)
{
    ControllerHarness h;
    h.make();
    const QString backupPath = h.path(QStringLiteral("backup.json"));
    writeBytes(backupPath, backupWith(QStringLiteral("en-US"), {QStringLiteral("one")}).encode());
    h.prompts.openAnswers.push_back(backupPath);
    h.prompts.alertAnswers.push_back(0);
    h.hotKeys.refuseNext = true;
    h.controller().importBackup();
    EXPECT_EQ(h.controller().message(),
              QStringLiteral("Backup restored. The saved shortcut was unavailable, so Talvex kept your current shortcut."));
    EXPECT_EQ(h.controller().preferences().shortcutKey, Shortcut::defaultShortcut());
    EXPECT_EQ(Library::read(readAll(h.libraryPath()))->preferences.shortcutKey, Shortcut::defaultShortcut());
    EXPECT_TRUE(h.controller().shortcutReady());
    EXPECT_EQ(h.controller().library().history.size(), 1);
}

TEST(BackupTest, FailedRestoreWriteChangesNothing)
{
    ControllerHarness h;
    h.make();
    // The library's folder cannot be created: a file stands where it should be.
    writeBytes(QFileInfo(h.libraryPath()).absolutePath(), "in the way");
    const QString backupPath = h.path(QStringLiteral("backup.json"));
    writeBytes(backupPath, backupWith(QStringLiteral("en-US"), {QStringLiteral("one")}).encode());
    h.prompts.openAnswers.push_back(backupPath);
    h.prompts.alertAnswers.push_back(0);
    h.controller().importBackup();
    ASSERT_TRUE(h.controller().message());
    EXPECT_FALSE(h.controller().message()->startsWith(QStringLiteral("Backup restored")));
    EXPECT_EQ(h.controller().library(), Library());
    EXPECT_TRUE(h.controller().shortcutReady());
    EXPECT_EQ(h.hotKeys.live().back().code, Shortcut::defaultShortcut().code()); // registered again
}

TEST(WordListTest, ImportReportsWhatItAdded)
{
    ControllerHarness h;
    h.make();
    const QString list = h.path(QStringLiteral("words.txt"));

    h.controller().importWordList(); // cancelled: nothing at all
    EXPECT_FALSE(h.controller().message());
    ASSERT_EQ(h.prompts.openRequests.size(), 1u);
    EXPECT_EQ(h.prompts.openRequests[0].title, QStringLiteral("Import Word List"));
    EXPECT_EQ(h.prompts.openRequests[0].confirmLabel, QStringLiteral("Import"));
    EXPECT_EQ(h.prompts.openRequests[0].fileTypes,
              (std::vector<PromptFileType>{PromptFileType::plainText, PromptFileType::commaSeparatedText,
                                           PromptFileType::tabSeparatedText}));

    writeBytes(list, "Quindlark\nTalvex\nPocketSphinx\n");
    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Added 3 vocabulary entries."));
    EXPECT_EQ(Library::read(readAll(h.libraryPath()))->preferences.vocabularyEntries().size(), 3);

    writeBytes(list, "talvex\nOpenbox\n");
    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Added 1 vocabulary entry."));

    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Those entries are already in your vocabulary."));

    writeBytes(list, "");
    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    ASSERT_TRUE(h.controller().message());
    EXPECT_FALSE(h.controller().message()->startsWith(QStringLiteral("Added")));
    EXPECT_EQ(h.controller().preferences().vocabularyEntries().size(), 4);

    h.prompts.openAnswers.push_back(h.path(QStringLiteral("no such file.txt")));
    h.controller().importWordList();
    ASSERT_TRUE(h.controller().message());
    EXPECT_TRUE(h.controller().message()->contains(QStringLiteral("no such file.txt")));
}

TEST(WordListTest, FilesThatCannotBeWordListsAreRefusedBeforeTheyAreRead)
{
    ControllerHarness h;
    h.make();
    const QString tooLarge = h.path(QStringLiteral("huge.txt"));
    writeBytes(tooLarge, "Talvex\n");
    // Sparse: the size is what is judged, so the test costs no disk and no memory.
    ASSERT_TRUE(QFile::resize(tooLarge, WordList::maximumFileBytes + 1));
    const QString largest = h.path(QStringLiteral("largest.txt"));
    writeBytes(largest, QByteArray("Quindlark\n").leftJustified(WordList::maximumFileBytes, ' '));
    const QString pipe = h.path(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0); // opening it would block for ever
    const QString folder = h.path(QStringLiteral("folder.txt"));
    QDir().mkpath(folder);

    const struct {
        QString file;
        QString message;
    } cases[] = {
        {tooLarge, QStringLiteral("This file is too large to be a word list (1025 KB; at most 1024 KB). Shorten the "
                                  "list and try again.")},
        {pipe, QStringLiteral("The file \u201Cpipe.txt\u201D couldn\u2019t be read: Not a regular file")},
        {folder, QStringLiteral("The file \u201Cfolder.txt\u201D couldn\u2019t be read: Not a regular file")},
        {largest, QStringLiteral("Added 1 vocabulary entry.")}, // the limit itself is accepted
    };
    for (const auto &c : cases) {
        h.prompts.openAnswers.push_back(c.file);
        h.controller().importWordList();
        EXPECT_EQ(h.controller().message(), c.message) << c.file.toStdString();
    }
    EXPECT_EQ(h.controller().preferences().vocabularyEntries(), QStringList{QStringLiteral("Quindlark")});
}

TEST(WordListTest, UnreadableLibraryRefusesNewEntriesOnly)
{
    ControllerHarness h;
    writeBytes(h.libraryPath(), "{}");
    h.make();
    Preferences changed = h.controller().preferences();
    changed.vocabulary = QStringLiteral("Talvex");
    h.controller().setPreferences(changed);

    const QString list = h.path(QStringLiteral("words.csv"));
    writeBytes(list, "Talvex\n");
    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Those entries are already in your vocabulary."));

    writeBytes(list, "Talvex,Quindlark\n");
    h.prompts.openAnswers.push_back(list);
    h.controller().importWordList();
    EXPECT_EQ(h.controller().message(), QStringLiteral("Restore your library before importing a word list."));
    EXPECT_EQ(h.controller().preferences().vocabularyEntries(), QStringList{QStringLiteral("Talvex")});
    EXPECT_EQ(readAll(h.libraryPath()), QByteArray("{}"));
}
