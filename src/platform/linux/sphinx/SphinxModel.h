#pragma once

#include <QString>
#include <QByteArray>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
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
    QString package; ///< Debian package providing the files

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

    /// Loads the files (slow: call off the main thread). Throws PlatformError. Without
    /// `withStreaming` the streaming decoder loads on first use, for callers that want finals only.
    static std::shared_ptr<SphinxModel> load(const SphinxModelFiles &files, bool withStreaming = true);

    const SphinxModelFiles &files() const { return m_files; }
    /// Loads the streaming decoder now if it was left out; null if that fails.
    ps_decoder_s *streaming();
    ps_decoder_s *segments() const { return m_segments.get(); }

    /// Seconds of audio the streaming decoder has followed since it was loaded. Holder only.
    double streamedSeconds() const { return m_streamedSeconds; }
    void addStreamedSeconds(double seconds) { m_streamedSeconds += seconds; }

    /// Waits until no other dictation uses the decoders, then takes them.
    void acquire();
    /// Hands the decoders back. Only the holder calls it.
    void release();

    /// Makes `words` (this dictation's hints, possibly none) recognisable and nothing else beyond the
    /// dictionary: each word missing from it gets a pronunciation from the English lexicon or
    /// letter-to-sound rules, in the segment decoder and, with `streamingToo`, the streaming one;
    /// words added for an earlier dictation and not hinted now are removed. Returns the words added.
    /// Holder only.
    QStringList useVocabulary(const QStringList &words, bool streamingToo);

  private:
    SphinxModel(SphinxModelFiles files, Decoder streaming, Decoder segments);

    SphinxModelFiles m_files;
    std::once_flag m_streamingLoad;
    Decoder m_streaming;
    Decoder m_segments;
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_busy = false;
    double m_streamedSeconds = 0.0;
    std::set<QByteArray> m_added; // words added to the dictionary for dictations
};

} // namespace talvex
