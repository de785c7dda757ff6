#pragma once

#include "SphinxSearch.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

struct ps_decoder_s;

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

/// One locale's loaded model, reused by every dictation, one dictation at a time. A dictation is
/// decoded by the live decoder while the user speaks: its partial text is the live text, and each
/// utterance it ends (at a pause, or at the end of the audio) is final at once. It normalises by a
/// cepstral mean carried from one dictation to the next and kept between runs, which makes its text
/// as good as decoding the utterance whole. A complete recording is decoded by the whole-recording
/// decoder, normalised by the recording's own mean. Each decoder costs about 90 MiB, so a process
/// loads only the one it uses.
class SphinxModel final {
  public:
    struct DecoderDeleter {
        void operator()(ps_decoder_s *decoder) const;
    };
    using Decoder = std::unique_ptr<ps_decoder_s, DecoderDeleter>;

    /// Loads the files and the decoder for `preload` (slow: call off the main thread), and the mean
    /// kept in `meanFile` (none kept when empty). Throws PlatformError. The other decoder loads on
    /// first use.
    static std::shared_ptr<SphinxModel> load(const SphinxModelFiles &files, SphinxSearch search,
                                             SphinxNormalisation preload, QString meanFile = {});
    ~SphinxModel();

    const SphinxModelFiles &files() const { return m_files; }
    SphinxSearch search() const { return m_search; }

    /// The live decoder, loaded now if it was left out; null if that fails. Holder only.
    ps_decoder_s *live();
    /// The whole-recording decoder, loaded now if it was left out; null if that fails. Holder only.
    ps_decoder_s *whole();

    /// Whether the live decoder has a mean to start from: kept from an earlier run or set by an
    /// earlier dictation. Without one, a dictation estimates it first. Holder only.
    bool hasChannelMean() const { return m_hasChannelMean; }
    /// Starts the live decoder from `mean`. Holder only.
    void setChannelMean(const std::vector<float> &mean);
    /// Keeps the live decoder's mean as a dictation left it, for the next run. Holder only.
    void keepChannelMean();

    /// Waits until no other dictation uses the decoders, then takes them.
    void acquire();
    /// Hands the decoders back. Only the holder calls it.
    void release();

    /// Makes `words` (this dictation's hints, possibly none) recognisable and nothing else beyond the
    /// dictionary: each word missing from it gets a pronunciation from the English lexicon or
    /// letter-to-sound rules, in the decoder for `use` (loaded now if needed) and every other loaded
    /// one; words added for an earlier dictation and not hinted now are removed. Returns the words
    /// added. Holder only.
    QStringList useVocabulary(const QStringList &words, SphinxNormalisation use);

  private:
    SphinxModel(SphinxModelFiles files, SphinxSearch search, QString meanFile);

    ps_decoder_s *decoder(SphinxNormalisation normalisation);
    std::vector<ps_decoder_s *> loadedDecoders() const;

    SphinxModelFiles m_files;
    SphinxSearch m_search;
    QString m_meanFile;
    std::mutex m_loadMutex; // the decoders may load on different threads
    Decoder m_live;
    Decoder m_whole;
    bool m_liveFailed = false;
    bool m_wholeFailed = false;
    bool m_hasChannelMean = false;
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_busy = false;
    std::set<QByteArray> m_added; // words added to the dictionary for dictations
};

} // namespace talvex
