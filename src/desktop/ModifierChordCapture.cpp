#include "ModifierChordCapture.h"

#include <bit>

namespace talvex {

ModifierChordCapture::Outcome ModifierChordCapture::modifiersChanged(std::uint32_t mask)
{
    if (mask != 0) {
        // Ties replace: swapping one modifier for another moves the peak to the new set.
        if (!m_usedOrdinaryKey && std::popcount(mask) >= std::popcount(m_peak))
            m_peak = mask;
        if (std::popcount(m_peak) >= 2)
            return {Outcome::Kind::chordHeld, m_peak, std::nullopt};
        return {Outcome::Kind::holding, mask, std::nullopt};
    }

    const std::uint32_t peak = m_peak;
    reset();
    if (std::popcount(peak) >= 2)
        return {Outcome::Kind::completed, peak, Shortcut::chord(peak)};
    return {};
}

void ModifierChordCapture::ordinaryKeyDown()
{
    m_peak = 0;
    m_usedOrdinaryKey = true;
}

void ModifierChordCapture::reset()
{
    m_peak = 0;
    m_usedOrdinaryKey = false;
}

} // namespace talvex
