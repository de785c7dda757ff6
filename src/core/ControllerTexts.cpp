#include "ControllerTexts.h"

#include "platform/PlatformError.h"
#include "speech/LiveDictation.h"
#include "speech/TalvexError.h"

#include <QFileInfo>
#include <QUuid>

namespace talvex::ControllerTexts {

QString describe(const std::exception_ptr &failure)
{
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const TalvexException &error) {
        return errorDescription(error.error());
    } catch (const CaptureLost &lost) {
        return lost.problem() == MicrophoneProblem::noSoundServer ? soundServerUnreachable()
                                                                   : errorDescription(TalvexError::microphoneInput);
    } catch (const PlatformError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
    }
    return QStringLiteral("Something went wrong.");
}

QString modelStatus(ModelAvailability availability)
{
    switch (availability) {
    case ModelAvailability::available:
        return QStringLiteral("Ready");
    case ModelAvailability::deviceNotEligible:
        return QStringLiteral("This computer is not eligible");
    case ModelAvailability::notEnabled:
        return QStringLiteral("Local language model is off");
    case ModelAvailability::modelNotReady:
        return QStringLiteral("Model is downloading");
    case ModelAvailability::unavailable:
        break;
    }
    return QStringLiteral("Unavailable");
}

QString sourceName(const std::optional<RunningApplication> &app)
{
    if (app && app->name && !app->name->isEmpty())
        return *app->name;
    return QStringLiteral("Dictation");
}

QString statusLabel(Destination::Delivery outcome)
{
    switch (outcome) {
    case Destination::Delivery::inserted:
        return QStringLiteral("Paste confirmed");
    case Destination::Delivery::pasteRequested:
        return QStringLiteral("Paste sent; check the field");
    case Destination::Delivery::copiedBecausePermissionIsOff:
        return QStringLiteral("Automatic paste permission is off");
    case Destination::Delivery::copiedBecauseFocusChanged:
        return QStringLiteral("Focus moved before paste");
    case Destination::Delivery::copied:
        break;
    }
    return QStringLiteral("Paste didn\u2019t run");
}

std::optional<QString> deliveryNotice(Destination::Delivery outcome)
{
    switch (outcome) {
    case Destination::Delivery::inserted:
    case Destination::Delivery::pasteRequested:
        return std::nullopt;
    case Destination::Delivery::copiedBecausePermissionIsOff:
        return QStringLiteral(
            "Transcript copied. Enable Automatic Paste in Talvex Settings to insert it at the cursor.");
    case Destination::Delivery::copiedBecauseFocusChanged:
        return QStringLiteral("Transcript copied because the original text field lost focus.");
    case Destination::Delivery::copied:
        break;
    }
    return QStringLiteral("Talvex couldn\u2019t insert the transcript. It\u2019s on the clipboard.");
}

bool needsAttention(Destination::Delivery outcome)
{
    return outcome != Destination::Delivery::inserted && outcome != Destination::Delivery::pasteRequested;
}

QString checkingModel() { return QStringLiteral("Checking model\u2026"); }
QString preparingModel() { return QStringLiteral("Preparing the on-device model\u2026"); }
QString modelReady() { return QStringLiteral("Ready on this computer"); }

QString stillGettingReady()
{
    return QStringLiteral("Speech recognition is still getting ready. Try holding the shortcut again in a moment.");
}

QString soundServerUnreachable()
{
    return QStringLiteral("Talvex couldn\u2019t reach the sound server. Start PulseAudio or PipeWire, then try again.");
}

QString shortcutSaved(const QString &displayText) { return QStringLiteral("Shortcut saved: ") + displayText; }

QString editingShortcutReset(const QString &oldDisplayText, const QString &newDisplayText)
{
    return QStringLiteral("Talvex reset ") + oldDisplayText + QStringLiteral(" to ") + newDisplayText +
           QStringLiteral(" so the editing command works normally.");
}

QString clickPracticeField() { return QStringLiteral("Click inside the practice field first"); }
QString practicePasteText() { return QStringLiteral("Talvex paste test."); }

QString libraryUnreadable()
{
    return QStringLiteral(
        "Couldn\u2019t open the saved library. Talvex will leave that file untouched. Restore a backup to recover.");
}

QString changesInMemory()
{
    return QStringLiteral("The library could not be read. Changes are in memory until you restore a backup.");
}

QString couldNotSave(const QString &reason) { return QStringLiteral("Couldn\u2019t save the library: ") + reason; }

QString couldNotCreateFolder(const QString &folder)
{
    return QStringLiteral("The folder \u201C%1\u201D could not be created.").arg(folder);
}

QString couldNotRead(const QString &file, const QString &reason)
{
    return QStringLiteral("The file \u201C%1\u201D couldn\u2019t be read: %2").arg(QFileInfo(file).fileName(), reason);
}

QString notARegularFile()
{
    return QStringLiteral("Not a regular file");
}

QString couldNotCopy(const QString &from, const QString &to)
{
    return QStringLiteral("The file \u201C%1\u201D could not be copied to \u201C%2\u201D.").arg(from, to);
}

QString backupFileName() { return QStringLiteral("Talvex Backup.json"); }
QString backupExported() { return QStringLiteral("Backup exported."); }
QString backupRestored() { return QStringLiteral("Backup restored."); }

QString backupRestoredKeptShortcut()
{
    return QStringLiteral(
        "Backup restored. The saved shortcut was unavailable, so Talvex kept your current shortcut.");
}

QString restoreQuestion() { return QStringLiteral("Restore Talvex backup?"); }

QString restoreExplanation()
{
    return QStringLiteral("This replaces your settings and merges transcripts into your current history.");
}

QString restoreButton() { return QStringLiteral("Restore"); }
QString cancelButton() { return QStringLiteral("Cancel"); }

QString recoveryFileName()
{
    return QStringLiteral("Library-recovery-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
           QStringLiteral(".json");
}

QString importWordListTitle() { return QStringLiteral("Import Word List"); }
QString importButton() { return QStringLiteral("Import"); }
QString entriesAlreadyPresent() { return QStringLiteral("Those entries are already in your vocabulary."); }
QString restoreBeforeImport() { return QStringLiteral("Restore your library before importing a word list."); }

QString entriesAdded(int count)
{
    if (count == 1)
        return QStringLiteral("Added 1 vocabulary entry.");
    return QStringLiteral("Added %1 vocabulary entries.").arg(count);
}

} // namespace talvex::ControllerTexts
