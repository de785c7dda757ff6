#include "Destination.h"

#include "PasteChord.h"

#include <QApplication>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QStringView>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

namespace talvex {

namespace {

constexpr double clipboardSettleWait = 0.085; // let the clipboard owner change settle
constexpr double modifierWait = 0.012;        // after the chord modifiers
constexpr double keyWait = 0.012;             // after V down
constexpr double verifyWait = 0.550;          // let the target process the paste
// A target that has not announced the paste's caret move by the end of the verify wait (or cannot
// tell its caret yet) is still taking the paste in: its announcement is awaited this long at most,
// looking every poll. Keys are all up by then; only the outcome waits.
constexpr double lateCaretWait = 1.0;
constexpr double lateCaretPoll = 0.1;
constexpr qreal minimumWindowSide = 80;
// While paste keys are down the target gets this long, in all, to answer the focus test: a slow
// program must not keep Ctrl pressed (and turn the user's own typing into shortcuts).
constexpr double heldKeysQueryBudget = 0.015;
// A target too busy to answer that quickly (a loaded machine, a program still starting) gets the
// keystroke tried again this many times, each after a full focus test with every key up.
constexpr int keystrokeRetries = 2;

bool isTextEditor(const QWidget *widget)
{
    return qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget);
}

std::int64_t codePoints(QStringView text)
{
    std::int64_t count = 0;
    for (QChar c : text)
        count += c.isLowSurrogate() ? 0 : 1;
    return count;
}

// The editor's selection, converted from document positions (UTF-16 units) to code points so it
// compares like an accessibility caret.
std::optional<TextRange> editorSelection(QWidget *editor)
{
    QTextCursor cursor;
    QString plain;
    if (auto *textEdit = qobject_cast<QTextEdit *>(editor)) {
        cursor = textEdit->textCursor();
        plain = textEdit->toPlainText();
    } else if (auto *plainEdit = qobject_cast<QPlainTextEdit *>(editor)) {
        cursor = plainEdit->textCursor();
        plain = plainEdit->toPlainText();
    } else {
        return std::nullopt;
    }
    const QStringView view(plain);
    const std::int64_t start = codePoints(view.left(cursor.selectionStart()));
    const std::int64_t end = codePoints(view.left(cursor.selectionEnd()));
    return TextRange{start, end - start};
}

} // namespace

Destination::Destination(DeliveryServices services, QWidget *practiceWindow, bool explicitPractice)
    : m_services(services)
{
    Workspace &workspace = *m_services.workspace;
    Accessibility &accessibility = *m_services.accessibility;

    m_practice = practiceWindow && practiceWindow->isVisible() &&
                 (explicitPractice || QApplication::activeWindow() == practiceWindow->window());
    m_app = m_practice ? std::optional(workspace.currentApplication()) : workspace.frontmostApplication();
    const bool targetIsSelf = m_app && m_app->pid == workspace.currentApplication().pid;

    if (m_practice) {
        m_practiceWindow = practiceWindow;
        QWidget *responder = practiceWindow->focusWidget();
        if (isTextEditor(responder))
            m_practiceEditor = responder;
    }

    if (m_app && !targetIsSelf) {
        const std::int32_t pid = m_app->pid;
        m_focusedElement = focus(pid);
        if (accessibility.isTrusted())
            m_focusedWindow = accessibility.focusedWindow(pid);
        if (m_focusedElement) {
            std::optional<QString> identifier = accessibility.identifier(*m_focusedElement);
            if (identifier && !identifier->isEmpty())
                m_elementID = std::move(identifier);
        }
    }

    if (m_practiceWindow)
        m_windowFrame = QRectF(m_practiceWindow->frameGeometry());
    else if (m_app)
        m_windowFrame = frontWindowFrame(m_app->pid);
}

