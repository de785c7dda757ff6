#pragma once

// Walks what a screen reader sees over AT-SPI: applications, their windows and controls, with
// names, roles, descriptions, states and on-screen extents.

#include "Accessibility.h"

#include <QDBusConnection>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace talvex::e2e {

class AccessibleTree final {
  public:
    AccessibleTree();
    ~AccessibleTree();
    AccessibleTree(const AccessibleTree &) = delete;
    AccessibleTree &operator=(const AccessibleTree &) = delete;

    bool isConnected() const { return m_bus.has_value(); }

    /// The registered applications owned by process `pid`.
    std::vector<AccessibleElement> applications(qint64 pid);
    std::vector<AccessibleElement> children(const AccessibleElement &element);
    QString name(const AccessibleElement &element);
    QString description(const AccessibleElement &element);
    /// The AT-SPI role number (atspi-constants.h), what a screen reader goes by.
    std::optional<unsigned> role(const AccessibleElement &element);
    /// Whether the element is on screen (the "showing" state).
    bool isShowing(const AccessibleElement &element);
    /// Extents in screen coordinates.
    std::optional<QRect> extents(const AccessibleElement &element);

    /// The first element under `root` (depth first, `root` included, at most `depth` levels) that
    /// `wanted` accepts.
    std::optional<AccessibleElement> find(const AccessibleElement &root,
                                          const std::function<bool(const AccessibleElement &)> &wanted,
                                          int depth = 8);

  private:
    std::optional<QDBusMessage> call(const AccessibleElement &element, const QString &interface,
                                     const QString &method, const QList<QVariant> &arguments = {});
    QVariant property(const AccessibleElement &element, const QString &name);

    std::optional<QDBusConnection> m_bus;
};

} // namespace talvex::e2e
