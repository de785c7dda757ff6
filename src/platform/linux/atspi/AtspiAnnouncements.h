#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

class QDBusMessage;

namespace talvex::atspi {

/// Counts the caret moves and text changes that programs announce on the accessibility bus, by
/// program (bus name). Programs announce only what some client has registered for, so the counter
/// registers when it starts and deregisters when it stops: an idle process receives nothing.
class AtspiAnnouncements final : public QObject {
    Q_OBJECT
  public:
    explicit AtspiAnnouncements(QObject *parent = nullptr);
    ~AtspiAnnouncements() override;

    /// Registers for the events on `bus` and starts counting; false when the bus refused.
    bool start(QDBusConnection bus, int timeoutMs);
    /// Deregisters and stops counting; the counts stay readable.
    void stop();
    bool isRunning() const { return m_bus.has_value(); }

    /// Announcements by the program with `busName` since the counter was made.
    std::uint64_t count(const QString &busName) const { return m_counts.value(busName); }

  private Q_SLOTS:
    void announced(const QDBusMessage &message);

  private:
    std::optional<QDBusConnection> m_bus;
    int m_timeout = 0;
    QHash<QString, std::uint64_t> m_counts;
};

} // namespace talvex::atspi
