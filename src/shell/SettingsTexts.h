#pragma once

#include "platform/LoginItems.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace talvex::SettingsTexts {

/// One row of the language picker.
struct LanguageRow {
    QString identifier; ///< BCP 47, as stored in the preferences
    QString name;       ///< what the row shows

    friend bool operator==(const LanguageRow &, const LanguageRow &) = default;
};

/// The name of a BCP 47 language tag in the language of `displayLocale` (an ICU or Qt locale name
/// such as "en_US"): "English (United States)". The identifier itself when the language has no
/// name there or the tag cannot be read.
QString languageDisplayName(const QString &identifier, const QString &displayLocale);

/// The locale to name languages in: the user's, or English in a session without a language.
QString userDisplayLocale();

/// The recogniser's languages together with the current one, each once, in ascending string
/// order, each with its display name.
std::vector<LanguageRow> languageRows(const QStringList &locales, const QString &current,
                                      const QString &displayLocale);

/// "<shown> of 100 hints", where shown is the entry count up to the recogniser's limit.
QString vocabularyCount(qsizetype entries);
/// The note that only the first 100 entries are used, when there are more.
std::optional<QString> vocabularyNote(qsizetype entries);

/// The "Launch at Login" toggle: on while registered or waiting for the user's approval.
bool launchAtLoginIsOn(LoginItemStatus status);

/// The "Speech recognition" row.
QString speechSupport(bool speechReady);

} // namespace talvex::SettingsTexts
