#include "Destination.h"

#include "AccessibilityDouble.h"
#include "ClipboardDouble.h"
#include "KeyboardPosterDouble.h"
#include "ManualClock.h"
#include "WorkspaceDouble.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

// Readable failure messages.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

#include <set>

namespace talvex {

inline void PrintTo(Destination::Delivery delivery, std::ostream *os)
{
    static const char *names[] = {"inserted", "pasteRequested", "copiedBecausePermissionIsOff",
                                  "copiedBecauseFocusChanged", "copied"};
    *os << names[static_cast<int>(delivery)];
}

namespace {

using test::AccessibilityDouble;
using test::ClipboardDouble;
using test::KeyboardPosterDouble;
using test::ManualClock;
using test::WorkspaceDouble;
using Delivery = Destination::Delivery;
using Keys = KeyboardPosterDouble;

constexpr std::int32_t targetPid = 4242;
constexpr std::int32_t otherPid = 777;
const AccessibleElement field{QStringLiteral(":1.42"), QStringLiteral("/org/a11y/atspi/accessible/12")};
const AccessibleElement window{QStringLiteral(":1.42"), QStringLiteral("/org/a11y/atspi/accessible/3")};
const QRectF targetFrame(100, 120, 800, 600);

// The four waits of a delivery, in order.
constexpr double waits[] = {0.085, 0.012, 0.012, 0.550};

QCoro::Task<> collect(Destination *destination, QString text, CancellationToken token, std::optional<Delivery> *out)
{
    *out = co_await destination->deliver(std::move(text), token);
}

const ClipboardSnapshot previousClipboard = {
    {{QStringLiteral("text/html"), QByteArray("<b>kept</b>")}, {QStringLiteral("image/png"), QByteArray("\x89PNG\r\n", 6)}},
    {},
    {{QStringLiteral("text/plain"), QByteArray("second item")}},
};

// The recording keyboard, except that V cannot be pressed: the display went away between the
// modifiers and the key.
class VDownFails final : public KeyboardPoster {
public:
    explicit VDownFails(KeyboardPosterDouble &keys) : m_keys(keys) {}
    bool canPostEvents() override { return m_keys.canPostEvents(); }
    bool requestPostEventAccess() override { return m_keys.requestPostEventAccess(); }
    std::optional<KeyboardKey> keyFor(ChordKey key) override { return m_keys.keyFor(key); }
    std::vector<KeyboardKey> heldKeys() override { return m_keys.heldKeys(); }
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override { return m_keys.physicallyHeldKeys(); }
    bool post(const KeyboardKey &key, bool down) override
    {
        return !(down && key == Keys::v) && m_keys.post(key, down);
    }

private:
    KeyboardPosterDouble &m_keys;
};

class DestinationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        workspace.frontmost = RunningApplication{targetPid, QStringLiteral("org.gnome.TextEditor"),
                                                 QStringLiteral("Text Editor"), QStringLiteral("Gnome-text-editor"),
                                                 QStringLiteral("gnome-text-editor")};
        workspace.windows = std::vector<WindowInfo>{{targetPid, 0, targetFrame}};
        accessibility.focused[targetPid] = field;
        accessibility.windows[targetPid] = window;
        accessibility.processes[field.busName] = targetPid;
        accessibility.element(field) = {QStringLiteral("body"), false, TextRange{10, 0}};
        clipboard.contents = previousClipboard;
        // The target application: the plain paste chord inserts the clipboard text at the focused
        // field's selection, counting code points as accessibility offsets do.
        keyboard.onPost = [this](const KeyboardKey &key, bool down) {
            if (!down || key != Keys::v || !pasteChordHeld())
                return;
            pasted << clipboard.text();
            const auto focus = accessibility.focused.find(targetPid);
            if (focus == accessibility.focused.end())
                return;
            auto &range = accessibility.element(focus->second).range;
            if (range) {
                range = TextRange{range->location + Destination::caretLength(clipboard.text()), 0};
                ++accessibility.announcements[focus->second.busName];
            }
        };
    }

    void TearDown() override
    {
        EXPECT_EQ(keyboard.down, userStillHolds) << "keys left down: " << keyboard.posts.join(", ").toStdString();
    }

    bool pasteChordHeld() const
    {
        const bool control = keyboard.isDown(Keys::control) || keyboard.isDown(Keys::controlRight);
        return control && keyboard.isDown(Keys::shift) == terminal && !keyboard.isDown(Keys::alt)
               && !keyboard.isDown(Keys::super) && !keyboard.isDown(Keys::altGr);
    }

