#pragma once

// Reads and works the accessibility tree of a program over AT-SPI, as a screen reader does. Calls
// keep the caller's event loop running, so a program may read its own windows this way.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvex::test {

/// AT-SPI roles and states used by the tests (atspi-constants.h).
namespace AtspiRole {
inline constexpr std::uint32_t checkBox = 7;
inline constexpr std::uint32_t label = 29;
inline constexpr std::uint32_t comboBox = 11;
inline constexpr std::uint32_t pageTab = 37;
inline constexpr std::uint32_t pushButton = 43;
inline constexpr std::uint32_t text = 61;
} // namespace AtspiRole
namespace AtspiState {
inline constexpr int checked = 4;
inline constexpr int focused = 12;
inline constexpr int selected = 23;
inline constexpr int showing = 25;
} // namespace AtspiState

struct AtspiNode {
    QString bus;
    QString path;
};

class AtspiClient final {
  public:
    AtspiClient();
    ~AtspiClient();

    bool isConnected() const { return m_bus.isConnected(); }

    /// The application object of the process `pid`, once it has registered.
    std::optional<AtspiNode> application(std::int64_t pid);
    /// The first node under `root` (depth first) with this role and name, showing or not.
    std::optional<AtspiNode> find(const AtspiNode &root, std::uint32_t role, const QString &name);

    std::vector<AtspiNode> children(const AtspiNode &node);
    std::optional<std::uint32_t> role(const AtspiNode &node);
    QString name(const AtspiNode &node);
    bool hasState(const AtspiNode &node, int state);
    /// Runs the action of that name ("Toggle", "Press", ...); false when the node has none.
    bool doAction(const AtspiNode &node, const QString &action);
    /// The control a label names (its "label for" relation), as a screen reader announces it:
    /// Qt names a picker by its value and ties the label to it this way.
    std::optional<AtspiNode> labelled(const AtspiNode &label);
    bool grabFocus(const AtspiNode &node);

  private:
    std::optional<QDBusMessage> call(const AtspiNode &node, const QString &interface, const QString &method,
                                     const QList<QVariant> &arguments = {});

    QString m_name;
    QDBusConnection m_bus;
};

} // namespace talvex::test
