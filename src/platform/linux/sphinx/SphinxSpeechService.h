#pragma once

#include "SphinxModel.h"
#include "platform/SpeechService.h"

#include <QHash>
#include <memory>
#include <mutex>

namespace talvex {

/// On-device recognition with PocketSphinx. Locales are the installed models under the model folder
/// (Debian: /usr/share/pocketsphinx/model/<locale>); a locale that a distribution package provides
/// is also accepted, so that preparing it can say which package to install. "Installing" a model
/// loads it into memory, once per locale; every later dictation reuses it.
class SphinxSpeechService final : public SpeechService {
  public:
    static QString defaultModelRoot();
    /// Where the application keeps what the recogniser learnt of the microphone between runs: the
    /// cache folder's "Talvex".
    static QString defaultMeanFolder();

    /// The decoder preparation loads: the live one that dictations use, or the one for complete
    /// recordings (a caller that only transcribes files); the other loads on first use.
    enum class Preload { dictation, recordings };

    /// `meanFolder` keeps each locale's normalisation between runs; empty keeps nothing (each run
    /// starts by estimating it). `search` is the search width, by default TALVEX_SPHINX_SEARCH's.
    explicit SphinxSpeechService(QString modelRoot = defaultModelRoot(), Preload preload = Preload::dictation,
                                 QString meanFolder = {}, std::optional<SphinxSearch> search = std::nullopt);

    bool isAvailable() const override { return true; }
    QCoro::Task<QStringList> supportedLocales() override;
    QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) override;
    std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) override;
    std::shared_ptr<Transcriber> makeOfflineTranscriber(const QString &locale) override;
    QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber> module) override;
    QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber> module) override;
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(std::shared_ptr<Transcriber> module,
                                                                     AudioFormat input) override;
    std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) override;

    /// The files a locale would use, installed or not.
    SphinxModelFiles filesFor(const QString &locale) const;
    /// Locales whose model files are all present.
    QStringList installedLocales() const;
    /// The loaded model of `locale`, or null before preparation loaded it.
    std::shared_ptr<SphinxModel> model(const QString &locale) const { return loadedModel(locale); }

  private:
    friend class SphinxModelLoad;
    std::shared_ptr<SphinxModel> loadedModel(const QString &locale) const;
    std::shared_ptr<SphinxModel> loadModel(const QString &locale);

    QString m_root;
    Preload m_preload;
    QString m_meanFolder;
    SphinxSearch m_search;
    mutable std::mutex m_mutex;
    QHash<QString, std::shared_ptr<SphinxModel>> m_models;
    std::mutex m_loadMutex; // one load at a time, so two preparations never load the same model twice
};

} // namespace talvex
