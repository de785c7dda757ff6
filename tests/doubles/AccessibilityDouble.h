#pragma once

#include "Accessibility.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace talvex::test {

/// Accessibility with a scripted desktop: per-process focus and windows, per-element id, password
/// role and selection. Counts trust requests.
class AccessibilityDouble final : public Accessibility {
public:
    struct Element {
        std::optional<QString> identifier;
        bool secure = false;
        std::optional<TextRange> range;
        bool terminal = false;
    };

    bool trusted = true;
    /// A request turns the service on, as turning the accessibility bus on does.
    bool grantOnRequest = false;
    int trustRequests = 0;
    std::map<std::int32_t, AccessibleElement> focused;  ///< focused element by pid
    std::map<std::int32_t, AccessibleElement> windows;  ///< focused window by pid
    std::optional<AccessibleElement> systemFocused;
    std::map<QString, std::int32_t> processes;          ///< owning pid by bus name
    /// What the quick focus question answers: by default whether the element is still the focused
    /// one (or focused window) of some program. Scripted answers for an element come first, one
    /// per question, absent = no answer; `quickAnswersRepeat` keeps repeating the last one.
    std::map<std::pair<QString, QString>, std::vector<std::optional<bool>>> quickAnswers;
    bool quickAnswersRepeat = false;
    /// Every quick question asked, with the bound it allowed.
    std::vector<int> quickBounds;
    /// Searches for a focused element or window so far (the slow questions).
    int lookups = 0;
    /// Caret watches running now, and the most ever running at once.
    int watches = 0;
    int mostWatches = 0;
    /// Caret and text announcements by bus name; tests bump them as a program would.
    std::map<QString, std::uint64_t> announcements;

    Element &element(const AccessibleElement &e) { return m_elements[{e.busName, e.objectPath}]; }

    bool isTrusted() override { return trusted; }
    bool requestTrust() override
    {
        ++trustRequests;
        if (grantOnRequest)
            trusted = true;
        return trusted;
    }
    std::optional<AccessibleElement> focusedElement(std::int32_t pid) override
    {
        ++lookups;
        return find(focused, pid);
    }
    std::optional<AccessibleElement> systemFocusedElement() override
    {
        ++lookups;
        return systemFocused;
    }
    std::optional<std::int32_t> processIdentifier(const AccessibleElement &e) override
    {
        auto it = processes.find(e.busName);
        return it == processes.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<AccessibleElement> focusedWindow(std::int32_t pid) override
    {
        ++lookups;
        return find(windows, pid);
    }
    std::optional<QString> identifier(const AccessibleElement &e) override { return element(e).identifier; }
    bool isSecureTextField(const AccessibleElement &e) override { return element(e).secure; }
    bool isTerminal(const AccessibleElement &e) override { return element(e).terminal; }
    std::optional<TextRange> selectedRange(const AccessibleElement &e) override { return element(e).range; }
    std::optional<bool> stillHolds(const AccessibleElement &e, FocusHold what, int boundMs) override
    {
        quickBounds.push_back(boundMs);
        if (auto it = quickAnswers.find({e.busName, e.objectPath}); it != quickAnswers.end() && !it->second.empty()) {
            const std::optional<bool> answer = it->second.front();
            if (!quickAnswersRepeat || it->second.size() > 1)
                it->second.erase(it->second.begin());
            return answer;
        }
        const auto &holders = what == FocusHold::field ? focused : windows;
        return std::any_of(holders.begin(), holders.end(), [&e](const auto &entry) { return entry.second == e; });
    }

    void beginCaretWatch() override { mostWatches = std::max(mostWatches, ++watches); }
    void endCaretWatch() override { --watches; }
    std::uint64_t caretAnnouncements(const AccessibleElement &e) override { return announcements[e.busName]; }

private:
    static std::optional<AccessibleElement> find(const std::map<std::int32_t, AccessibleElement> &map, std::int32_t pid)
    {
        auto it = map.find(pid);
        return it == map.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::pair<QString, QString>, Element> m_elements;
};

} // namespace talvex::test
