#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace talvex {

/// The cepstral mean the recogniser settled on for this computer's microphone and voice, kept between
/// runs so that the first dictation after a start is normalised as well as the later ones. A cache:
/// a missing or damaged file only means starting without it.
class CepstralMeanFile final {
  public:
    /// The text stored for `mean`: a comment line, then the numbers on one line.
    static QByteArray encode(const std::vector<float> &mean);

    /// The mean in `text` when it holds exactly `dimension` finite numbers of a plausible size;
    /// nothing otherwise.
    static std::optional<std::vector<float>> decode(const QByteArray &text, int dimension);

    /// Reads `path`; nothing when it is missing, unreadable or not a mean of `dimension` numbers.
    static std::optional<std::vector<float>> read(const QString &path, int dimension);

    /// Replaces `path` in one step, creating its folder. False when that failed (the old file stays).
    static bool write(const QString &path, const std::vector<float> &mean);
};

} // namespace talvex
