#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace talvex {

/// One spoken-to-written rule: whole words, case-insensitive, `written` inserted as typed.
struct WordReplacement final {
    QUuid id = QUuid::createUuid();
    QString spoken;
    QString written;

    /// The ICU pattern of this rule: the trimmed spoken form, escaped, between a negative look-behind
    /// and a negative look-ahead on letters, numbers and underscore. Empty for a blank spoken form.
    QString pattern() const;

    /// {"id", "spoken", "written"}; the id in upper-case canonical form.
    QJsonObject toJson() const;
    /// All three members required, extra members ignored, either UUID case accepted.
    static std::optional<WordReplacement> fromJson(const QJsonValue &value, QString *error = nullptr);

    friend bool operator==(const WordReplacement &, const WordReplacement &) = default;
};

/// `text` with every rule applied in list order, each to the previous rule's output. A rule matches
/// its trimmed spoken form literally and case-insensitively, never next to a letter, number or
/// underscore. Rules that are blank or cannot be compiled are skipped.
QString applyReplacements(const QList<WordReplacement> &rules, const QString &text);

} // namespace talvex