std::optional<AccessibleElement> Destination::focus(std::int32_t pid) const
{
    Accessibility &accessibility = *m_services.accessibility;
    if (!accessibility.isTrusted())
        return std::nullopt;
    if (auto element = accessibility.focusedElement(pid))
        return element;
    // Some programs answer only for the desktop as a whole; accept that answer only if it is theirs.
    auto element = accessibility.systemFocusedElement();
    if (element && accessibility.processIdentifier(*element) == pid)
        return element;
    return std::nullopt;
}

std::optional<QRectF> Destination::frontWindowFrame(std::int32_t pid) const
{
    Workspace &workspace = *m_services.workspace;
    if (workspace.screens().empty())
        return std::nullopt;
    const auto windows = workspace.onScreenWindows();
    if (!windows)
        return std::nullopt;
    for (const WindowInfo &window : *windows) {
        if (window.ownerPid == pid && window.layer == 0 && window.bounds.width() >= minimumWindowSide &&
            window.bounds.height() >= minimumWindowSide)
            return window.bounds;
    }
    return std::nullopt;
}

std::optional<TextRange> Destination::selectedRange(const FocusCheck &check) const
{
    if (m_practiceEditor)
        return editorSelection(m_practiceEditor);
    // The focus test has just looked up the current focused element; asking again would only cost.
    if (!check.element)
        return std::nullopt;
    return m_services.accessibility->selectedRange(*check.element);
}

Destination::FocusCheck Destination::checkFocus(std::int32_t pid) const
{
    Workspace &workspace = *m_services.workspace;
    Accessibility &accessibility = *m_services.accessibility;
    FocusCheck check;

    // This process: only the practice editor counts, and only while it still has the focus.
    if (pid == workspace.currentApplication().pid) {
        check.focused = m_practiceWindow && m_practiceEditor && m_practiceWindow->isVisible() &&
                        m_practiceWindow->focusWidget() == m_practiceEditor;
        return check;
    }

    const auto front = workspace.frontmostApplication();
    if (!front || front->pid != pid)
        return check;

    if (m_focusedWindow) {
        if (!accessibility.isTrusted())
            return check;
        const auto window = accessibility.focusedWindow(pid);
        if (!window || *window != *m_focusedWindow)
            return check;
        check.window = window;
    } else if (m_windowFrame) {
        const auto frame = frontWindowFrame(pid);
        if (!frame || *frame != *m_windowFrame)
            return check;
    }

    check.element = focus(pid);
    if (!check.element) {
        check.focused = !m_focusedElement;
        return check;
    }
    if (accessibility.isSecureTextField(*check.element))
        return check; // password fields never receive dictated text
    if (!m_focusedElement || *check.element == *m_focusedElement) {
        check.focused = true;
        return check;
    }
    // Some programs recreate the element; the same window and a stable id still mean the same field.
    if (m_focusedWindow && m_elementID) {
        const auto identifier = accessibility.identifier(*check.element);
        check.focused = identifier && !identifier->isEmpty() && *identifier == *m_elementID;
    }
    return check;
}

Destination::Hold Destination::focusStillHeld(std::int32_t pid, const FocusCheck &check) const
{
    Workspace &workspace = *m_services.workspace;
    Accessibility &accessibility = *m_services.accessibility;
    Clock &clock = *m_services.clock;

    const auto front = workspace.frontmostApplication();
    if (!front || front->pid != pid)
        return Hold::moved;
    if (!m_focusedWindow && m_windowFrame && frontWindowFrame(pid) != m_windowFrame)
        return Hold::moved;

    // The window and the field found a moment ago are still the focused ones exactly when they
    // still say so.
    const double deadline = clock.now() + heldKeysQueryBudget;
    auto ask = [&](const AccessibleElement &element, FocusHold what) {
        const int boundMs = std::max(1, static_cast<int>((deadline - clock.now()) * 1000));
        const std::optional<bool> answer = accessibility.stillHolds(element, what, boundMs);
        return !answer ? Hold::unanswered : *answer ? Hold::held : Hold::moved;
    };
    if (check.window) {
        if (const Hold hold = ask(*check.window, FocusHold::window); hold != Hold::held)
            return hold;
    }
    if (check.element)
        return ask(*check.element, FocusHold::field);
    return Hold::held;
}