    DeliveryServices services() { return {&workspace, &accessibility, &keyboard, &clipboard, &clock}; }
    Destination capture(QWidget *practiceWindow = nullptr, bool explicitPractice = false)
    {
        return Destination(services(), practiceWindow, explicitPractice);
    }

    // Starts a delivery; the caller drives the clock.
    QCoro::Task<> start(Destination &destination, const QString &text, CancellationToken token = {})
    {
        return collect(&destination, text, std::move(token), &result);
    }

    // Runs a delivery through all its waits, a late caret's included.
    Delivery deliver(Destination &destination, const QString &text)
    {
        auto task = start(destination, text);
        clock.advance(3.0);
        EXPECT_TRUE(result.has_value());
        return result.value_or(Delivery::pasteRequested);
    }

    void waitForResult()
    {
        for (int i = 0; i < 100 && !result; ++i)
            QCoreApplication::processEvents();
    }

    WorkspaceDouble workspace;
    AccessibilityDouble accessibility;
    KeyboardPosterDouble keyboard;
    ClipboardDouble clipboard;
    ManualClock clock;
    std::optional<Delivery> result;
    QStringList pasted;
    bool terminal = false;
    std::set<std::uint32_t> userStillHolds;
};

TEST_F(DestinationTest, CapturesTheFrontmostFieldWindowAndFrame)
{
    const Destination destination = capture();
    ASSERT_TRUE(destination.app());
    EXPECT_EQ(destination.app()->pid, targetPid);
    EXPECT_EQ(destination.focusedElement(), field);
    EXPECT_EQ(destination.focusedWindow(), window);
    EXPECT_EQ(destination.elementID(), QStringLiteral("body"));
    EXPECT_EQ(destination.windowFrame(), targetFrame);
    EXPECT_FALSE(destination.isPractice());
    EXPECT_EQ(destination.practiceWindow(), nullptr);
}

TEST_F(DestinationTest, CaptureLeavesOutWhatCannotBeRead)
{
    accessibility.element(field).identifier = QString();
    EXPECT_FALSE(capture().elementID()) << "an empty identifier counts as none";

    accessibility.trusted = false;
    Destination untrusted = capture();
    EXPECT_FALSE(untrusted.focusedElement());
    EXPECT_FALSE(untrusted.focusedWindow());
    EXPECT_FALSE(untrusted.elementID());
    EXPECT_EQ(untrusted.windowFrame(), targetFrame) << "the frame does not need accessibility";

    workspace.frontmost.reset();
    Destination nobody = capture();
    EXPECT_FALSE(nobody.app());
    EXPECT_FALSE(nobody.windowFrame());
    accessibility.trusted = true;
    EXPECT_EQ(deliver(nobody, QStringLiteral("text")), Delivery::copiedBecauseFocusChanged);
    EXPECT_EQ(clipboard.text(), QStringLiteral("text"));
}

TEST_F(DestinationTest, DesktopWideFocusCountsOnlyWhenItBelongsToTheTarget)
{
    accessibility.focused.erase(targetPid);
    accessibility.systemFocused = field;
    EXPECT_EQ(capture().focusedElement(), field);

    accessibility.processes[field.busName] = otherPid;
    EXPECT_FALSE(capture().focusedElement());
    accessibility.processes.erase(field.busName);
    EXPECT_FALSE(capture().focusedElement()) << "an owner that cannot be told is not the target";
}

TEST_F(DestinationTest, FrameIsTheFrontmostOrdinaryWindowOfAtLeast80Points)
{
    workspace.windows = std::vector<WindowInfo>{
        {otherPid, 0, QRectF(0, 0, 500, 500)},
        {targetPid, 0, QRectF(5, 5, 79, 400)},
        {targetPid, 0, QRectF(5, 5, 400, 79)},
        {targetPid, 3, QRectF(0, 0, 1920, 30)},
        {targetPid, 0, QRectF(40, 50, 80, 80)},
        {targetPid, 0, targetFrame},
    };
    EXPECT_EQ(capture().windowFrame(), QRectF(40, 50, 80, 80));

    workspace.windows.reset();
    EXPECT_FALSE(capture().windowFrame()) << "unreadable window list";
    workspace.windows = std::vector<WindowInfo>{{targetPid, 0, targetFrame}};
    workspace.screenList.clear();
    EXPECT_FALSE(capture().windowFrame()) << "no screens";
}

TEST_F(DestinationTest, InsertsVerifiesByCodePointsAndRestoresEveryFormat)
{
    Destination destination = capture();
    const QString text = QStringLiteral("Hi \U0001F44B"); // 4 code points, 5 UTF-16 units
    EXPECT_EQ(Destination::caretLength(text), 4);

    EXPECT_EQ(deliver(destination, text), Delivery::inserted);
    EXPECT_EQ(pasted, QStringList{text});
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "v down", "v up", "control up"}));
    EXPECT_EQ(clock.sleepRequests(), (std::vector<double>{0.085, 0.012, 0.012, 0.550}));
    const ClipboardSnapshot withoutEmptyItems = {previousClipboard[0], previousClipboard[2]};
    EXPECT_EQ(clipboard.contents, withoutEmptyItems);
}

