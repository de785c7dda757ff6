#include "PreferenceEdits.h"

#include <algorithm>
#include <utility>

namespace talvex::PreferenceEdits {

namespace {

WordReplacement *replacement(Preferences &preferences, const QUuid &id)
{
    const auto found = std::find_if(preferences.replacements.begin(), preferences.replacements.end(),
                                    [&](const WordReplacement &rule) { return rule.id == id; });
    return found == preferences.replacements.end() ? nullptr : &*found;
}

} // namespace

QString trimmedApplicationID(const QString &typed)
{
    return typed.trimmed();
}

bool canAddRule(const QString &typed)
{
    return !trimmedApplicationID(typed).isEmpty();
}

Preferences withRule(Preferences preferences, const QString &typed, WritingMode mode)
{
    const QString id = trimmedApplicationID(typed);
    if (!id.isEmpty())
        preferences.appModes.insert(id, mode);
    return preferences;
}

Preferences withoutRule(Preferences preferences, const QString &applicationID)
{
    preferences.appModes.remove(applicationID);
    return preferences;
}

Preferences withNewReplacement(Preferences preferences, QUuid *id)
{
    WordReplacement rule;
    if (id)
        *id = rule.id;
    preferences.replacements.append(std::move(rule));
    return preferences;
}

Preferences withReplacementSpoken(Preferences preferences, const QUuid &id, const QString &spoken)
{
    if (WordReplacement *rule = replacement(preferences, id))
        rule->spoken = spoken;
    return preferences;
}

Preferences withReplacementWritten(Preferences preferences, const QUuid &id, const QString &written)
{
    if (WordReplacement *rule = replacement(preferences, id))
        rule->written = written;
    return preferences;
}

Preferences withoutReplacement(Preferences preferences, const QUuid &id)
{
    preferences.replacements.removeIf([&](const WordReplacement &rule) { return rule.id == id; });
    return preferences;
}

} // namespace talvex::PreferenceEdits
