#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

struct ps_decoder_s;
struct cmd_ln_s;

namespace talvex {

/// Where one locale's model files live, and the package that installs them.
struct SphinxModelFiles {
    QString locale;      ///< e.g. "en-US"
    QString acousticDir; ///< holds mdef, means, ...
    QString languageModel;
    QString dictionary;
    QString package;     ///< Debian package providing the files

    /// Empty when all files exist; else a sentence naming what is missing and the package.
    QString missingReason() const;
};

/// One locale's loaded model: two decoders that share the work of a dictation. The streaming decoder
/// follows the live audio for partial text and pause detection; the segment decoder decodes each
/// pause-ended segment as a whole, which normalises the audio over the whole segment and is much more
/// accurate than streaming. Loaded once and reused by every dictation, one dictation at a time.
class SphinxModel final {
public:
    struct DecoderDeleter {
        void operator()(ps_decoder_s *decoder) const;
    };
    using Decoder = std::unique_ptr<ps_decoder_s, DecoderDeleter>;

    /// Loads the files (slow: call off the main thread). Throws PlatformError.
    static std::shared_ptr<SphinxModel> load(const SphinxModelFiles &files);

    const SphinxModelFiles &files() const { return m_files; }
    ps_decoder_s *streaming() const { return m_streaming.get(); }
    ps_decoder_s *segments() const { return m_segments.get(); }

    /// Waits until no other dictation uses the decoders, then takes them.
    void acquire();
    /// Hands the decoders back. Only the holder calls it.
    void release();

    /// Makes `words` recognisable: each word missing from the dictionary gets a pronunciation from
    /// the English lexicon or letter-to-sound rules. Returns the words added. Holder only.
    QStringList addWords(const QStringList &words);

private:
    SphinxModel(SphinxModelFiles files, Decoder streaming, Decoder segments);

    SphinxModelFiles m_files;
    Decoder m_streaming;
    Decoder m_segments;
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_busy = false;
};

} // namespace talvex