TEST_F(DestinationTest, ReplacedSelectionEndsAtItsStart)
{
    accessibility.element(field).range = TextRange{10, 7};
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(accessibility.element(field).range, (TextRange{15, 0}));
}

TEST_F(DestinationTest, EmptyPreviousClipboardIsRestoredEmpty)
{
    clipboard.contents.clear();
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_TRUE(clipboard.contents.empty());
    EXPECT_EQ(clipboard.restores, 1);
}

TEST_F(DestinationTest, UnconfirmedPasteLeavesTheTextOnTheClipboard)
{
    // A field without a caret: the keystroke goes out but nothing can confirm it.
    accessibility.element(field).range.reset();
    Destination noCaret = capture();
    EXPECT_EQ(deliver(noCaret, QStringLiteral("hello")), Delivery::pasteRequested);
    EXPECT_EQ(pasted, QStringList{"hello"});
    EXPECT_EQ(clipboard.text(), QStringLiteral("hello"));

    // The application ignored the paste: the caret did not move.
    accessibility.element(field).range = TextRange{3, 0};
    keyboard.onPost = nullptr;
    result.reset();
    keyboard.posts.clear();
    Destination ignored = capture();
    EXPECT_EQ(deliver(ignored, QStringLiteral("hello")), Delivery::pasteRequested);
    EXPECT_EQ(keyboard.posts.size(), 4);
    EXPECT_EQ(clipboard.restores, 0);
}

TEST_F(DestinationTest, MissingPermissionsOnlyCopy)
{
    for (const bool trusted : {false, true}) {
        accessibility.trusted = trusted;
        keyboard.allowed = !trusted;
        result.reset();
        Destination destination = capture();
        EXPECT_EQ(deliver(destination, QStringLiteral("words")), Delivery::copiedBecausePermissionIsOff);
        EXPECT_EQ(clipboard.text(), QStringLiteral("words"));
        EXPECT_TRUE(keyboard.posts.isEmpty());
        EXPECT_TRUE(clock.sleepRequests().empty());
    }
}

TEST_F(DestinationTest, PasswordFieldNeverReceivesAPaste)
{
    accessibility.element(field).secure = true;
    Destination capturedOnPassword = capture();
    EXPECT_EQ(deliver(capturedOnPassword, QStringLiteral("secret words")), Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_EQ(clipboard.text(), QStringLiteral("secret words"));

    // The field turns into a password field while the text waits on the clipboard.
    accessibility.element(field).secure = false;
    result.reset();
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("more words"));
    accessibility.element(field).secure = true;
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_TRUE(pasted.isEmpty());
}

TEST_F(DestinationTest, AnotherProgramWritingTheClipboardDuringTheFirstWaitStopsThePaste)
{
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("mine"));
    const ClipboardSnapshot theirs = {{{QStringLiteral("text/plain"), QByteArray("theirs")}}};
    clipboard.externalWrite(theirs);
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copied);
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_EQ(clipboard.contents, theirs);
}

TEST_F(DestinationTest, AClipboardWriteAfterThePasteIsNotOverwritten)
{
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("mine"));
    clock.advance(0.085 + 0.012 + 0.012);
    const ClipboardSnapshot theirs = {{{QStringLiteral("text/plain"), QByteArray("theirs")}}};
    clipboard.externalWrite(theirs);
    clock.advance(0.550);
    EXPECT_EQ(result, Delivery::inserted);
    EXPECT_EQ(clipboard.contents, theirs);
    EXPECT_EQ(clipboard.restores, 0);
}

TEST_F(DestinationTest, ClipboardWriteDuringTheModifierWaitAbandonsTheKeystroke)
{
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("mine"));
    clock.advance(0.085);
    clipboard.externalWrite({});
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up"}));
}

TEST_F(DestinationTest, FailedClipboardWriteKeepsThePreviousContents)
{
    clipboard.setTextFails = true;
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("text")), Delivery::copied);
    EXPECT_EQ(clipboard.contents, (ClipboardSnapshot{previousClipboard[0], previousClipboard[2]}));
    EXPECT_TRUE(keyboard.posts.isEmpty());
}

