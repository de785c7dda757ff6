#pragma once

#include "SttEndpoint.h"
#include "TranscriptionOutcome.h"
#include "platform/CancellationToken.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace talvex {

/// Talks to an OpenAI-compatible transcription server on this machine: one POST
/// {base}/audio/transcriptions per dictation, and an availability cache that a background probe of
/// GET {base}/models refreshes when a stale answer is read, so an idle Talvex sends nothing.
/// Nothing is sent unless the address is a loopback one; no proxy or redirect is followed. Main
/// thread only.
class TranscriptionClient final : public QObject {
    Q_OBJECT
  public:
    enum class Availability {
        off,         ///< no server configured (or the address was refused)
        checking,    ///< configured, the first probe has not answered yet
        reachable,   ///< the server answered the last probe or request
        unreachable, ///< it did not
    };
    struct Timing {
        /// A probe that has not been answered this long has failed.
        std::chrono::milliseconds probeLimit{5000};
        /// Reading an answer older than this starts a background probe; zero probes only at
        /// construction, after a failed request and on refresh().
        std::chrono::milliseconds probeInterval{10000};
    };

    /// Starts the first probe when the endpoint is enabled. `network` (not owned; null = a manager
    /// of the client's own) is the network layer every request goes through.
    TranscriptionClient(SttEndpoint endpoint, Timing timing, QNetworkAccessManager *network = nullptr,
                        QObject *parent = nullptr);
    /// With the default timing and a network layer of its own.
    explicit TranscriptionClient(SttEndpoint endpoint);
    /// Requests still running finish at once as cancelled.
    ~TranscriptionClient() override;

    const SttEndpoint &endpoint() const { return m_endpoint; }

    /// The cached result of the last probe or request. Never blocks; a stale answer starts a probe
    /// whose result lands in the cache and in availabilityChanged.
    Availability availability() const;
    /// Probes the server now and yields the availability it leads to (also cached).
    QCoro::Task<Availability> refresh();
    /// The model id sent with requests: the configured one, else the first the server listed
    /// (empty until a probe has listed one: then no model is named).
    QString activeModel() const;

    /// Sends `wav` with the language and the prompt (either may be empty: not sent) and yields the
    /// server's text, or why there is none: every failure, the endpoint's timeout and `cancel`
    /// included, ends as an outcome. Never throws.
    QCoro::Task<TranscriptionOutcome> transcribe(QByteArray wav, QString language, QString prompt,
                                                 CancellationToken cancel = {});

  Q_SIGNALS:
    void availabilityChanged();

  private:
    struct Exchange;
    QCoro::Task<Exchange> exchange(QNetworkRequest request, std::optional<QByteArray> body,
                                   std::chrono::milliseconds limit, CancellationToken cancel);
    void startProbe();
    void setAvailability(Availability availability);

    SttEndpoint m_endpoint;
    Timing m_timing;
    std::unique_ptr<QNetworkAccessManager> m_ownNetwork;
    QNetworkAccessManager *m_network = nullptr;
    QElapsedTimer m_sinceProbe;
    mutable bool m_probeQueued = false;
    Availability m_availability = Availability::off;
    QString m_listedModel;
    quint64 m_probeCount = 0;   ///< probes started
    quint64 m_probeApplied = 0; ///< the newest probe whose answer is in the cache
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); ///< false once destruction began
};

} // namespace talvex
