#include "SphinxSpeechService.h"

#include "LocaleMatch.h"
#include "SphinxAnalyzer.h"
#include "SphinxTranscriber.h"
#include "platform/Logging.h"
#include "platform/OnWorkerThread.h"
#include "platform/PlatformError.h"

#include <QDir>
#include <QStandardPaths>
#include <sphinxbase/err.h>

namespace talvex {

namespace {

// Locales a distribution package provides, with that package: preparing one that is not installed
// names the package instead of claiming the language is unsupported.
const QHash<QString, QString> &packagedLocales()
{
    static const QHash<QString, QString> packages{
        {QStringLiteral("en-US"), QStringLiteral("pocketsphinx-en-us")}};
    return packages;
}

// The recogniser expects 16 kHz mono, the rate its acoustic models were trained at.
constexpr double recogniserRate = 16000.0;

} // namespace

/// Loads a locale's model on a worker thread.
class SphinxModelLoad final : public AssetInstallationRequest {
  public:
    SphinxModelLoad(SphinxSpeechService &service, QString locale)
        : m_service(service), m_locale(std::move(locale))
    {
    }

    QCoro::Task<> downloadAndInstall() override
    {
        SphinxSpeechService *service = &m_service;
        auto loading = onWorkerThread([service, locale = m_locale] { service->loadModel(locale); });
        co_await loading;
    }

  private:
    SphinxSpeechService &m_service;
    QString m_locale;
};

QString SphinxSpeechService::defaultModelRoot()
{
    const QString configured = qEnvironmentVariable("TALVEX_SPHINX_MODELS");
    return configured.isEmpty() ? QStringLiteral("/usr/share/pocketsphinx/model") : configured;
}

QString SphinxSpeechService::defaultMeanFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Talvex");
}

SphinxSpeechService::SphinxSpeechService(QString modelRoot, Preload preload, QString meanFolder,
                                         std::optional<SphinxSearch> search)
    : m_root(std::move(modelRoot)), m_preload(preload), m_meanFolder(std::move(meanFolder))
{
    err_set_logfp(nullptr); // the decoder's own chatter would flood the terminal and the journal
    QString problem;
    m_search = search ? *search : sphinxSearchFromEnvironment(&problem);
    if (!problem.isEmpty())
        qCWarning(lcSpeech).noquote() << problem;
}

SphinxModelFiles SphinxSpeechService::filesFor(const QString &locale) const
{
    const QString folder = locale.toLower();
    SphinxModelFiles files;
    files.locale = locale;
    files.acousticDir = m_root + '/' + folder + '/' + folder;
    files.languageModel = m_root + '/' + folder + '/' + folder + QStringLiteral(".lm.bin");
    files.dictionary = m_root + '/' + folder + QStringLiteral("/cmudict-") + folder + QStringLiteral(".dict");
    files.package = packagedLocales().value(locale, QStringLiteral("pocketsphinx-") + folder);
    return files;
}

QStringList SphinxSpeechService::installedLocales() const
{
    QStringList locales;
    const auto folders = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const auto &folder : folders) {
        const QString locale = canonicalLocale(folder);
        if (locale.contains('-') && filesFor(locale).missingReason().isEmpty())
            locales << locale;
    }
    return locales;
}

QCoro::Task<QStringList> SphinxSpeechService::supportedLocales()
{
    co_return installedLocales();
}

QCoro::Task<std::optional<QString>> SphinxSpeechService::supportedLocale(QString identifier)
{
    QStringList candidates = installedLocales();
    for (auto it = packagedLocales().cbegin(); it != packagedLocales().cend(); ++it)
        if (!candidates.contains(it.key()))
            candidates << it.key();
    co_return equivalentLocale(identifier, candidates);
}

std::shared_ptr<Transcriber> SphinxSpeechService::makeTranscriber(const QString &locale)
{
    return std::make_shared<SphinxTranscriber>(locale, true);
}

std::shared_ptr<Transcriber> SphinxSpeechService::makeOfflineTranscriber(const QString &locale)
{
    return std::make_shared<SphinxTranscriber>(locale, false);
}

std::shared_ptr<SphinxModel> SphinxSpeechService::loadedModel(const QString &locale) const
{
    std::lock_guard lock(m_mutex);
    return m_models.value(locale);
}

std::shared_ptr<SphinxModel> SphinxSpeechService::loadModel(const QString &locale)
{
    std::lock_guard loading(m_loadMutex);
    if (auto model = loadedModel(locale))
        return model;
    qCDebug(lcSpeech) << "Loading the speech model for" << locale;
    const QString meanFile =
        m_meanFolder.isEmpty() ? QString() : m_meanFolder + QStringLiteral("/speech-%1.mean").arg(locale);
    auto model = SphinxModel::load(
        filesFor(locale), m_search,
        m_preload == Preload::dictation ? SphinxNormalisation::live : SphinxNormalisation::whole, meanFile);
    std::lock_guard lock(m_mutex);
    m_models.insert(locale, model);
    return model;
}

QCoro::Task<AssetStatus> SphinxSpeechService::assetStatus(std::shared_ptr<Transcriber> module)
{
    co_return loadedModel(module->locale()) ? AssetStatus::installed : AssetStatus::supported;
}

QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
SphinxSpeechService::assetInstallationRequest(std::shared_ptr<Transcriber> module)
{
    std::unique_ptr<AssetInstallationRequest> request;
    if (!loadedModel(module->locale()))
        request = std::make_unique<SphinxModelLoad>(*this, module->locale());
    co_return request;
}

QCoro::Task<std::optional<AudioFormat>>
SphinxSpeechService::bestAvailableAudioFormat(std::shared_ptr<Transcriber>, AudioFormat input)
{
    std::optional<AudioFormat> format;
    if (input.sampleRate > 0 && input.channelCount > 0)
        format = AudioFormat{recogniserRate, 1};
    co_return format;
}

std::shared_ptr<Analyzer> SphinxSpeechService::makeAnalyzer(std::shared_ptr<Transcriber> module)
{
    auto model = loadedModel(module->locale());
    QString missing;
    if (!model) {
        missing = filesFor(module->locale()).missingReason();
        if (missing.isEmpty())
            missing = QStringLiteral("The speech model for %1 is not loaded yet.").arg(module->locale());
    }
    return std::make_shared<SphinxAnalyzer>(std::move(model),
                                            std::static_pointer_cast<SphinxTranscriber>(module), missing);
}

} // namespace talvex
