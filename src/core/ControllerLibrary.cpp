// The library file: loading and protecting it, saving after every change, backups and word-list
// import.
#include "DictationController.h"
#include "core/ControllerTexts.h"
#include "platform/PlatformError.h"
#include "store/WordList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace talvex {

// --- The library.

void DictationController::loadLibrary()
{
    // A save cut off by a crash or a kill leaves at most its temporary file; the library itself is
    // replaced only by a rename, so it is the old or the new document.
    Library::removeInterruptedWrites(m_libraryPath);
    if (!QFileInfo::exists(m_libraryPath))
        return;
    QFile file(m_libraryPath);
    std::optional<Library> stored;
    if (file.open(QIODevice::ReadOnly))
        stored = Library::read(file.readAll());
    if (stored) {
        m_library = *stored;
        return;
    }
    // Leave the file exactly as it is: it may be from a newer version or repairable by hand.
    m_diskReadable = false;
    m_message = ControllerTexts::libraryUnreadable();
}

void DictationController::setPreferences(const Preferences &preferences)
{
    const bool localeChanged = preferences.locale != m_library.preferences.locale;
    Library changed = m_library;
    changed.preferences = preferences;
    setLibrary(changed);
    if (localeChanged)
        prepareSpeech();
    save();
}

void DictationController::save()
{
    if (!m_diskReadable) {
        setMessage(ControllerTexts::changesInMemory());
        return;
    }
    try {
        persist(m_library);
    } catch (...) {
        setMessage(ControllerTexts::couldNotSave(ControllerTexts::describe(std::current_exception())));
    }
}

void DictationController::persist(const Library &library)
{
    const QString folder = QFileInfo(m_libraryPath).absolutePath();
    if (!QDir().mkpath(folder))
        throw PlatformError(ControllerTexts::couldNotCreateFolder(folder));
    QString error;
    if (!library.write(m_libraryPath, &error))
        throw PlatformError(error);
}

void DictationController::exportBackup()
{
    FilePanelRequest panel;
    panel.fileTypes = {PromptFileType::json};
    panel.proposedName = ControllerTexts::backupFileName();
    const auto location = m_services.prompts->chooseSaveLocation(panel);
    if (!location || location->isEmpty())
        return;
    // Exporting onto the unreadable library file would replace it, which only a restore may do and
    // only after keeping a copy: keep one here too.
    const QString libraryFile = QFileInfo(m_libraryPath).canonicalFilePath();
    if (!m_diskReadable && !libraryFile.isEmpty() &&
        QFileInfo(*location).canonicalFilePath() == libraryFile) {
        const QString recovery = QFileInfo(m_libraryPath).dir().filePath(ControllerTexts::recoveryFileName());
        if (!QFile::copy(m_libraryPath, recovery)) {
            setMessage(ControllerTexts::couldNotCopy(m_libraryPath, recovery));
            return;
        }
    }
    QString error;
    if (m_library.write(*location, &error))
        setMessage(ControllerTexts::backupExported());
    else
        setMessage(error);
}

void DictationController::importBackup()
{
    FilePanelRequest panel;
    panel.fileTypes = {PromptFileType::json};
    const auto location = m_services.prompts->chooseOpenLocation(panel);
    if (!location || location->isEmpty())
        return;

    try {
        QFile file(*location);
        if (!file.open(QIODevice::ReadOnly))
            throw PlatformError(ControllerTexts::couldNotRead(*location, file.errorString()));
        QString decodingError;
        const std::optional<Library> backup = Library::read(file.readAll(), &decodingError);
        if (!backup)
            throw PlatformError(decodingError);

        AlertRequest alert;
        alert.messageText = ControllerTexts::restoreQuestion();
        alert.informativeText = ControllerTexts::restoreExplanation();
        alert.buttons = {ControllerTexts::restoreButton(), ControllerTexts::cancelButton()};
        if (m_services.prompts->alert(alert) != 0)
            return;

        if (!m_diskReadable && QFileInfo::exists(m_libraryPath)) {
            // Keep the unreadable file: the user may still get something out of it.
            const QString recovery =
                QFileInfo(m_libraryPath).dir().filePath(ControllerTexts::recoveryFileName());
            if (!QFile::copy(m_libraryPath, recovery))
                throw PlatformError(ControllerTexts::couldNotCopy(m_libraryPath, recovery));
        }

        Library merged = m_library;
        merged.restore(*backup);
        const Shortcut current = m_library.preferences.shortcutKey;
        const bool registered = m_shortcut->registerShortcut(merged.preferences.shortcutKey);
        if (!registered)
            merged.preferences.shortcutKey = current;

        try {
            persist(merged);
        } catch (...) {
            setShortcutReady(m_shortcut->registerShortcut(current));
            throw;
        }

        m_diskReadable = true;
        setLibrary(merged);
        setShortcutReady(m_shortcut->registerShortcut(m_library.preferences.shortcutKey));
        prepareSpeech();
        setMessage(registered ? ControllerTexts::backupRestored()
                              : ControllerTexts::backupRestoredKeptShortcut());
    } catch (...) {
        setMessage(ControllerTexts::describe(std::current_exception()));
    }
}

void DictationController::importWordList()
{
    FilePanelRequest panel;
    panel.title = ControllerTexts::importWordListTitle();
    panel.confirmLabel = ControllerTexts::importButton();
    panel.fileTypes = {PromptFileType::plainText, PromptFileType::commaSeparatedText,
                       PromptFileType::tabSeparatedText};
    const auto location = m_services.prompts->chooseOpenLocation(panel);
    if (!location || location->isEmpty())
        return;

    // Judged by size before a byte is read: a huge file must not be pulled into memory to find out
    // that it cannot fit the vocabulary, and a pipe or device would block the interface.
    const QFileInfo info(*location);
    if (info.exists() && !info.isFile()) {
        setMessage(ControllerTexts::couldNotRead(*location, ControllerTexts::notARegularFile()));
        return;
    }
    if (info.size() > WordList::maximumFileBytes) {
        setMessage(WordList::ImportError::tooLarge(info.size()).description());
        return;
    }
    QFile file(*location);
    if (!file.open(QIODevice::ReadOnly)) {
        setMessage(ControllerTexts::couldNotRead(*location, file.errorString()));
        return;
    }
    // The file may have grown since it was measured.
    const QByteArray bytes = file.read(WordList::maximumFileBytes + 1);
    if (bytes.size() > WordList::maximumFileBytes) {
        setMessage(WordList::ImportError::tooLarge(std::max(file.size(), qint64(bytes.size()))).description());
        return;
    }
    QString decodingError;
    const std::optional<QString> text = WordList::decodeText(bytes, &decodingError);
    if (!text) {
        setMessage(decodingError);
        return;
    }

    Library imported = m_library;
    WordList::ImportError importError;
    const std::optional<qsizetype> added = imported.preferences.importVocabulary(*text, &importError);
    if (!added) {
        setMessage(importError.description());
        return;
    }
    if (*added < 1) {
        setMessage(ControllerTexts::entriesAlreadyPresent());
        return;
    }
    if (!m_diskReadable) {
        setMessage(ControllerTexts::restoreBeforeImport());
        return;
    }
    try {
        persist(imported);
    } catch (...) {
        setMessage(ControllerTexts::describe(std::current_exception()));
        return;
    }
    setLibrary(imported);
    setMessage(ControllerTexts::entriesAdded(*added));
}

} // namespace talvex