TEST_F(DestinationTest, NoPasteKeyOrUnsendableKeysOnlyCopy)
{
    keyboard.hasV = false;
    Destination noKey = capture();
    EXPECT_EQ(deliver(noKey, QStringLiteral("text")), Delivery::copied);
    EXPECT_EQ(clipboard.text(), QStringLiteral("text"));
    EXPECT_EQ(clipboard.snapshots, 0) << "nothing was taken from the clipboard";

    keyboard.hasV = true;
    keyboard.postsFail = true;
    result.reset();
    Destination unsendable = capture();
    EXPECT_EQ(deliver(unsendable, QStringLiteral("text")), Delivery::copied);
    EXPECT_EQ(clipboard.text(), QStringLiteral("text"));

    // Control went down but V could not: no keystroke was sent, so there is no paste to check.
    keyboard.postsFail = false;
    result.reset();
    VDownFails failingV(keyboard);
    DeliveryServices withFailingV = services();
    withFailingV.keyboard = &failingV;
    Destination noV(withFailingV, nullptr, false);
    EXPECT_EQ(deliver(noV, QStringLiteral("words")), Delivery::copied);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up"}));
    EXPECT_TRUE(pasted.isEmpty());
    EXPECT_EQ(clipboard.text(), QStringLiteral("words"));
}

// Focus moves away during wait N (0 = after the clipboard write, 1 = after the modifiers,
// 2 = after V down, 3 = before verifying).
class FocusMovesDuringWait : public DestinationTest, public ::testing::WithParamInterface<int> {};

TEST_P(FocusMovesDuringWait, GivesTheDescribedOutcome)
{
    const int moveDuring = GetParam();
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("text"));
    for (int i = 0; i < 4 && !result; ++i) {
        if (i == moveDuring)
            workspace.frontmost = RunningApplication{otherPid, QStringLiteral("other"), QStringLiteral("Other"), {}, {}};
        clock.advance(waits[i]);
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(clipboard.text(), QStringLiteral("text"));
    EXPECT_EQ(clipboard.restores, 0);
    switch (moveDuring) {
    case 0:
        EXPECT_EQ(*result, Delivery::copiedBecauseFocusChanged);
        EXPECT_TRUE(keyboard.posts.isEmpty());
        break;
    case 1:
        EXPECT_EQ(*result, Delivery::copiedBecauseFocusChanged);
        EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up"}));
        break;
    default:
        // Once V is down the keystroke completes; it just cannot be confirmed.
        EXPECT_EQ(*result, Delivery::pasteRequested);
        EXPECT_EQ(keyboard.posts, (QStringList{"control down", "v down", "v up", "control up"}));
    }
}

INSTANTIATE_TEST_SUITE_P(EachWait, FocusMovesDuringWait, ::testing::Values(0, 1, 2, 3));

TEST_F(DestinationTest, OtherWindowOfTheSameProgramIsAFocusChange)
{
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("text"));
    accessibility.windows[targetPid] = AccessibleElement{field.busName, QStringLiteral("/other/window")};
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);

    // Without a window element, the window frame stands in for it.
    accessibility.windows.clear();
    result.reset();
    Destination byFrame = capture();
    EXPECT_FALSE(byFrame.focusedWindow());
    auto second = start(byFrame, QStringLiteral("text"));
    workspace.windows = std::vector<WindowInfo>{{targetPid, 0, targetFrame.translated(1, 0)}};
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(keyboard.posts.isEmpty());
}

TEST_F(DestinationTest, ReplacedElementWithTheSameIdentifierIsStillTheField)
{
    const AccessibleElement recreated{field.busName, QStringLiteral("/org/a11y/atspi/accessible/99")};
    accessibility.element(recreated) = {QStringLiteral("body"), false, TextRange{10, 0}};
    Destination destination = capture();
    accessibility.focused[targetPid] = recreated;
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(accessibility.element(recreated).range, (TextRange{15, 0}));
}

TEST_F(DestinationTest, ReplacedElementWithoutMatchingIdentifierOrWindowIsAnotherField)
{
    const AccessibleElement recreated{field.busName, QStringLiteral("/org/a11y/atspi/accessible/99")};
    for (const QString &identifier : {QStringLiteral("title"), QString()}) {
        accessibility.element(recreated) = {identifier, false, TextRange{0, 0}};
        accessibility.focused[targetPid] = field;
        result.reset();
        Destination destination = capture();
        accessibility.focused[targetPid] = recreated;
        EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::copiedBecauseFocusChanged)
            << identifier.toStdString();
    }

    // Same identifier, but no window element was captured to vouch for it.
    accessibility.element(recreated).identifier = QStringLiteral("body");
    accessibility.focused[targetPid] = field;
    accessibility.windows.clear();
    result.reset();
    Destination withoutWindow = capture();
    accessibility.focused[targetPid] = recreated;
    EXPECT_EQ(deliver(withoutWindow, QStringLiteral("hello")), Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(keyboard.posts.isEmpty());
}

