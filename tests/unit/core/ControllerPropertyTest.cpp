// Random sequences of everything that can happen to a dictation, checking after every step that the
// phase only moved along the allowed transitions and that a dictation's private state exists
// exactly while a dictation does.

#include "ControllerHarness.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;

namespace {

const std::set<std::pair<Phase, Phase>> allowedTransitions = {
    {Phase::idle, Phase::preparing},         {Phase::preparing, Phase::recording},
    {Phase::preparing, Phase::idle},         {Phase::recording, Phase::transcribing},
    {Phase::recording, Phase::idle},         {Phase::transcribing, Phase::refining},
    {Phase::transcribing, Phase::idle},      {Phase::refining, Phase::idle},
};

const char *name(Phase phase)
{
    static const char *names[] = {"idle", "preparing", "recording", "transcribing", "refining"};
    return names[static_cast<int>(phase)];
}

class RandomRun {
public:
    explicit RandomRun(unsigned seed) : m_random(seed)
    {
        m_h.speechDouble.locales = {QStringLiteral("en-US"), QStringLiteral("en-GB")};
        m_h.speechDouble.configureAnalyzer = [this](AnalyzerDouble &analyzer) {
            analyzer.resultsAtFinalize = {SpeechResult{m_words, true}};
            if (m_finishFails)
                analyzer.finalizeError = QStringLiteral("The recogniser stopped.");
        };
        m_h.model.supportsEveryLocale = true;
        m_h.make();
    }

    ControllerHarness &harness() { return m_h; }

    /// One random event; returns what it did, for the failure report.
    std::string step()
    {
        switch (pick(15)) {
        case 0:
        case 1:
        case 2:
            m_time += uniform(0.05, 1.0);
            m_h.press(m_time);
            return "press";
        case 3:
        case 4:
        case 5: {
            static const double holds[] = {0.1, 0.29, 0.3, 0.5};
            m_time += holds[pick(4)];
            m_h.release(m_time);
            return "release";
        }
        case 6:
            m_h.controller().cancel();
            return "cancel";
        case 7: {
            // The microphone answer of the next start task.
            const bool allowed = pick(4) != 0;
            permissionEngine().status = allowed ? MicrophoneAuthorization::authorized : MicrophoneAuthorization::denied;
            return allowed ? "microphone allowed" : "microphone denied";
        }
        case 8: {
            // A locale change prepares again, sometimes held, sometimes for a missing model.
            if (pick(2) == 0)
                m_gates.push_back(m_h.speech.holdNextPreparation());
            Preferences preferences = m_h.controller().preferences();
            static const char *locales[] = {"en-US", "en-GB", "xx-XX"};
            preferences.locale = QString::fromLatin1(locales[pick(3)]);
            preferences.mode = pick(2) == 0 ? WritingMode::verbatim : WritingMode::clean;
            m_h.controller().setPreferences(preferences);
            return "preferences " + preferences.locale.toStdString();
        }
        case 9:
            if (m_gates.empty())
                return "no gate";
            if (pick(3) == 0)
                m_gates.front()->fail(QStringLiteral("The model could not be loaded."));
            else
                m_gates.front()->open();
            m_gates.pop_front();
            return "preparation settles";
        case 10:
            m_finishFails = pick(4) == 0;
            m_words = pick(5) == 0 ? QString() : QStringLiteral("hello world");
            return "recogniser scripted";
        case 11:
            arrangeDelivery();
            return "delivery scripted";
        case 12:
            m_h.clock.advance(uniform(0.01, 0.5));
            return "clock";
        case 13:
            m_h.clock.advance(pick(4) == 0 ? 12.5 : 1.0);
            return "clock long";
        default:
            m_h.drain();
            return "events";
        }
    }

    /// Lets everything pending finish: gates open, time passes, the worker threads end.
    bool finish()
    {
        for (auto &gate : m_gates)
            gate->open();
        m_gates.clear();
        // A hands-free recording runs until it is stopped.
        return m_h.settle(
            [this] {
                if (m_h.controller().phase() == Phase::recording)
                    m_h.controller().stopRecording();
                return m_h.controller().phase() == Phase::idle;
            },
            true);
    }

private:
    AudioEngineDouble &permissionEngine()
    {
        // The first engine made answers the permission questions for the controller's life.
        return *m_h.firstEngine();
    }

    void arrangeDelivery()
    {
        m_h.keyboard.allowed = pick(5) != 0;
        m_h.clipboard.setTextFails = pick(6) == 0;
        m_h.pasteLands(pick(2) == 0);
        if (pick(5) == 0)
            m_h.workspace.frontmost = RunningApplication{777, std::nullopt, std::nullopt, QString(), QString()};
        else
            m_h.focusTarget();
        m_h.model.availabilityValue = pick(3) == 0 ? ModelAvailability::unavailable : ModelAvailability::available;
        if (pick(2) == 0)
            m_h.model.answer(QStringLiteral("Hello, world."));
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_random); }

    std::mt19937 m_random;
    ControllerHarness m_h;
    std::deque<std::shared_ptr<Gate>> m_gates;
    double m_time = 100.0;
    bool m_finishFails = false;
    QString m_words = QStringLiteral("hello world");
};

/// Checks the phases entered since the last check and the private state now.
void checkInvariants(ControllerHarness &h, std::size_t &checked, Phase &previous, const std::string &trail)
{
    for (; checked < h.phases.size(); ++checked) {
        const Phase next = h.phases[checked];
        ASSERT_TRUE(allowedTransitions.count({previous, next}))
            << name(previous) << " -> " << name(next) << " after " << trail;
        previous = next;
    }
    const int present = h.probe().dictationStateCount();
    if (h.controller().phase() == Phase::idle)
        ASSERT_EQ(present, 0) << "private state left in idle after " << trail;
    else
        ASSERT_EQ(present, 6) << "private state incomplete in " << name(h.controller().phase()) << " after " << trail;
}

} // namespace

TEST(ControllerPropertyTest, RandomSequencesKeepThePhaseMachineAndPrivateStateConsistent)
{
    constexpr unsigned sequences = 300;
    constexpr int steps = 40;
    int dictationsFinished = 0;
    std::set<Phase> seen;
    for (unsigned seed = 1; seed <= sequences; ++seed) {
        RandomRun run(seed);
        ControllerHarness &h = run.harness();
        std::size_t checked = 0;
        Phase previous = Phase::idle;
        std::string trail;
        for (int i = 0; i < steps; ++i) {
            const std::string did = run.step();
            trail += did + ", ";
            checkInvariants(h, checked, previous, "seed " + std::to_string(seed) + ": " + trail);
            if (HasFatalFailure())
                return;
        }
        ASSERT_TRUE(run.finish()) << "seed " << seed << " never returned to idle: " << trail;
        checkInvariants(h, checked, previous, "seed " + std::to_string(seed) + " at the end: " + trail);
        if (HasFatalFailure())
            return;
        seen.insert(h.phases.begin(), h.phases.end());
        dictationsFinished += static_cast<int>(std::count(h.phases.begin(), h.phases.end(), Phase::transcribing));
    }
    // The sequences must actually reach every phase, or they prove little.
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_GT(dictationsFinished, 50);
}
