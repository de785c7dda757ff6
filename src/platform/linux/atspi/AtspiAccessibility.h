#pragma once

#include "Accessibility.h"

#include <QDBusConnection>
#include <QHash>

#include <functional>
#include <memory>
#include <vector>

class QDBusMessage;

namespace talvex::atspi {

class AtspiAnnouncements;

/// Accessibility through AT-SPI 2 on its own D-Bus bus, spoken directly with QtDBus. Elements are
/// (bus name, object path); offsets come from the Text interface in characters (code points).
/// Every call is synchronous with a short timeout, so a hung program costs at most that.
class AtspiAccessibility final : public Accessibility {
public:
    /// Uses the session bus to find the accessibility bus; nothing is connected until first use.
    explicit AtspiAccessibility(int callTimeoutMs = 500);
    ~AtspiAccessibility() override;

    bool isTrusted() override;
    bool requestTrust() override;
    std::optional<AccessibleElement> focusedElement(std::int32_t pid) override;
    std::optional<AccessibleElement> systemFocusedElement() override;
    std::optional<std::int32_t> processIdentifier(const AccessibleElement &element) override;
    std::optional<AccessibleElement> focusedWindow(std::int32_t pid) override;
    std::optional<QString> identifier(const AccessibleElement &element) override;
    bool isSecureTextField(const AccessibleElement &element) override;
    bool isTerminal(const AccessibleElement &element) override;
    std::optional<TextRange> selectedRange(const AccessibleElement &element) override;
    std::optional<bool> stillHolds(const AccessibleElement &element, FocusHold what, int boundMs) override;
    void beginCaretWatch() override;
    void endCaretWatch() override;
    std::uint64_t caretAnnouncements(const AccessibleElement &element) override;

    /// The active window (frame) of the whole desktop, its owner's pid and its application's
    /// accessible name, for desktops that tell no program which window is in front.
    struct ActiveFrame {
        AccessibleElement frame;
        std::int32_t pid = 0;
        QString applicationName;
    };
    std::optional<ActiveFrame> activeFrame();

private:
    /// The accessibility bus, connected on demand; absent when it cannot be reached.
    std::optional<QDBusConnection> bus();
    std::optional<QDBusMessage> call(const AccessibleElement &element, const QString &interface, const QString &method,
                                     const QList<QVariant> &arguments = {}, std::optional<int> timeoutMs = {});
    std::optional<QVariant> property(const AccessibleElement &element, const QString &interface, const QString &name);
    std::vector<AccessibleElement> children(const AccessibleElement &element);
    std::optional<std::uint64_t> states(const AccessibleElement &element, std::optional<int> timeoutMs = {});
    std::optional<unsigned> role(const AccessibleElement &element);
    std::vector<AccessibleElement> applications(std::optional<std::int32_t> pid);
    /// True when `application`'s connection, owned by process `owner`, comes through a D-Bus proxy
    /// (as a sandboxed program's does).
    bool connectsThroughProxy(const AccessibleElement &application, std::int32_t owner);
    std::optional<AccessibleElement> activeWindow(const AccessibleElement &application);
    std::optional<AccessibleElement> lastWindowIfStillActive(std::int32_t pid);
    std::optional<AccessibleElement> focusedIn(const AccessibleElement &window);
    std::optional<AccessibleElement> findFocused(const AccessibleElement &root);
    std::optional<AccessibleElement> lastFieldIfStillFocused(const AccessibleElement &window);
    AccessibleElement innermostFocused(AccessibleElement element);
    TextRange inCodePoints(const AccessibleElement &element, TextRange range);

    int m_timeout;
    QString m_connectionName;
    bool m_connected = false;
    QHash<QString, std::int32_t> m_pids; ///< owner pid by bus name; bus names are never reused
    QHash<QString, bool> m_proxied; ///< whether a program connects through a proxy, by bus name
    /// The active window found last for a program, by the pid it was asked for.
    struct LastWindow {
        std::int32_t pid = 0;
        AccessibleElement window;
    };
    std::optional<LastWindow> m_lastWindow;
    /// The focused field focusedElement() found last, and the window it was found in.
    struct LastField {
        AccessibleElement window;
        AccessibleElement element;
    };
    std::optional<LastField> m_lastField;
    std::unique_ptr<AtspiAnnouncements> m_announcements;
    int m_caretWatches = 0;
};

} // namespace talvex::atspi
