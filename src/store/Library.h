#pragma once

#include "Preferences.h"
#include "Transcript.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace talvex {

/// The one persisted document: settings and history. Also the backup format.
struct Library final {
    static constexpr int currentVersion = 1;

    int version = currentVersion;
    Preferences preferences;
    /// Newest first.
    QList<Transcript> history;

    /// Pretty-printed UTF-8 JSON, members sorted by name, no byte-order mark.
    QByteArray encode() const;

    /// Strict decoding: every member required with its JSON type, unknown members ignored. Does not
    /// check the version. On failure fills `error` with a sentence for the user.
    static std::optional<Library> decode(const QByteArray &json, QString *error = nullptr);
    /// decode() and then the version check, which fails with the backupVersion sentence; so does a
    /// document that does not decode but names another version.
    static std::optional<Library> read(const QByteArray &json, QString *error = nullptr);

    /// Replaces the file at `path` atomically (a temporary file in the same folder, flushed to disk,
    /// renamed over it), readable by the owner only; a link at `path` is followed. On failure fills
    /// `error` with the file system's description and leaves any existing file as it was.
    bool write(const QString &path, QString *error = nullptr) const;

    /// Deletes what an interrupted write() of `path` can leave beside it: the temporary file of a
    /// process killed before its rename ("Library.json.saving-AbCdEf"). Only names of exactly that
    /// form are touched. Returns how many were removed.
    static int removeInterruptedWrites(const QString &path);

    /// Merges a backup: its preferences replace these, its transcripts with unknown ids are added,
    /// and the history is sorted newest first, current entries ahead of restored ones on equal dates.
    void restore(const Library &backup);

    /// Inserts `transcript` at the front when history is kept; returns whether it was added (and so
    /// whether the library needs saving).
    bool addTranscript(const Transcript &transcript);

    friend bool operator==(const Library &, const Library &) = default;
};

} // namespace talvex
