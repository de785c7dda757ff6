#include "DictationCommands.h"

#include "ControllerHarness.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

enum class Start { idle, preparing, recording };
enum class End { idle, idleWithTranscript, preparing, recording };

struct Case {
    Start from;
    void (*command)(DictationController &);
    const char *name;
    End expected;
};

TEST(DictationCommandsTest, CommandsActOnThePhaseWithoutTouchingTheShortcut)
{
    const std::vector<Case> cases{
        {Start::idle, DictationCommands::start, "start", End::recording},
        {Start::idle, DictationCommands::toggle, "toggle", End::recording},
        {Start::idle, DictationCommands::stop, "stop", End::idle},
        {Start::idle, DictationCommands::cancel, "cancel", End::idle},
        {Start::preparing, DictationCommands::start, "start", End::preparing},
        {Start::preparing, DictationCommands::stop, "stop", End::idle},
        {Start::preparing, DictationCommands::toggle, "toggle", End::idle},
        {Start::preparing, DictationCommands::cancel, "cancel", End::idle},
        {Start::recording, DictationCommands::start, "start", End::recording},
        {Start::recording, DictationCommands::stop, "stop", End::idleWithTranscript},
        {Start::recording, DictationCommands::toggle, "toggle", End::idleWithTranscript},
        {Start::recording, DictationCommands::cancel, "cancel", End::idle},
    };
    for (const Case &c : cases) {
        const std::string label = std::string(c.name) + " from phase " + std::to_string(int(c.from));
        ControllerHarness harness;
        harness.pasteLands();
        std::shared_ptr<Gate> preparation;
        if (c.from == Start::preparing)
            preparation = harness.speech.holdNextPreparation();
        DictationController &controller = harness.make();
        auto phaseIs = [&](Phase phase) { return controller.phase() == phase; };
        if (c.from != Start::idle) {
            DictationCommands::start(controller);
            ASSERT_TRUE(harness.settle([&] { return !phaseIs(Phase::preparing) || preparation; })) << label;
            ASSERT_TRUE(phaseIs(c.from == Start::preparing ? Phase::preparing : Phase::recording)) << label;
        }
        // The session needs more than 0.2 s of audio before it can be finished.
        harness.clock.advance(1.0);
        c.command(controller);
        switch (c.expected) {
        case End::idle:
        case End::idleWithTranscript:
            EXPECT_TRUE(harness.settle([&] { return phaseIs(Phase::idle); }, true)) << label;
            break;
        case End::preparing:
            EXPECT_TRUE(phaseIs(Phase::preparing)) << label;
            break;
        case End::recording:
            EXPECT_TRUE(harness.settle([&] { return phaseIs(Phase::recording); })) << label;
            break;
        }
        EXPECT_EQ(controller.latest().has_value(), c.expected == End::idleWithTranscript) << label;
        EXPECT_EQ(controller.shortcutPresses(), 0) << label;
        EXPECT_FALSE(controller.shortcutPressed()) << label;
        if (preparation)
            preparation->open();
        harness.drain();
    }
}

} // namespace
} // namespace talvex::test
