#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusServiceWatcher;

namespace talvex {

/// Follows the StatusNotifier watcher on the session bus: whether it owns its name and whether it
/// reports a registered host (a panel that shows StatusNotifier items). Only asynchronous calls, so
/// a slow or stuck watcher never blocks the application.
class StatusNotifierHostWatch final : public QObject {
    Q_OBJECT
  public:
    static constexpr auto watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr auto watcherPath = "/StatusNotifierWatcher";

    explicit StatusNotifierHostWatch(QDBusConnection bus, QObject *parent = nullptr);
    ~StatusNotifierHostWatch() override;

    /// Asks once now; from then on every change is reported.
    void start();

  signals:
    /// The watcher's presence or its host changed (also the first answer after start()).
    void stateChanged(bool watcherPresent, bool hostRegistered);

  private slots:
    void hostsChanged();

  private:
    void ownerChanged(const QString &newOwner);
    void queryOwner();
    void queryHost();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_serviceWatcher = nullptr;
    /// Answers to older questions arrive after newer events; only the newest question counts.
    quint64 m_question = 0;
};

} // namespace talvex
