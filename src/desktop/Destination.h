#pragma once

#include "Accessibility.h"
#include "CancellationToken.h"
#include "Clipboard.h"
#include "Clock.h"
#include "KeyboardPoster.h"
#include "Workspace.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace talvex {

class PasteChord;

/// The services a destination captures and delivers through. They outlive every Destination.
struct DeliveryServices {
    Workspace *workspace = nullptr;
    Accessibility *accessibility = nullptr;
    KeyboardPoster *keyboard = nullptr;
    Clipboard *clipboard = nullptr;
    Clock *clock = nullptr;
};

/// The text field that had focus when a dictation started, and the delivery of the finished text
/// into it through the clipboard and a paste keystroke. Captured once on the main thread; copies
/// share nothing but the services.
class Destination final {
  public:
    /// Outcome of one delivery; the order carries meaning (status labels are indexed by it).
    enum class Delivery {
        inserted,                     ///< pasted and the caret confirms it; previous clipboard restored
        pasteRequested,               ///< keystroke sent, result unconfirmed; text on the clipboard
        copiedBecausePermissionIsOff, ///< no accessibility or no key posting; text on the clipboard
        copiedBecauseFocusChanged,    ///< the target lost focus or delivery was cancelled
        copied,                       ///< no paste attempted; text (or another's data) on the clipboard
    };

    /// Captures the target now. `practiceWindow` is the onboarding practice window if one exists;
    /// `explicitPractice` is true for the practice-paste button, false when a dictation starts.
    Destination(DeliveryServices services, QWidget *practiceWindow, bool explicitPractice);

    /// Puts `text` into the captured field. Suspends for its fixed waits; honours `token` after the
    /// first two waits. Never throws: every failure is an outcome. Call once per destination.
    QCoro::Task<Delivery> deliver(QString text, CancellationToken token = {});

    /// Asks for what delivery needs: accessibility trust, or (trusted but unable to post keys)
    /// permission to post key events.
    static void requestAccessibility(Accessibility &accessibility, KeyboardPoster &keyboard);

    // The captured fields, in capture order.
    const std::optional<RunningApplication> &app() const { return m_app; }
    const std::optional<QRectF> &windowFrame() const { return m_windowFrame; }
    const std::optional<AccessibleElement> &focusedElement() const { return m_focusedElement; }
    const std::optional<AccessibleElement> &focusedWindow() const { return m_focusedWindow; }
    const std::optional<QString> &elementID() const { return m_elementID; }
    /// The practice window; null outside practice mode or once the window is gone.
    QWidget *practiceWindow() const { return m_practiceWindow.data(); }
    /// The practice window's focused text editor (QTextEdit or QPlainTextEdit) at capture; null
    /// outside practice mode, when it was not a text editor, or once it is gone.
    QWidget *practiceEditor() const { return m_practiceEditor.data(); }
    /// True when this destination was captured in practice mode.
    bool isPractice() const { return m_practice; }

    /// Length of `text` as the caret check counts it: code points, so an emoji is one.
    static std::int64_t caretLength(const QString &text);

  private:
    /// The answer of one focus test, with the window and field it found, so that the quick test
    /// made while keys are held can ask just those two.
    struct FocusCheck {
        bool focused = false;
        std::optional<AccessibleElement> window;
        std::optional<AccessibleElement> element;
    };
    /// The selections a paste reads, with their change counts once the text is on them.
    struct Placed {
        std::uint64_t clipboard = 0;
        std::optional<std::uint64_t> primary;
    };

    std::optional<AccessibleElement> focus(std::int32_t pid) const;
    std::optional<QRectF> frontWindowFrame(std::int32_t pid) const;
    std::optional<TextRange> selectedRange(const FocusCheck &check) const;
    FocusCheck checkFocus(std::int32_t pid) const;
    bool stillFocused(std::int32_t pid) const { return checkFocus(pid).focused; }
    /// The answer of the focus test made while paste keys are held.
    enum class Hold { held, moved, unanswered };
    /// The focus test while paste keys are held: only the frontmost program, and one bounded
    /// question each to the window and the field that `check` found a moment before.
    Hold focusStillHeld(std::int32_t pid, const FocusCheck &check) const;
    /// How the keystroke went: sent, abandoned with an outcome, or abandoned because the target
    /// did not answer the focus test in time (nothing was pasted; it may be tried again).
    struct Keystroke {
        std::optional<Delivery> abandoned;
        bool unanswered = false;
    };
    bool unchanged(const Placed &placed) const;
    bool putOnClipboard(const QString &text) const;
    /// Holds the chord's modifiers and key down for the paste with their waits, and releases every
    /// key it pressed before it returns. The outcome when the paste was abandoned, nothing when it
    /// was sent.
    QCoro::Task<Keystroke> typePasteChord(PasteChord &chord, std::int32_t pid, FocusCheck check,
                                                        Placed placed, CancellationToken token);

    DeliveryServices m_services;
    std::optional<RunningApplication> m_app;
    std::optional<QRectF> m_windowFrame;
    std::optional<AccessibleElement> m_focusedElement;
    std::optional<AccessibleElement> m_focusedWindow;
    std::optional<QString> m_elementID;
    QPointer<QWidget> m_practiceWindow;
    QPointer<QWidget> m_practiceEditor;
    bool m_practice = false;
};

} // namespace talvex
