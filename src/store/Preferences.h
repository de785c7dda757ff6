#pragma once

#include "WordList.h"
#include "WordReplacement.h"
#include "desktop/Shortcut.h"
#include "refine/WritingMode.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace talvex {

/// Every user setting. A plain value: the live one is the library's, dictations work on copies.
struct Preferences final {
    /// Most vocabulary entries handed to the recogniser, and most an import may bring the list to.
    static constexpr qsizetype vocabularyLimit = 100;

    QString locale = QStringLiteral("en-US");
    WritingMode mode = WritingMode::verbatim;
    Shortcut shortcutKey = Shortcut::defaultShortcut();
    bool retainHistory = true;
    QString vocabulary;
    QList<WordReplacement> replacements;
    /// Application ID -> mode for dictation into that application.
    QMap<QString, WritingMode> appModes;

    /// All seven members, every time.
    QJsonObject toJson() const;
    /// Strict: all seven members required with their exact JSON types and mode strings; unknown
    /// members ignored; no per-member defaults. The shortcut accepts its legacy strings.
    static std::optional<Preferences> fromJson(const QJsonValue &value, QString *error = nullptr);

    /// The vocabulary's lines, trimmed, blank ones dropped, repeats (under full case folding) dropped;
    /// first spelling wins, order kept.
    QStringList vocabularyEntries() const;
    /// The first 100 vocabulary entries: the recogniser's hints.
    QStringList contextWords() const;

    /// `text` with the replacement rules applied in list order.
    QString applyingReplacements(const QString &text) const;

    /// Merges the entries of a word-list file's text into `vocabulary` and returns how many were new
    /// (0 leaves everything as it was). All or nothing: on failure (invalidQuotes, empty, overLimit)
    /// returns nothing, fills `error` and leaves `vocabulary` unchanged.
    std::optional<qsizetype> importVocabulary(const QString &text, WordList::ImportError *error = nullptr);

    /// The mode for one dictation: verbatim into the practice field, else the rule for the target's
    /// application ID (exact match), else `mode`.
    WritingMode modeForDictation(const std::optional<QString> &applicationId, bool practiceField = false) const;

    friend bool operator==(const Preferences &, const Preferences &) = default;
};

} // namespace talvex
