#pragma once

#include "Accessibility.h"

#include <map>
#include <utility>

namespace talvex::test {

/// Accessibility with a scripted desktop: per-process focus and windows, per-element id, password
/// role and selection. Counts trust requests.
class AccessibilityDouble final : public Accessibility {
public:
    struct Element {
        std::optional<QString> identifier;
        bool secure = false;
        std::optional<TextRange> range;
    };

    bool trusted = true;
    /// A request turns the service on, as turning the accessibility bus on does.
    bool grantOnRequest = false;
    int trustRequests = 0;
    std::map<std::int32_t, AccessibleElement> focused;  ///< focused element by pid
    std::map<std::int32_t, AccessibleElement> windows;  ///< focused window by pid
    std::optional<AccessibleElement> systemFocused;
    std::map<QString, std::int32_t> processes;          ///< owning pid by bus name

    Element &element(const AccessibleElement &e) { return m_elements[{e.busName, e.objectPath}]; }

    bool isTrusted() override { return trusted; }
    bool requestTrust() override
    {
        ++trustRequests;
        if (grantOnRequest)
            trusted = true;
        return trusted;
    }
    std::optional<AccessibleElement> focusedElement(std::int32_t pid) override { return find(focused, pid); }
    std::optional<AccessibleElement> systemFocusedElement() override { return systemFocused; }
    std::optional<std::int32_t> processIdentifier(const AccessibleElement &e) override
    {
        auto it = processes.find(e.busName);
        return it == processes.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<AccessibleElement> focusedWindow(std::int32_t pid) override { return find(windows, pid); }
    std::optional<QString> identifier(const AccessibleElement &e) override { return element(e).identifier; }
    bool isSecureTextField(const AccessibleElement &e) override { return element(e).secure; }
    std::optional<TextRange> selectedRange(const AccessibleElement &e) override { return element(e).range; }

private:
    static std::optional<AccessibleElement> find(const std::map<std::int32_t, AccessibleElement> &map, std::int32_t pid)
    {
        auto it = map.find(pid);
        return it == map.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::pair<QString, QString>, Element> m_elements;
};

} // namespace talvex::test
