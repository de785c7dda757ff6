#pragma once

#include "desktop/Destination.h"
#include "platform/LanguageModelService.h"
#include "platform/Workspace.h"

#include <QString>

#include <exception>
#include <optional>

namespace talvex::ControllerTexts {

/// The sentence shown for a failure: the system's own sentence for a TalvexError, the platform's
/// description for a PlatformError, else the exception's text.
QString describe(const std::exception_ptr &failure);

/// The language model's readiness as a short text ("Ready", "Model is downloading", ...).
QString modelStatus(ModelAvailability availability);

/// The name a transcript records as its source: the application's name, else "Dictation".
QString sourceName(const std::optional<RunningApplication> &app);

/// The short result shown in the menu, settings and onboarding ("Paste confirmed", ...).
QString statusLabel(Destination::Delivery outcome);
/// The sentence for the message when the text stayed on the clipboard; absent otherwise.
std::optional<QString> deliveryNotice(Destination::Delivery outcome);
/// Whether the outcome left the text only on the clipboard.
bool needsAttention(Destination::Delivery outcome);

QString checkingModel();
QString preparingModel();
QString modelReady();
QString stillGettingReady();
/// No audio server answered: a dictation's failure and the onboarding's Microphone row.
QString soundServerUnreachable();
QString shortcutSaved(const QString &displayText);
QString editingShortcutReset(const QString &oldDisplayText, const QString &newDisplayText);

QString clickPracticeField();
QString practicePasteText();

QString libraryUnreadable();
QString changesInMemory();
QString couldNotSave(const QString &reason);
QString couldNotCreateFolder(const QString &folder);
QString couldNotRead(const QString &file, const QString &reason);
/// The reason given for a pipe, device or folder chosen where a file was expected.
QString notARegularFile();
QString couldNotCopy(const QString &from, const QString &to);
QString backupFileName();
QString backupExported();
QString backupRestored();
QString backupRestoredKeptShortcut();
QString restoreQuestion();
QString restoreExplanation();
QString restoreButton();
QString cancelButton();
/// "Library-recovery-" + a new upper-case UUID + ".json".
QString recoveryFileName();
QString importWordListTitle();
QString importButton();
QString entriesAlreadyPresent();
QString restoreBeforeImport();
QString entriesAdded(int count);

} // namespace talvex::ControllerTexts
