#pragma once

#include <optional>

namespace talvex {

/// Where the time of one finished dictation went, from the stop (the release of the shortcut, or a
/// stop command) to the end of its delivery, in seconds on the controller's monotonic clock.
struct DictationTiming {
    /// The stop until the recogniser handed over its final transcript.
    double recognition = 0;
    /// The rewrite by the language model and the word replacements; absent when the writing mode
    /// asked for no rewrite.
    std::optional<double> rewrite;
    /// The end of the rewrite (or of recognition) until the delivery had its outcome.
    double paste = 0;

    /// From the stop to the text in the field: the segments add up to it exactly.
    double total() const { return recognition + rewrite.value_or(0.0) + paste; }

    /// The segments between the four moments a dictation's end passes; `rewritten` is absent when
    /// no rewrite ran.
    static DictationTiming between(double stopped, double recognized, std::optional<double> rewritten,
                                   double delivered)
    {
        DictationTiming timing;
        timing.recognition = recognized - stopped;
        if (rewritten)
            timing.rewrite = *rewritten - recognized;
        timing.paste = delivered - rewritten.value_or(recognized);
        return timing;
    }

    friend bool operator==(const DictationTiming &, const DictationTiming &) = default;
};

/// The timings of the latest dictation into the onboarding's practice field and of the latest one
/// into another application, each absent until such a dictation has been delivered in this run.
struct DictationTimings {
    std::optional<DictationTiming> practice;
    std::optional<DictationTiming> otherApplication;

    friend bool operator==(const DictationTimings &, const DictationTimings &) = default;
};

} // namespace talvex