TEST_F(DestinationTest, FocusLostEntirelyOrGainedFromNothing)
{
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("text"));
    accessibility.focused.erase(targetPid);
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);

    // Captured without a focused element (the program reports none): nothing to compare.
    result.reset();
    Destination noElement = capture();
    EXPECT_FALSE(noElement.focusedElement());
    auto second = start(noElement, QStringLiteral("text"));
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::pasteRequested) << "pasted, but with no caret to confirm it";
}

TEST_F(DestinationTest, CancellationBeforeVDownAbandonsAndAfterItChangesNothing)
{
    CancellationToken first;
    Destination beforeKeys = capture();
    auto a = start(beforeKeys, QStringLiteral("text"), first);
    first.cancel();
    waitForResult();
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_EQ(clipboard.text(), QStringLiteral("text"));

    CancellationToken second;
    result.reset();
    Destination duringModifiers = capture();
    auto b = start(duringModifiers, QStringLiteral("text"), second);
    clock.advance(0.085);
    second.cancel();
    waitForResult();
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up"}));

    CancellationToken third;
    result.reset();
    keyboard.posts.clear();
    Destination afterV = capture();
    auto c = start(afterV, QStringLiteral("text"), third);
    clock.advance(0.085 + 0.012);
    third.cancel();
    clock.advance(1.0);
    waitForResult();
    EXPECT_EQ(result, Delivery::inserted);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "v down", "v up", "control up"}));
}

TEST_F(DestinationTest, HeldModifiersAreLetGoForThePlainChord)
{
    // The user still holds Alt from a Ctrl+Alt chord; the physical keyboard no longer has it.
    keyboard.hold(Keys::alt);
    keyboard.physical = std::vector<KeyboardKey>{};
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(pasted, QStringList{"hello"});
    EXPECT_EQ(keyboard.posts, (QStringList{"alt up", "control down", "v down", "v up", "control up"}));
}

TEST_F(DestinationTest, StillHeldUserModifiersComeBackAndHeldControlIsUsed)
{
    // Ctrl+Shift still down after letting go of Space: Control serves the chord, Shift must go.
    keyboard.hold(Keys::controlRight);
    keyboard.hold(Keys::shift);
    keyboard.physical = std::vector<KeyboardKey>{Keys::controlRight, Keys::shift};
    userStillHolds = {Keys::controlRight.id, Keys::shift.id};
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(keyboard.posts, (QStringList{"shift up", "v down", "v up", "shift down"}));
}

TEST_F(DestinationTest, UnknownPhysicalStateGivesNothingBack)
{
    keyboard.hold(Keys::super);
    keyboard.hold(Keys::altGr);
    keyboard.physical.reset();
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_TRUE(keyboard.down.empty());
}

TEST_F(DestinationTest, TerminalsGetControlShiftV)
{
    terminal = true;
    workspace.frontmost->windowClass = QStringLiteral("Gnome-terminal");
    workspace.frontmost->windowInstance = QStringLiteral("gnome-terminal-server");
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("ls")), Delivery::inserted);
    EXPECT_EQ(keyboard.posts,
              (QStringList{"control down", "shift down", "v down", "v up", "shift up", "control up"}));
}

TEST_F(DestinationTest, WhileKeysAreHeldOnlyBoundedQuickQuestionsAreAsked)
{
    // The slow searches for the focused window and field happen before Ctrl goes down; while it
    // is down the target only answers two bounded questions about what was found.
    int lookupsAtPress = -1;
    int lookupsAtRelease = -1;
    const auto application = keyboard.onPost;
    keyboard.onPost = [&](const KeyboardKey &key, bool down) {
        application(key, down);
        if (key == Keys::control)
            (down ? lookupsAtPress : lookupsAtRelease) = accessibility.lookups;
    };
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(lookupsAtRelease, lookupsAtPress);
    ASSERT_EQ(accessibility.quickBounds.size(), 2u) << "the window, then the field";
    for (const int bound : accessibility.quickBounds)
        EXPECT_TRUE(bound >= 1 && bound <= 15) << bound;
}

