#pragma once

#include "refine/WritingMode.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

namespace talvex {

/// One completed dictation in the history.
struct Transcript final {
    QUuid id = QUuid::createUuid();
    /// Seconds since 2001-01-01 00:00:00 UTC, at full double precision (what the file stores).
    double date = 0;
    /// As it reached the completion pipeline, before rewrite and replacements.
    QString original;
    /// What was delivered.
    QString text;
    /// Display name of the target application, or "Dictation".
    QString source;
    WritingMode mode = WritingMode::verbatim;

    /// A new record with a fresh id, dated now.
    static Transcript make(QString original, QString text, QString source, WritingMode mode);

    /// Now, as seconds since 2001-01-01 UTC (microsecond resolution).
    static double referenceNow();
    /// `date` as a UTC date-time (millisecond resolution, for display).
    QDateTime dateTime() const;
    /// Dates the decoder accepts: finite, between the years 1 and 9999.
    static bool isPlausibleDate(double seconds);

    /// {"date", "id", "mode", "original", "source", "text"}.
    QJsonObject toJson() const;
    /// All six members required with their JSON types; unknown members ignored.
    static std::optional<Transcript> fromJson(const QJsonValue &value, QString *error = nullptr);

    friend bool operator==(const Transcript &, const Transcript &) = default;
};

} // namespace talvex
