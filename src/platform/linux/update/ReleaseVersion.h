#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace talvex::update {

/// A release number: one to four dot-separated decimal parts ("0.2.0", "1.10"). Missing parts count
/// as zero, so "1.2" and "1.2.0" are the same release.
class ReleaseVersion final {
  public:
    /// Absent for anything else (signs, letters, empty parts, parts above 999999).
    static std::optional<ReleaseVersion> parse(const QString &text);

    const QString &text() const { return m_text; }
    int compare(const ReleaseVersion &other) const;

    friend bool operator<(const ReleaseVersion &a, const ReleaseVersion &b) { return a.compare(b) < 0; }
    friend bool operator==(const ReleaseVersion &a, const ReleaseVersion &b) { return a.compare(b) == 0; }

  private:
    QString m_text;
    QList<int> m_parts;
};

} // namespace talvex::update
