#pragma once

#include <QDBusConnection>
#include <QString>

namespace talvex {

/// Tells the user once, through a desktop notification, that Talvex runs without a tray icon and how
/// to reach it anyway. Fire and forget: without a notification server the sentence goes to the log.
class MissingTrayNotice final {
  public:
    explicit MissingTrayNotice(QDBusConnection bus) : m_bus(std::move(bus)) {}

    /// Shows the notice; later calls do nothing.
    void show(const QString &shortcutLabel);

    static QString summary();
    static QString body(const QString &shortcutLabel);

  private:
    QDBusConnection m_bus;
    bool m_shown = false;
};

} // namespace talvex
