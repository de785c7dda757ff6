#include "TrailingQuiet.h"

#include <algorithm>
#include <cmath>

namespace talvex {

namespace {

// Below about -80 dBFS a frame is never loud, so that digital silence is quiet even on its own.
constexpr double silentMeanSquare = 10.0 * 10.0;

double meanSquare(std::span<const std::int16_t> frame)
{
    double sum = 0;
    for (const std::int16_t sample : frame)
        sum += double(sample) * double(sample);
    return frame.empty() ? 0.0 : sum / double(frame.size());
}

// Calls `visit(offset, meanSquare)` for each frame of `samples`; the last may be shorter.
template <typename Visit> void forEachFrame(std::span<const std::int16_t> samples, Visit visit)
{
    for (std::size_t offset = 0; offset < samples.size(); offset += TrailingQuiet::frameSamples)
        visit(offset, meanSquare(samples.subspan(offset, std::min(TrailingQuiet::frameSamples,
                                                                  samples.size() - offset))));
}

} // namespace

TrailingQuiet::TrailingQuiet(std::size_t keptSamples, double quietDecibels)
    : m_kept(keptSamples), m_quietRatio(std::pow(10.0, -quietDecibels / 10.0))
{
}

bool TrailingQuiet::loud(double frameMeanSquare, double loudest) const
{
    return frameMeanSquare > silentMeanSquare && frameMeanSquare >= loudest * m_quietRatio;
}

void TrailingQuiet::fed(std::span<const std::int16_t> samples)
{
    forEachFrame(samples, [&](std::size_t, double energy) { m_loudest = std::max(m_loudest, energy); });
    forEachFrame(samples, [&](std::size_t offset, double energy) {
        const std::size_t end = std::min(offset + frameSamples, samples.size());
        if (loud(energy, m_loudest))
            m_sinceLoud = 0;
        else
            m_sinceLoud += end - offset;
    });
}

std::size_t TrailingQuiet::worthDecoding(std::span<const std::int16_t> rest) const
{
    double loudest = m_loudest;
    forEachFrame(rest, [&](std::size_t, double energy) { loudest = std::max(loudest, energy); });
    // The end of the last loud frame, counted from the start of `rest`; before it if none is in it.
    std::ptrdiff_t lastLoudEnd = -std::ptrdiff_t(m_sinceLoud);
    forEachFrame(rest, [&](std::size_t offset, double energy) {
        if (loud(energy, loudest))
            lastLoudEnd = std::ptrdiff_t(std::min(offset + frameSamples, rest.size()));
    });
    const std::ptrdiff_t keep = lastLoudEnd + std::ptrdiff_t(m_kept);
    return std::size_t(std::clamp<std::ptrdiff_t>(keep, 0, std::ptrdiff_t(rest.size())));
}

} // namespace talvex
