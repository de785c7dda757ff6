#include "SphinxModel.h"

#include "CepstralMeanFile.h"
#include "FlitePronouncer.h"
#include "platform/Logging.h"
#include "platform/PlatformError.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <map>
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/feat.h>

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

SphinxModel::Decoder makeDecoder(const SphinxModelFiles &files, SphinxSearch search,
                                 SphinxNormalisation normalisation)
{
    // One decoder at a time in the whole process: the decoder's set-up replaces the library-wide log
    // file ("-logfn"), closing the previous one, so two set-ups side by side closed the same file twice
    // and corrupted the heap (seen as a hang or an abort while the model loaded).
    static std::mutex setUp;
    std::lock_guard lock(setUp);
    QStringList arguments{QStringLiteral("-hmm"),   files.acousticDir,          QStringLiteral("-lm"),
                          files.languageModel,      QStringLiteral("-dict"),    files.dictionary,
                          QStringLiteral("-logfn"), QStringLiteral("/dev/null")};
    arguments << sphinxDecoderArguments(search, normalisation);
    std::vector<QByteArray> bytes;
    for (const QString &argument : std::as_const(arguments))
        bytes.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    cmd_ln_t *config = cmd_ln_parse_r(nullptr, ps_args(), std::int32_t(argv.size()), argv.data(), TRUE);
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

cmn_t *channelMeanOf(ps_decoder_t *decoder)
{
    feat_t *features = decoder ? ps_get_feat(decoder) : nullptr;
    return features ? features->cmn_struct : nullptr;
}

} // namespace

std::shared_ptr<SphinxModel> SphinxModel::load(const SphinxModelFiles &files, SphinxSearch search,
                                               SphinxNormalisation preload, QString meanFile)
{
    if (const QString missing = files.missingReason(); !missing.isEmpty())
        throw PlatformError(missing);
    auto model = std::shared_ptr<SphinxModel>(new SphinxModel(files, search, std::move(meanFile)));
    Decoder &slot = preload == SphinxNormalisation::live ? model->m_live : model->m_whole;
    slot = makeDecoder(files, search, preload);
    if (preload == SphinxNormalisation::live && !model->m_meanFile.isEmpty()) {
        cmn_t *mean = channelMeanOf(model->m_live.get());
        if (mean)
            if (const auto kept = CepstralMeanFile::read(model->m_meanFile, mean->veclen))
                model->setChannelMean(*kept);
    }
    return model;
}

SphinxModel::SphinxModel(SphinxModelFiles files, SphinxSearch search, QString meanFile)
    : m_files(std::move(files)), m_search(search), m_meanFile(std::move(meanFile))
{
}

SphinxModel::~SphinxModel() = default;

ps_decoder_s *SphinxModel::live()
{
    return decoder(SphinxNormalisation::live);
}

ps_decoder_s *SphinxModel::whole()
{
    return decoder(SphinxNormalisation::whole);
}

ps_decoder_s *SphinxModel::decoder(SphinxNormalisation normalisation)
{
    std::lock_guard lock(m_loadMutex);
    Decoder &slot = normalisation == SphinxNormalisation::live ? m_live : m_whole;
    bool &failed = normalisation == SphinxNormalisation::live ? m_liveFailed : m_wholeFailed;
    if (!slot && !failed) {
        try {
            slot = makeDecoder(m_files, m_search, normalisation);
        } catch (const PlatformError &e) {
            failed = true;
            qCWarning(lcSpeech) << "A speech decoder could not be loaded:" << e.description();
        }
    }
    return slot.get();
}

std::vector<ps_decoder_s *> SphinxModel::loadedDecoders() const
{
    std::vector<ps_decoder_s *> decoders;
    for (ps_decoder_s *decoder : {m_live.get(), m_whole.get()})
        if (decoder)
            decoders.push_back(decoder);
    return decoders;
}

void SphinxModel::setChannelMean(const std::vector<float> &mean)
{
    cmn_t *state = channelMeanOf(m_live.get());
    if (!state || mean.size() != std::size_t(state->veclen))
        return;
    std::vector<mfcc_t> values(mean.begin(), mean.end());
    cmn_live_set(state, values.data());
    m_hasChannelMean = true;
}

void SphinxModel::keepChannelMean()
{
    cmn_t *state = channelMeanOf(m_live.get());
    if (!state)
        return;
    m_hasChannelMean = true;
    if (m_meanFile.isEmpty())
        return;
    std::vector<mfcc_t> values(std::size_t(state->veclen));
    cmn_live_get(state, values.data());
    const std::vector<float> mean(values.begin(), values.end());
    if (!CepstralMeanFile::write(m_meanFile, mean))
        qCDebug(lcSpeech) << "The speech normalisation could not be kept in" << m_meanFile;
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

QStringList SphinxModel::useVocabulary(const QStringList &words, SphinxNormalisation use)
{
    static const QRegularExpression separators(QStringLiteral("[^\\w']+"));
    decoder(use); // the words go into the decoder that will use them, even when it loads only now
    const std::vector<ps_decoder_t *> decoders = loadedDecoders();

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
        for (ps_decoder_t *decoder : decoders)
            if (ps_load_dict(decoder, dictionary.constData(), nullptr, nullptr) < 0)
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