TEST_F(DestinationTest, QuickQuestionAnsweredNoOrNeverReleasesCtrlAndKeepsTheText)
{
    // "No longer" abandons at once; no answer (a program too busy to reply while Ctrl is down)
    // abandons the keystroke and tries again with every key up, three times in all, then gives up.
    const QStringList once{"control down", "control up"};
    const QStringList thrice = once + once + once;
    struct Case {
        AccessibleElement element;
        std::optional<bool> answer;
        QStringList posts;
    };
    for (const Case &c : {Case{window, false, once}, Case{field, false, once}, Case{window, std::nullopt, thrice},
                          Case{field, std::nullopt, thrice}}) {
        accessibility.quickAnswers.clear();
        accessibility.quickAnswers[{c.element.busName, c.element.objectPath}] = {c.answer};
        accessibility.quickAnswersRepeat = true;
        keyboard.posts.clear();
        result.reset();
        Destination destination = capture();
        EXPECT_EQ(deliver(destination, QStringLiteral("text")), Delivery::copiedBecauseFocusChanged)
            << c.element.objectPath.toStdString() << " answered " << c.answer.value_or(-1);
        EXPECT_EQ(keyboard.posts, c.posts);
        EXPECT_EQ(clipboard.text(), QStringLiteral("text"));
    }
    EXPECT_TRUE(pasted.isEmpty());
}

TEST_F(DestinationTest, BusyTargetGetsTheKeystrokeOnTheSecondTry)
{
    accessibility.quickAnswers[{field.busName, field.objectPath}] = {std::nullopt};
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up", "control down", "v down", "v up", "control up"}));
    EXPECT_EQ(pasted, QStringList{"hello"});

    // Focus moves to another field while the first try is abandoned: the second never starts.
    const AccessibleElement otherField{field.busName, QStringLiteral("/org/a11y/atspi/accessible/77")};
    accessibility.quickAnswers[{field.busName, field.objectPath}] = {std::nullopt};
    keyboard.posts.clear();
    result.reset();
    const auto application = keyboard.onPost;
    keyboard.onPost = [&](const KeyboardKey &key, bool down) {
        application(key, down);
        if (key == Keys::control && !down)
            accessibility.focused[targetPid] = otherField;
    };
    Destination moving = capture();
    EXPECT_EQ(deliver(moving, QStringLiteral("hello")), Delivery::copiedBecauseFocusChanged);
    EXPECT_EQ(keyboard.posts, (QStringList{"control down", "control up"}));
}

TEST_F(DestinationTest, TerminalScreenGetsControlShiftVWhateverItsWindowClass)
{
    terminal = true;
    workspace.frontmost->windowClass = QStringLiteral("Brand-new-term");
    workspace.frontmost->windowInstance = QStringLiteral("brand-new-term");
    accessibility.element(field).terminal = true;
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("ls")), Delivery::inserted);
    EXPECT_EQ(keyboard.posts,
              (QStringList{"control down", "shift down", "v down", "v up", "shift up", "control up"}));
}

// xterm and urxvt paste the primary selection with Shift+Insert: the text goes on both selections,
// and both come back when the paste is confirmed.
class PrimaryTerminalTest : public DestinationTest {
protected:
    void SetUp() override
    {
        DestinationTest::SetUp();
        workspace.frontmost->windowClass = QStringLiteral("XTerm");
        workspace.frontmost->windowInstance = QStringLiteral("xterm");
        clipboard.primary.contents = previousPrimary;
        keyboard.onPost = [this](const KeyboardKey &key, bool down) {
            const bool chord = keyboard.isDown(Keys::shift) && !keyboard.isDown(Keys::control);
            if (!down || key != Keys::insert || !chord)
                return;
            pasted << clipboard.text(ClipboardSelection::primary);
            auto &range = accessibility.element(field).range;
            if (range)
                range = TextRange{range->location + Destination::caretLength(pasted.back()), 0};
        };
    }

    const ClipboardSnapshot previousPrimary = {{{QStringLiteral("text/plain"), QByteArray("selected earlier")}}};
};

TEST_F(PrimaryTerminalTest, PastesThePrimarySelectionAndRestoresBoth)
{
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("echo hi")), Delivery::inserted);
    EXPECT_EQ(pasted, QStringList{"echo hi"});
    EXPECT_EQ(keyboard.posts, (QStringList{"shift down", "insert down", "insert up", "shift up"}));
    EXPECT_EQ(clipboard.contents, (ClipboardSnapshot{previousClipboard[0], previousClipboard[2]}));
    EXPECT_EQ(clipboard.primary.contents, previousPrimary);
}

TEST_F(PrimaryTerminalTest, UnconfirmedPasteLeavesTheTextOnBoth)
{
    accessibility.focused.clear(); // like xterm itself: nothing to read a caret from
    accessibility.windows.clear();
    Destination destination = capture();
    EXPECT_EQ(deliver(destination, QStringLiteral("echo hi")), Delivery::pasteRequested);
    EXPECT_EQ(pasted, QStringList{"echo hi"});
    EXPECT_EQ(clipboard.text(), QStringLiteral("echo hi"));
    EXPECT_EQ(clipboard.text(ClipboardSelection::primary), QStringLiteral("echo hi"));
}

