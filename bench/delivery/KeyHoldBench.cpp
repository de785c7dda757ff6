// How long the paste keeps Ctrl (or Shift) pressed in each application of the paste matrix, and
// the outcome of each delivery. Run inside the private desktop:
//   scripts/with-desktop -- build/<dir>/bench/delivery/bench_key_hold [deliveries] [application ...]
// (default 5 deliveries into every installed application, each a second after its capture, as in a
// dictation). For each delivery the time from the
// chord's first modifier press to its last release is taken around the real XTest poster (each
// post returns once the X server has the event). TALVEX_BENCH_TRACE=1 prints every accessibility
// answer the delivery got, to see why one was not confirmed.
#include "AppTarget.h"
#include "AtspiAccessibility.h"
#include "Destination.h"
#include "DictationHarness.h"
#include "QtClipboard.h"
#include "SteadyClock.h"
#include "X11KeyboardPoster.h"
#include "X11Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

using namespace talvex;

namespace {

const char *const statusNames[] = {"inserted", "pasteRequested", "copiedBecausePermissionIsOff",
                                   "copiedBecauseFocusChanged", "copied"};

QString describe(const std::optional<AccessibleElement> &element)
{
    return element ? element->busName + element->objectPath : QStringLiteral("(none)");
}

/// The real poster, timing how long chord modifiers stay down.
class TimedKeyboard final : public KeyboardPoster {
  public:
    explicit TimedKeyboard(KeyboardPoster &keys) : m_keys(keys) {}

    std::vector<double> holds; ///< milliseconds from the first modifier press to the last release

    bool canPostEvents() override { return m_keys.canPostEvents(); }
    bool requestPostEventAccess() override { return m_keys.requestPostEventAccess(); }
    std::optional<KeyboardKey> keyFor(ChordKey key) override { return m_keys.keyFor(key); }
    std::vector<KeyboardKey> heldKeys() override { return m_keys.heldKeys(); }
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override
    {
        return m_keys.physicallyHeldKeys();
    }
    bool post(const KeyboardKey &key, bool down) override
    {
        const bool modifier = key.role != KeyRole::other;
        if (modifier && down && m_down++ == 0)
            m_timer.start();
        const bool sent = m_keys.post(key, down);
        if (qEnvironmentVariableIntValue("TALVEX_BENCH_TRACE") && m_timer.isValid())
            std::fprintf(stderr, "  key %u %s at %.1f ms\n", key.id, down ? "down" : "up",
                         double(m_timer.nsecsElapsed()) / 1e6);
        if (modifier && !down && m_down > 0 && --m_down == 0)
            holds.push_back(double(m_timer.nsecsElapsed()) / 1e6);
        return sent;
    }

  private:
    KeyboardPoster &m_keys;
    QElapsedTimer m_timer;
    int m_down = 0;
};

/// The real accessibility backend, printing every answer when tracing.
class TracedAccessibility final : public Accessibility {
  public:
    explicit TracedAccessibility(Accessibility &inner)
        : m_inner(inner), m_trace(qEnvironmentVariableIntValue("TALVEX_BENCH_TRACE"))
    {
    }

    bool isTrusted() override { return m_inner.isTrusted(); }
    bool requestTrust() override { return m_inner.requestTrust(); }
    std::optional<AccessibleElement> focusedElement(std::int32_t pid) override
    {
        return note("focusedElement", m_inner.focusedElement(pid));
    }
    std::optional<AccessibleElement> systemFocusedElement() override
    {
        return note("systemFocusedElement", m_inner.systemFocusedElement());
    }
    std::optional<std::int32_t> processIdentifier(const AccessibleElement &element) override
    {
        return m_inner.processIdentifier(element);
    }
    std::optional<AccessibleElement> focusedWindow(std::int32_t pid) override
    {
        return note("focusedWindow", m_inner.focusedWindow(pid));
    }
    std::optional<QString> identifier(const AccessibleElement &element) override
    {
        auto id = m_inner.identifier(element);
        trace(QStringLiteral("identifier %1 -> %2")
                  .arg(describe(element), id.value_or(QStringLiteral("(none)"))));
        return id;
    }
    bool isSecureTextField(const AccessibleElement &element) override
    {
        return m_inner.isSecureTextField(element);
    }
    bool isTerminal(const AccessibleElement &element) override { return m_inner.isTerminal(element); }
    std::optional<TextRange> selectedRange(const AccessibleElement &element) override
    {
        auto range = m_inner.selectedRange(element);
        trace(QStringLiteral("selectedRange %1 -> %2")
                  .arg(describe(element),
                       range ? QStringLiteral("%1+%2").arg(range->location).arg(range->length)
                             : QStringLiteral("(none)")));
        return range;
    }
    std::optional<bool> stillHolds(const AccessibleElement &element, FocusHold what, int boundMs) override
    {
        QElapsedTimer took;
        took.start();
        auto answer = m_inner.stillHolds(element, what, boundMs);
        trace(QStringLiteral("stillHolds %1 within %2 ms -> %3 after %4 ms")
                  .arg(describe(element))
                  .arg(boundMs)
                  .arg(answer ? (*answer ? "yes" : "no") : "no answer")
                  .arg(double(took.nsecsElapsed()) / 1e6, 0, 'f', 1));
        return answer;
    }
    void beginCaretWatch() override { m_inner.beginCaretWatch(); }
    void endCaretWatch() override { m_inner.endCaretWatch(); }
    std::uint64_t caretAnnouncements(const AccessibleElement &element) override
    {
        return m_inner.caretAnnouncements(element);
    }

