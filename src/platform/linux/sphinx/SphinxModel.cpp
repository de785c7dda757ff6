#include "SphinxModel.h"

#include "FlitePronouncer.h"
#include "platform/Logging.h"
#include "platform/PlatformError.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <mutex>
#include <pocketsphinx.h>
#include <set>
#include <sphinxbase/ckd_alloc.h>

namespace talvex {

void SphinxModel::DecoderDeleter::operator()(ps_decoder_s *decoder) const
{
    ps_free(decoder);
}

QString SphinxModelFiles::missingReason() const
{
    const bool present = QFileInfo::exists(acousticDir + QStringLiteral("/mdef")) &&
                         QFileInfo::exists(languageModel) && QFileInfo::exists(dictionary);
    if (present)
        return {};
    return QStringLiteral("The speech model for %1 is not installed. Install the package %2.")
        .arg(locale, package);
}

namespace {

SphinxModel::Decoder makeDecoder(const SphinxModelFiles &files, bool streaming)
{
    // One decoder at a time in the whole process: the decoder's set-up replaces the library-wide log
    // file ("-logfn"), closing the previous one, so two set-ups side by side closed the same file twice
    // and corrupted the heap (seen as a hang or an abort while the model loaded).
    static std::mutex setUp;
    std::lock_guard lock(setUp);
    const QByteArray hmm = files.acousticDir.toUtf8();
    const QByteArray lm = files.languageModel.toUtf8();
    const QByteArray dict = files.dictionary.toUtf8();
    // The streaming decoder cannot see the whole segment, so it normalises as it goes; the segment
    // decoder keeps the model's own whole-utterance normalisation. The streaming decoder also skips
    // the second and third search passes: they cost time in proportion to the utterance right when
    // the user stops talking (about 0.3 s for 5 s of speech here), and on the test recordings the
    // single pass was as accurate once warm.
    cmd_ln_t *config =
        streaming ? cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(),
                                "-dict", dict.constData(), "-logfn", "/dev/null", "-cmn", "live", "-fwdflat",
                                "no", "-bestpath", "no", nullptr)
                  : cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(),
                                "-dict", dict.constData(), "-logfn", "/dev/null", nullptr);
    if (!config)
        throw PlatformError(
            QStringLiteral("The speech model for %1 could not be configured.").arg(files.locale));
    ps_decoder_t *decoder = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!decoder)
        throw PlatformError(
            QStringLiteral("The speech model for %1 could not be loaded. Reinstall the package %2.")
                .arg(files.locale, files.package));
    return SphinxModel::Decoder(decoder);
}

} // namespace

std::shared_ptr<SphinxModel> SphinxModel::load(const SphinxModelFiles &files, bool withStreaming)
{
    if (const QString missing = files.missingReason(); !missing.isEmpty())
        throw PlatformError(missing);
    if (!withStreaming)
        return std::shared_ptr<SphinxModel>(new SphinxModel(files, nullptr, makeDecoder(files, false)));
    auto segments = makeDecoder(files, false);
    auto streaming = makeDecoder(files, true);
    auto model =
        std::shared_ptr<SphinxModel>(new SphinxModel(files, std::move(streaming), std::move(segments)));
    std::call_once(model->m_streamingLoad, [] {});
    return model;
}

ps_decoder_s *SphinxModel::streaming()
{
    std::call_once(m_streamingLoad, [this] {
        try {
            m_streaming = makeDecoder(m_files, true);
        } catch (const PlatformError &e) {
            qCWarning(lcSpeech) << "The streaming decoder could not be loaded:" << e.description();
        }
    });
    return m_streaming.get();
}

SphinxModel::SphinxModel(SphinxModelFiles files, Decoder streaming, Decoder segments)
    : m_files(std::move(files)), m_streaming(std::move(streaming)), m_segments(std::move(segments))
{
}

void SphinxModel::acquire()
{
    std::unique_lock lock(m_mutex);
    m_free.wait(lock, [this] { return !m_busy; });
    m_busy = true;
}

void SphinxModel::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
    }
    m_free.notify_one();
}

QStringList SphinxModel::useVocabulary(const QStringList &words, bool streamingToo)
{
    static const QRegularExpression separators(QStringLiteral("[^\\w']+"));
    std::vector<ps_decoder_t *> decoders{m_segments.get()};
    if (streamingToo && streaming())
        decoders.push_back(streaming());

    // Words an earlier dictation added but this one does not ask for go again: the dictionary is
    // reloaded from its file (rare: only when the vocabulary changed), then this dictation's added.
    std::set<QByteArray> wanted;
    for (const auto &hint : words)
        for (const auto &piece : hint.split(separators, Qt::SkipEmptyParts))
            wanted.insert(piece.toLower().toUtf8());
    const bool stale =
        std::any_of(m_added.begin(), m_added.end(), [&](const QByteArray &w) { return !wanted.count(w); });
    if (stale) {
        const QByteArray dictionary = m_files.dictionary.toUtf8();
        for (ps_decoder_t *decoder : {m_segments.get(), m_streaming.get()})
            if (decoder && ps_load_dict(decoder, dictionary.constData(), nullptr, nullptr) < 0)
                qCWarning(lcSpeech) << "The recogniser could not reload its dictionary";
        m_added.clear();
    }

    // Each decoder's search is rebuilt once, after its last new word: a rebuild costs about a tenth
    // of a second, which per word would make a long vocabulary hold up the start of a dictation.
    QStringList added;
    std::set<QByteArray> seen;
    std::map<ps_decoder_t *, std::vector<std::pair<QByteArray, QByteArray>>> additions;
    for (const auto &hint : words) {
        for (const auto &piece : hint.split(separators, Qt::SkipEmptyParts)) {
            const QByteArray word = piece.toLower().toUtf8();
            if (!seen.insert(word).second)
                continue;
            std::vector<ps_decoder_t *> missing;
            for (ps_decoder_t *decoder : decoders) {
                if (char *known = ps_lookup_word(decoder, word.constData()))
                    ckd_free(known);
                else
                    missing.push_back(decoder);
            }
            if (missing.empty())
                continue;
            const auto phones = FlitePronouncer::pronounce(piece);
            if (!phones) {
                qCDebug(lcSpeech) << "No pronunciation for a vocabulary word";
                continue;
            }
            for (ps_decoder_t *decoder : missing)
                additions[decoder].emplace_back(word, phones->toUtf8());
            added << QString::fromUtf8(word);
            m_added.insert(word);
        }
    }
    for (const auto &[decoder, entries] : additions) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const bool last = i + 1 == entries.size();
            if (ps_add_word(decoder, entries[i].first.constData(), entries[i].second.constData(), last) < 0)
                qCWarning(lcSpeech) << "The recogniser refused a vocabulary word";
        }
    }
    return added;
}

} // namespace talvex