TEST_F(PrimaryTerminalTest, SelectionMadeDuringTheFirstWaitStopsThePaste)
{
    // The user selects text elsewhere: Shift+Insert would now paste that.
    Destination destination = capture();
    auto task = start(destination, QStringLiteral("echo hi"));
    const ClipboardSnapshot selected = {{{QStringLiteral("text/plain"), QByteArray("their selection")}}};
    clipboard.externalWrite(selected, ClipboardSelection::primary);
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copied);
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_EQ(clipboard.primary.contents, selected);
    EXPECT_EQ(clipboard.text(), QStringLiteral("echo hi"));
}

TEST_F(PrimaryTerminalTest, WithoutAPrimarySelectionOnlyTheClipboardIsUsed)
{
    clipboard.primarySupported = false;
    Destination destination = capture();
    deliver(destination, QStringLiteral("echo hi"));
    EXPECT_EQ(clipboard.primary.contents, previousPrimary) << "untouched";
    EXPECT_EQ(clipboard.primary.restores, 0);
}

// Some programs (Firefox, the first paste into a page) take the paste in only after the fixed
// wait: their caret is awaited through their announcements, for a bounded time.
TEST_F(DestinationTest, LateCaretIsAwaitedThroughTheProgramsAnnouncement)
{
    struct Case {
        const char *what;
        std::optional<TextRange> atVerify; ///< what the field tells at the end of the fixed wait
        bool announcedByThen;
        std::optional<double> lateAfter; ///< when the caret moves (and is announced) after that
        Delivery expected;
        bool waitsLonger;
    };
    const Case cases[] = {
        {"caret moves 0.3 s late", TextRange{10, 0}, false, 0.3, Delivery::inserted, true},
        {"caret unreadable, then readable", std::nullopt, true, 0.45, Delivery::inserted, true},
        {"never announced", TextRange{10, 0}, false, std::nullopt, Delivery::pasteRequested, true},
        {"announced, caret elsewhere", TextRange{12, 0}, true, std::nullopt, Delivery::pasteRequested, false},
        {"moves after the bound", TextRange{10, 0}, false, 1.5, Delivery::pasteRequested, true},
    };
    for (const Case &c : cases) {
        accessibility.element(field).range = TextRange{10, 0};
        keyboard.onPost = nullptr; // the program takes the paste in late, below
        result.reset();
        Destination destination = capture();
        const std::size_t sleepsBefore = clock.sleepRequests().size();
        auto task = start(destination, QStringLiteral("hello"));
        clock.advance(0.085 + 0.012 + 0.012);
        accessibility.element(field).range = c.atVerify;
        if (c.announcedByThen)
            ++accessibility.announcements[field.busName];
        clock.advance(0.550);
        double elapsed = 0;
        while (!result && elapsed < 3.0) {
            if (c.lateAfter && elapsed + 1e-9 >= *c.lateAfter && accessibility.element(field).range != TextRange{15, 0}) {
                accessibility.element(field).range = TextRange{15, 0};
                ++accessibility.announcements[field.busName];
            }
            clock.advance(0.05);
            elapsed += 0.05;
        }
        ASSERT_TRUE(result) << c.what;
        EXPECT_EQ(*result, c.expected) << c.what;
        EXPECT_EQ(clock.sleepRequests().size() - sleepsBefore > 4, c.waitsLonger) << c.what;
        EXPECT_LE(elapsed, 1.05 + 1e-6) << c.what << ": the wait is bounded";
        EXPECT_EQ(accessibility.watches, 0) << c.what;
    }
    EXPECT_EQ(accessibility.mostWatches, 1);
}

TEST_F(DestinationTest, CaretWatchRunsOnlyWhileADeliveryPastes)
{
    int watchesWhileKeysDown = -1;
    const auto application = keyboard.onPost;
    keyboard.onPost = [&](const KeyboardKey &key, bool down) {
        application(key, down);
        if (key == Keys::v && down)
            watchesWhileKeysDown = accessibility.watches;
    };
    EXPECT_EQ(accessibility.watches, 0);
    Destination destination = capture();
    EXPECT_EQ(accessibility.watches, 0) << "capturing watches nothing";
    EXPECT_EQ(deliver(destination, QStringLiteral("hello")), Delivery::inserted);
    EXPECT_EQ(watchesWhileKeysDown, 1);
    EXPECT_EQ(accessibility.watches, 0);

    // Refused before any paste: nothing to watch.
    accessibility.element(field).secure = true;
    result.reset();
    Destination refused = capture();
    deliver(refused, QStringLiteral("hello"));
    EXPECT_EQ(accessibility.mostWatches, 1);
    EXPECT_EQ(accessibility.watches, 0);
}

