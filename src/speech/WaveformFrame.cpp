#include "WaveformFrame.h"

namespace talvex {

const WaveformFrame &WaveformFrame::silence()
{
    static const WaveformFrame frame{std::vector<WaveformPeak>(waveformColumnCount), std::nullopt, 0.014};
    return frame;
}

} // namespace talvex
