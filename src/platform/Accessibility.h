#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace talvex {

/// One accessible object of another program. Two handles are the same element exactly when they
/// name the same object (owner connection and object path): equality is identity.
struct AccessibleElement {
    QString busName;
    QString objectPath;

    friend bool operator==(const AccessibleElement &, const AccessibleElement &) = default;
};

/// A text selection in code points: the caret is a range of length 0.
struct TextRange {
    std::int64_t location = 0;
    std::int64_t length = 0;

    friend bool operator==(const TextRange &, const TextRange &) = default;
};

/// What a quick focus question asks of an element: that a field still has keyboard focus, or that a
/// window is still the active one.
enum class FocusHold { field, window };

/// Reads other programs' focused fields through the desktop's accessibility service. Every read is
/// synchronous, bounded in time, and answers "absent" rather than failing.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    /// True when this process may read other programs' elements (the service is reachable and on).
    virtual bool isTrusted() = 0;

    /// Asks for trust: turns the accessibility service on when it is off. Programs started before
    /// that may stay invisible until they restart. Returns whether the service is now on.
    virtual bool requestTrust() = 0;

    /// The element with keyboard focus inside the program with process id `pid`; absent when the
    /// program is unknown to the service or reports no focus.
    virtual std::optional<AccessibleElement> focusedElement(std::int32_t pid) = 0;

    /// The element with keyboard focus on the whole desktop, in whichever program; absent if none.
    virtual std::optional<AccessibleElement> systemFocusedElement() = 0;

    /// The process id of the program that owns `element`; absent when it cannot be told.
    virtual std::optional<std::int32_t> processIdentifier(const AccessibleElement &element) = 0;

    /// The focused (active) window element of the program with process id `pid`.
    virtual std::optional<AccessibleElement> focusedWindow(std::int32_t pid) = 0;

    /// The element's accessible id (a stable developer-given name); absent when it has none.
    /// May be empty; callers treat empty as absent.
    virtual std::optional<QString> identifier(const AccessibleElement &element) = 0;

    /// True when the element is a password field, whose text must never be typed or pasted into.
    virtual bool isSecureTextField(const AccessibleElement &element) = 0;

    /// True when the element is a terminal emulator's screen, which pastes with its own keys.
    virtual bool isTerminal(const AccessibleElement &element) = 0;

    /// The element's current selection (caret = length 0) in code points; absent when the element
    /// has no text or cannot be asked.
    virtual std::optional<TextRange> selectedRange(const AccessibleElement &element) = 0;

    /// One quick question asked while paste keys are held: whether the field `element` still has
    /// keyboard focus, or the window `element` is still the active one. The program gets at most
    /// `boundMs` to answer; absent when it did not, so a slow program never keeps a key down long.
    virtual std::optional<bool> stillHolds(const AccessibleElement &element, FocusHold what, int boundMs) = 0;

    /// Starts counting the caret moves and text changes that programs announce. The service sends
    /// them only while someone listens, so this runs only during a delivery: an idle process pays
    /// nothing. Calls nest; each is matched by endCaretWatch().
    virtual void beginCaretWatch() = 0;
    virtual void endCaretWatch() = 0;
    /// Caret moves and text changes announced so far by the program that owns `element`; only
    /// the difference of two readings during one watch means anything.
    virtual std::uint64_t caretAnnouncements(const AccessibleElement &element) = 0;
};

} // namespace talvex