TEST_F(DestinationTest, RequestAccessibilityAsksForWhatIsMissing)
{
    accessibility.trusted = false;
    Destination::requestAccessibility(accessibility, keyboard);
    EXPECT_EQ(accessibility.trustRequests, 1);

    accessibility.trusted = true;
    Destination::requestAccessibility(accessibility, keyboard);
    EXPECT_EQ(accessibility.trustRequests, 2) << "everything granted: the trust prompt again";
    EXPECT_EQ(keyboard.accessRequests, 0);

    keyboard.allowed = false;
    Destination::requestAccessibility(accessibility, keyboard);
    EXPECT_EQ(accessibility.trustRequests, 2);
    EXPECT_EQ(keyboard.accessRequests, 1);
}

// The onboarding practice window with a text editor and a button.
class PracticeTest : public DestinationTest {
protected:
    void SetUp() override
    {
        DestinationTest::SetUp();
        clipboard.mirrorToQt = true;
        auto *layout = new QVBoxLayout(&practice);
        editor = new QTextEdit;
        button = new QPushButton(QStringLiteral("Test"));
        layout->addWidget(editor);
        layout->addWidget(button);
        practice.resize(400, 300);
        practice.show();
        editor->setFocus();
    }

    QWidget practice;
    QTextEdit *editor = nullptr;
    QPushButton *button = nullptr;
};

TEST_F(PracticeTest, PastesStraightIntoTheEditorAndConfirmsIt)
{
    editor->setPlainText(QStringLiteral("\U0001F600 start "));
    editor->moveCursor(QTextCursor::End);
    Destination destination = capture(&practice, true);
    ASSERT_TRUE(destination.isPractice());
    EXPECT_EQ(destination.practiceEditor(), editor);
    EXPECT_EQ(destination.app()->pid, workspace.self.pid);
    EXPECT_FALSE(destination.focusedElement());
    EXPECT_EQ(destination.windowFrame(), QRectF(practice.frameGeometry()));

    EXPECT_EQ(deliver(destination, QStringLiteral("Talvex paste test.")), Delivery::inserted);
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("\U0001F600 start Talvex paste test."));
    EXPECT_TRUE(keyboard.posts.isEmpty());
    EXPECT_EQ(clock.sleepRequests(), std::vector<double>{0.085});
    EXPECT_EQ(clipboard.contents, (ClipboardSnapshot{previousClipboard[0], previousClipboard[2]}));
}

TEST_F(PracticeTest, FocusMustStayOnTheEditor)
{
    Destination destination = capture(&practice, true);
    auto task = start(destination, QStringLiteral("Talvex paste test."));
    button->setFocus();
    clock.advance(1.0);
    EXPECT_EQ(result, Delivery::copiedBecauseFocusChanged);
    EXPECT_TRUE(editor->toPlainText().isEmpty());

    // Focus on the button at capture: no editor, and dictating into this process is refused.
    result.reset();
    Destination noEditor = capture(&practice, true);
    EXPECT_TRUE(noEditor.isPractice());
    EXPECT_EQ(noEditor.practiceEditor(), nullptr);
    EXPECT_EQ(deliver(noEditor, QStringLiteral("text")), Delivery::copiedBecauseFocusChanged);
}

TEST_F(PracticeTest, ClosedWindowIsAbsent)
{
    auto *closing = new QWidget;
    auto *plain = new QPlainTextEdit(closing);
    closing->show();
    plain->setFocus();
    Destination destination = capture(closing, true);
    EXPECT_EQ(destination.practiceEditor(), plain);
    delete closing;
    EXPECT_EQ(destination.practiceWindow(), nullptr);
    EXPECT_EQ(destination.practiceEditor(), nullptr);
    EXPECT_EQ(deliver(destination, QStringLiteral("text")), Delivery::copiedBecauseFocusChanged);
}

TEST_F(PracticeTest, DictationUsesThePracticeWindowOnlyWhenItIsActive)
{
    Destination inactive = capture(&practice, false);
    EXPECT_FALSE(inactive.isPractice());
    EXPECT_EQ(inactive.app()->pid, targetPid);

    QApplication::setActiveWindow(&practice);
    if (QApplication::activeWindow() != &practice)
        GTEST_SKIP() << "the offscreen platform did not activate the window";
    Destination active = capture(&practice, false);
    EXPECT_TRUE(active.isPractice());
    EXPECT_EQ(active.practiceEditor(), editor);

    practice.hide();
    EXPECT_FALSE(capture(&practice, true).isPractice()) << "a hidden window is no practice target";
}

} // namespace
} // namespace talvex
