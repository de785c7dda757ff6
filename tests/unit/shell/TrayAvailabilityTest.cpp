#include "TrayAvailability.h"

#include <functional>
#include <gtest/gtest.h>

namespace talvex {
namespace {

using Step = TrayAvailability::Step;

/// One observation and the step it should lead to.
struct Event {
    std::function<Step(TrayAvailability &)> observe;
    Step expected;
};

Event watcher(bool present, bool host, Step expected)
{
    return {[=](TrayAvailability &a) { return a.statusNotifierChanged(present, host); }, expected};
}
Event embedded(bool present, Step expected)
{
    return {[=](TrayAvailability &a) { return a.embeddedTrayChanged(present); }, expected};
}
Event waitEnds(Step expected)
{
    return {[](TrayAvailability &a) { return a.waitEnded(); }, expected};
}

struct Sequence {
    const char *name;
    std::vector<Event> events;
    std::optional<TrayProtocol> protocol;
};

TEST(TrayAvailabilityTest, IconIsMadeOnlyOnceAHostIsKnown)
{
    const auto create = Step::createIcon;
    const auto wait = Step::wait;
    const auto missing = Step::reportMissing;
    const std::vector<Sequence> sequences{
        {"a panel with a StatusNotifier host", {watcher(true, true, create)}, TrayProtocol::statusNotifier},
        {"only an XEmbed tray", {embedded(true, wait), watcher(false, false, create)}, TrayProtocol::xembed},
        {"an XEmbed tray found before the bus answers waits for it",
         {embedded(true, wait), watcher(true, true, create)},
         TrayProtocol::statusNotifier},
        {"a watcher whose host registers later",
         {embedded(false, wait), watcher(true, false, wait), watcher(true, true, create)},
         TrayProtocol::statusNotifier},
        {"a watcher without host keeps an XEmbed tray unused: Qt would pick StatusNotifier",
         {embedded(true, wait), watcher(true, false, wait), waitEnds(missing), watcher(true, true, create)},
         TrayProtocol::statusNotifier},
        {"no tray: reported once, then a panel starts",
         {embedded(false, wait), watcher(false, false, wait), waitEnds(missing), waitEnds(wait),
          watcher(true, false, wait), watcher(true, true, create)},
         TrayProtocol::statusNotifier},
        {"no tray: an XEmbed tray starts after the report",
         {watcher(false, false, wait), waitEnds(missing), embedded(true, create)},
         TrayProtocol::xembed},
        {"the watcher leaves before its host registers, then a tray starts",
         {watcher(true, false, wait), watcher(false, false, wait), embedded(true, create)},
         TrayProtocol::xembed},
        {"a host that says it is registered without a watcher is not believed",
         {watcher(false, true, wait)},
         std::nullopt},
        {"nothing after the first icon",
         {watcher(true, true, create), embedded(true, wait), waitEnds(wait), watcher(false, false, wait)},
         TrayProtocol::statusNotifier},
    };
    for (const Sequence &sequence : sequences) {
        TrayAvailability availability;
        for (std::size_t i = 0; i < sequence.events.size(); ++i)
            EXPECT_EQ(sequence.events[i].observe(availability), sequence.events[i].expected)
                << sequence.name << ", event " << i;
        EXPECT_EQ(availability.protocol(), sequence.protocol) << sequence.name;
    }
}

} // namespace
} // namespace talvex