  private:
    std::optional<AccessibleElement> note(const char *what, std::optional<AccessibleElement> element)
    {
        trace(QLatin1String(what) + QStringLiteral(" -> ") + describe(element));
        return element;
    }
    void trace(const QString &line)
    {
        if (m_trace)
            std::fprintf(stderr, "  %s\n", qPrintable(line));
    }

    Accessibility &m_inner;
    bool m_trace;
};

QCoro::Task<> collect(Destination *destination, QString text, std::optional<Destination::Delivery> *out)
{
    *out = co_await destination->deliver(std::move(text));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("TALVEX_TEST_TMP")) {
        std::fprintf(stderr, "Run inside the private desktop: scripts/with-desktop -- %s\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    int deliveries = 5;
    if (!arguments.isEmpty() && arguments.front().toInt() > 0)
        deliveries = arguments.takeFirst().toInt();

    x11::X11Workspace workspace;
    atspi::AtspiAccessibility realAccessibility;
    TracedAccessibility accessibility(realAccessibility);
    x11::X11KeyboardPoster realKeyboard;
    TimedKeyboard keyboard(realKeyboard);
    x11::QtClipboard clipboard;
    SteadyClock clock;
    e2e::XTestKeyboard keys;
    const DeliveryServices services{&workspace, &accessibility, &keyboard, &clipboard, &clock};

    std::printf("%-18s %-11s %-12s %s\n", "application", "hold max", "hold median", "outcomes");
    for (const apps::AppSpec &spec : apps::matrix()) {
        if (!arguments.isEmpty() && !arguments.contains(spec.name))
            continue;
        apps::AppTarget target(spec);
        if (const auto missing = target.missing()) {
            std::printf("%-18s skipped: %s\n", qPrintable(spec.name), qPrintable(*missing));
            continue;
        }
        QString error;
        if (!target.start(&error)) {
            std::printf("%-18s did not start: %s\n", qPrintable(spec.name), qPrintable(error.left(300)));
            continue;
        }
        keyboard.holds.clear();
        QStringList outcomes;
        for (int i = 0; i < deliveries; ++i) {
            Destination destination(services, nullptr, false);
            // As in a dictation, the text comes a while after the field was captured.
            e2e::waitFor([] { return false; }, std::chrono::seconds(1));
            std::optional<Destination::Delivery> result;
            auto task = collect(&destination, QStringLiteral("word%1 ").arg(i), &result);
            e2e::waitFor([&] { return result.has_value(); }, std::chrono::seconds(30));
            outcomes << (result ? statusNames[static_cast<int>(*result)] : "(no answer)");
            if (qEnvironmentVariableIntValue("TALVEX_BENCH_TRACE") &&
                result != Destination::Delivery::inserted) {
                // What the target reports a little later: a late caret or a recreated field.
                for (int wait = 0; wait < 5; ++wait) {
                    e2e::waitFor([] { return false; }, std::chrono::milliseconds(300));
                    if (const auto element = accessibility.focusedElement(target.windowPid()))
                        accessibility.selectedRange(*element);
                }
            }
        }
        std::vector<double> holds = keyboard.holds;
        std::sort(holds.begin(), holds.end());
        outcomes.removeDuplicates();
        if (holds.empty())
            std::printf("%-18s %-11s %-12s %s\n", qPrintable(spec.name), "-", "-",
                        qPrintable(outcomes.join(", ")));
        else
            std::printf("%-18s %8.1f ms %9.1f ms %s\n", qPrintable(spec.name), holds.back(),
                        holds[holds.size() / 2], qPrintable(outcomes.join(", ")));
        std::fflush(stdout);
        target.arrived(keys); // a terminal reads its line and ends
    }
    return 0;
}