bool Destination::unchanged(const Placed &placed) const
{
    Clipboard &clipboard = *m_services.clipboard;
    return clipboard.changeCount(ClipboardSelection::clipboard) == placed.clipboard &&
           (!placed.primary || clipboard.changeCount(ClipboardSelection::primary) == *placed.primary);
}

bool Destination::putOnClipboard(const QString &text) const
{
    return m_services.clipboard->setText(ClipboardSelection::clipboard, text);
}

std::int64_t Destination::caretLength(const QString &text)
{
    return codePoints(text);
}

QCoro::Task<Destination::Delivery> Destination::deliver(QString text, CancellationToken token)
{
    Accessibility &accessibility = *m_services.accessibility;
    KeyboardPoster &keyboard = *m_services.keyboard;
    Clipboard &clipboard = *m_services.clipboard;
    Clock &clock = *m_services.clock;

    if (!accessibility.isTrusted() || !keyboard.canPostEvents()) {
        putOnClipboard(text);
        co_return Delivery::copiedBecausePermissionIsOff;
    }
    FocusCheck check = m_app ? checkFocus(m_app->pid) : FocusCheck{};
    if (!check.focused) {
        putOnClipboard(text);
        co_return Delivery::copiedBecauseFocusChanged;
    }
    const std::int32_t pid = m_app->pid;

    const bool terminalElement = check.element && accessibility.isTerminal(*check.element);
    PasteChord chord(keyboard, PasteChord::keysFor(m_app->windowClass, m_app->windowInstance, terminalElement));
    if (!chord.canBeSent()) {
        putOnClipboard(text);
        co_return Delivery::copied;
    }
    // Caret announcements are counted from here to the end of the delivery only.
    if (!m_practiceEditor)
        accessibility.beginCaretWatch();
    const auto endWatch = qScopeGuard([&] {
        if (!m_practiceEditor)
            accessibility.endCaretWatch();
    });

    // Terminals that paste the primary selection get the text there too, and have it given back
    // like the clipboard.
    const bool withPrimary = chord.pastesPrimary() && !m_practiceEditor && clipboard.hasPrimary();

    const ClipboardSnapshot previous = clipboard.snapshot(ClipboardSelection::clipboard);
    const ClipboardSnapshot previousPrimary = withPrimary ? clipboard.snapshot(ClipboardSelection::primary)
                                                          : ClipboardSnapshot{};
    if (!clipboard.setText(ClipboardSelection::clipboard, text)) {
        // The text cannot be offered, so at least keep what the user had copied.
        clipboard.restore(ClipboardSelection::clipboard, previous);
        co_return Delivery::copied;
    }
    if (withPrimary && !clipboard.setText(ClipboardSelection::primary, text)) {
        clipboard.restore(ClipboardSelection::primary, previousPrimary);
        co_return Delivery::copied; // the text stays on the clipboard for a manual paste
    }

    Placed placed{clipboard.changeCount(ClipboardSelection::clipboard), std::nullopt};
    if (withPrimary)
        placed.primary = clipboard.changeCount(ClipboardSelection::primary);
    const bool settled = co_await clock.sleep(clipboardSettleWait, token);
    if (!unchanged(placed))
        co_return Delivery::copied; // another program wrote the clipboard: pasting would paste theirs
    if (!settled || token.isCancelled() || !(check = checkFocus(pid)).focused)
        co_return Delivery::copiedBecauseFocusChanged;

    const std::optional<TextRange> before = selectedRange(check);
    const std::optional<AccessibleElement> field = check.element;
    const std::uint64_t announcedBefore = field ? accessibility.caretAnnouncements(*field) : 0;

    if (m_practiceEditor) {
        QMetaObject::invokeMethod(m_practiceEditor.data(), "paste", Qt::DirectConnection);
    } else {
        Keystroke keystroke = co_await typePasteChord(chord, pid, check, placed, token);
        for (int retry = 0; keystroke.unanswered && retry < keystrokeRetries; ++retry) {
            // The target was too busy to answer while Ctrl was down, so nothing was pasted and
            // nothing says focus moved: look again with every key up, and try again.
            if (token.isCancelled() || !unchanged(placed) || !(check = checkFocus(pid)).focused)
                co_return Delivery::copiedBecauseFocusChanged;
            keystroke = co_await typePasteChord(chord, pid, check, placed, token);
        }
        if (keystroke.unanswered)
            co_return Delivery::copiedBecauseFocusChanged;
        if (keystroke.abandoned)
            co_return *keystroke.abandoned;
        // Every key is up again; give the target time to take the paste in.
        co_await clock.sleep(verifyWait);
    }

    // The caret must end exactly the text's length after where the selection began, nothing selected.
    std::optional<TextRange> after;
    auto confirmed = [&] {
        check = checkFocus(pid);
        if (!check.focused)
            return false;
        after = selectedRange(check);
        return after && after->length == 0 && after->location == before->location + caretLength(text);
    };
    bool inserted = before && confirmed();
    if (!inserted && before && field && check.focused && !m_practiceEditor &&
        (!after || accessibility.caretAnnouncements(*field) == announcedBefore)) {
        const double deadline = clock.now() + lateCaretWait;
        while (!inserted && check.focused && clock.now() < deadline) {
            const std::uint64_t seen = accessibility.caretAnnouncements(*field);
            co_await clock.sleep(lateCaretPoll);
            if (!after || accessibility.caretAnnouncements(*field) != seen)
                inserted = confirmed();
        }
    }
    if (inserted) {
        if (clipboard.changeCount(ClipboardSelection::clipboard) == placed.clipboard)
            clipboard.restore(ClipboardSelection::clipboard, previous);
        if (placed.primary && clipboard.changeCount(ClipboardSelection::primary) == *placed.primary)
            clipboard.restore(ClipboardSelection::primary, previousPrimary);
        co_return Delivery::inserted;
    }
    co_return Delivery::pasteRequested;
}

