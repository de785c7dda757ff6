// The recorder panel in each phase, as it looks over a compositor, plus one picture of the opaque
// card used when there is none.
#include "RenderSink.h"
#include "Scenes.h"
#include "overlay/NonactivatingRecorder.h"
#include "overlay/RecorderView.h"

#include <cmath>
#include <cstdint>

namespace talvex::render {

namespace {

// A fixed moment on the host clock, so the pictures do not depend on when they are made.
constexpr double now = 1000.0;

// Something like speech: syllables of different length and loudness after a short pause, with a
// little grain from a fixed pseudo-random sequence.
WaveformFrame speechFrame()
{
    struct Syllable {
        double centre, width, loudness;
    };
    static constexpr Syllable syllables[] = {
        {24, 2.0, 0.04}, {31, 2.5, 0.22}, {40, 1.8, 0.08}, {47, 3.0, 0.30}, {58, 2.2, 0.12},
        {68, 3.2, 0.25}, {78, 1.6, 0.05}, {86, 2.6, 0.18}, {97, 3.0, 0.28}, {107, 2.0, 0.10}};
    WaveformFrame frame = WaveformFrame::silence();
    std::uint32_t seed = 12345;
    auto grain = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return 0.75 + 0.5 * double(seed >> 8) / double(1u << 24);
    };
    for (std::size_t k = 0; k < frame.peaks.size(); ++k) {
        double loudness = 0.002;
        for (const Syllable &syllable : syllables) {
            const double distance = (double(k) - syllable.centre) / syllable.width;
            loudness += syllable.loudness * std::exp(-distance * distance);
        }
        frame.peaks[k].high = float(loudness * grain());
        frame.peaks[k].low = -float(loudness * grain());
    }
    // The newest column arrived a moment ago: the picture has slid most of the way to it.
    frame.newestTime = now - 0.1;
    return frame;
}

struct State {
    const char *name;
    Phase phase;
    QString liveText;
    WaveformFrame waveform;
    bool translucent = true;
};

} // namespace

void renderOverlay(RenderSink &sink)
{
    const QString twoLines =
        QStringLiteral("The weather is nice today. I will send the report to my manager tomorrow morning");
    const QString longText = QStringLiteral(
        "First of all thank you for the notes from yesterday. I went through every one of them and "
        "most are already in the draft. The two open questions are the budget for the spring and who "
        "takes over the weekly call while I am away");
    const std::vector<State> states = {
        {"overlay-preparing", Phase::preparing, {}, WaveformFrame::silence()},
        {"overlay-recording-silent", Phase::recording, {}, WaveformFrame::silence()},
        {"overlay-recording-speech", Phase::recording, twoLines, speechFrame()},
        {"overlay-recording-long-transcript", Phase::recording, longText, speechFrame()},
        {"overlay-transcribing", Phase::transcribing, {}, WaveformFrame::silence()},
        {"overlay-refining", Phase::refining, {}, WaveformFrame::silence()},
        {"overlay-recording-speech-opaque", Phase::recording, twoLines, speechFrame(), false},
    };
    for (const State &state : states) {
        const QString name = QString::fromLatin1(state.name);
        if (!sink.wants(name))
            continue;
        NonactivatingRecorder window(nullptr, [] { return now; });
        window.setTranslucent(state.translucent);
        RecorderView &view = *window.view();
        view.setPhase(state.phase);
        view.setLiveText(state.liveText);
        view.setWaveform(state.waveform);
        sink.save(name, window);
    }
}

} // namespace talvex::render
