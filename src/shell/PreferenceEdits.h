#pragma once

#include "store/Preferences.h"

#include <QString>
#include <QUuid>
#include <optional>

namespace talvex::PreferenceEdits {

/// The typed application ID without the white space and line breaks around it; nothing else is
/// normalised (letter case stays).
QString trimmedApplicationID(const QString &typed);
/// "Add" is possible once something other than white space was typed.
bool canAddRule(const QString &typed);

/// The preferences with the rule for the typed application ID set to `mode`, replacing any rule
/// for that ID. Unchanged when nothing can be added.
Preferences withRule(Preferences preferences, const QString &typed, WritingMode mode);
Preferences withoutRule(Preferences preferences, const QString &applicationID);

/// The preferences with a new, empty replacement at the end; its id goes to `id` when given.
Preferences withNewReplacement(Preferences preferences, QUuid *id = nullptr);
/// One side of the replacement with that id changed; unchanged when there is none.
Preferences withReplacementSpoken(Preferences preferences, const QUuid &id, const QString &spoken);
Preferences withReplacementWritten(Preferences preferences, const QUuid &id, const QString &written);
Preferences withoutReplacement(Preferences preferences, const QUuid &id);

} // namespace talvex::PreferenceEdits
