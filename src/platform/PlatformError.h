#pragma once

#include <QString>

#include <stdexcept>

namespace talvex {

/// A failure reported by a platform service (audio server, recogniser, file system, ...). It travels
/// to the controller unchanged and is shown with its own description. Asynchronous operations that
/// "can fail" throw it (or TalvexException for the system's own failures).
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description) {}

    /// The sentence shown to the user.
    const QString &description() const { return m_description; }

private:
    QString m_description;
};

} // namespace talvex