QCoro::Task<Destination::Keystroke> Destination::typePasteChord(PasteChord &chord, std::int32_t pid, FocusCheck check,
                                                                 Placed placed, CancellationToken token)
{
    Clock &clock = *m_services.clock;

    // Whatever this function pressed is released on every way out of it, the early returns included,
    // before the caller goes on: no key stays down. Between press and release only the fixed waits
    // and the quick focus test run; the slow lookups all happened before.
    const auto releaseKeys = qScopeGuard([&chord] { chord.finish(); });

    if (!chord.pressModifiers())
        co_return Keystroke{Delivery::copied};
    const bool modifiersHeld = co_await clock.sleep(modifierWait, token);
    if (!modifiersHeld || token.isCancelled() || !unchanged(placed))
        co_return Keystroke{Delivery::copiedBecauseFocusChanged};
    switch (focusStillHeld(pid, check)) {
    case Hold::held:
        break;
    case Hold::moved:
        co_return Keystroke{Delivery::copiedBecauseFocusChanged};
    case Hold::unanswered:
        co_return Keystroke{std::nullopt, true};
    }
    // From the key's press on, cancellation changes nothing: the keystroke completes and is
    // verified, so these waits run their full length.
    if (!chord.pressKey())
        co_return Keystroke{Delivery::copied}; // the key never went out, so nothing can have been pasted
    co_await clock.sleep(keyWait);
    co_return Keystroke{};
}

void Destination::requestAccessibility(Accessibility &accessibility, KeyboardPoster &keyboard)
{
    const bool trusted = accessibility.isTrusted();
    if (!trusted || keyboard.canPostEvents())
        accessibility.requestTrust();
    else
        keyboard.requestPostEventAccess();
}

} // namespace talvex
