#include "TranscriptionClient.h"

#include "LlmEndpoint.h"
#include "SttLogging.h"
#include "TranscriptionForm.h"

#include <QCoro/QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace talvex {

namespace {

// The text of a dictation is a few kilobytes; anything near this is a misbehaving server.
constexpr qint64 maxAnswerBytes = 4 * 1024 * 1024;
// Marks the replies of this client, and why one was aborted.
constexpr auto ownerProperty = "talvexStt";
constexpr auto failureProperty = "talvexSttFailure";
constexpr auto reasonProperty = "talvexSttReason";

QString seconds(std::chrono::milliseconds limit)
{
    return QString::number(double(limit.count()) / 1000.0);
}

void abortWith(QNetworkReply *reply, TranscriptionFailure failure, const QString &reason)
{
    if (reply->isFinished() || reply->property(failureProperty).isValid())
        return;
    reply->setProperty(failureProperty, int(failure));
    reply->setProperty(reasonProperty, reason);
    reply->abort();
}

const char *availabilityName(TranscriptionClient::Availability availability)
{
    switch (availability) {
    case TranscriptionClient::Availability::off:
        return "off";
    case TranscriptionClient::Availability::checking:
        return "checking";
    case TranscriptionClient::Availability::reachable:
        return "reachable";
    case TranscriptionClient::Availability::unreachable:
        break;
    }
    return "unreachable";
}

} // namespace

struct TranscriptionClient::Exchange {
    int status = 0; ///< HTTP status when the server answered completely
    QByteArray body;
    TranscriptionFailure failure = TranscriptionFailure::none; ///< none when there is an answer
    QString detail;
};

TranscriptionClient::TranscriptionClient(SttEndpoint endpoint, Timing timing, QNetworkAccessManager *network,
                                         QObject *parent)
    : QObject(parent), m_endpoint(std::move(endpoint)), m_timing(timing)
{
    if (!network) {
        m_ownNetwork = std::make_unique<QNetworkAccessManager>();
        network = m_ownNetwork.get();
    }
    m_network = network;
    // A proxy from the environment would carry the user's voice off the machine.
    m_network->setProxy(QNetworkProxy::NoProxy);
    if (!m_endpoint.enabled())
        return;
    m_availability = Availability::checking;
    startProbe();
}

TranscriptionClient::TranscriptionClient(SttEndpoint endpoint)
    : TranscriptionClient(std::move(endpoint), Timing{})
{
}

TranscriptionClient::~TranscriptionClient()
{
    *m_alive = false;
    // Finish running exchanges as cancelled, so nobody is left waiting. The awaiter resumes through a
    // queued signal, so every reply must outlive the manager; each exchange deletes its own.
    for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly)) {
        if (reply->property(ownerProperty).value<quintptr>() != quintptr(this))
            continue; // another user's request on a shared network layer
        reply->setParent(nullptr);
        abortWith(reply, TranscriptionFailure::cancelled,
                  QStringLiteral("The transcription client shut down."));
    }
}

TranscriptionClient::Availability TranscriptionClient::availability() const
{
    // Probing on read instead of on a timer keeps an idle Talvex silent.
    const bool stale = m_endpoint.enabled() && m_timing.probeInterval.count() > 0 && m_sinceProbe.isValid() &&
                       m_sinceProbe.elapsed() >= m_timing.probeInterval.count();
    if (stale && !m_probeQueued) {
        m_probeQueued = true;
        QMetaObject::invokeMethod(const_cast<TranscriptionClient *>(this), &TranscriptionClient::startProbe,
                                  Qt::QueuedConnection);
    }
    return m_availability;
}

QString TranscriptionClient::activeModel() const
{
    return m_endpoint.model.isEmpty() ? m_listedModel : m_endpoint.model;
}

void TranscriptionClient::startProbe()
{
    m_probeQueued = false;
    refresh(); // runs on; the answer lands in the cache
}

void TranscriptionClient::setAvailability(Availability availability)
{
    if (availability == m_availability)
        return;
    m_availability = availability;
    qCInfo(lcStt) << "Transcription server" << availabilityName(availability);
    Q_EMIT availabilityChanged();
}

QCoro::Task<TranscriptionClient::Exchange> TranscriptionClient::exchange(QNetworkRequest request,
                                                                         std::optional<QByteArray> body,
                                                                         std::chrono::milliseconds limit,
                                                                         CancellationToken cancel)
{
    Exchange result;
    // The endpoint only ever holds a loopback address; this is the last line should that change.
    if (!LlmEndpoint::isLoopbackHost(request.url().host())) {
        result.failure = TranscriptionFailure::turnedOff;
        result.detail = QStringLiteral("The address is not on this machine; nothing was sent.");
        co_return result;
    }
    if (cancel.isCancelled()) {
        result.failure = TranscriptionFailure::cancelled;
        result.detail = QStringLiteral("The dictation was abandoned.");
        co_return result;
    }
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    QNetworkReply *reply = body ? m_network->post(request, *body) : m_network->get(request);
    reply->setProperty(ownerProperty, QVariant::fromValue(quintptr(this)));
    QPointer<QNetworkReply> guard(reply);
    QTimer::singleShot(limit, reply, [reply, limit] {
        abortWith(reply, TranscriptionFailure::timedOut,
                  QStringLiteral("No whole answer within %1 seconds.").arg(seconds(limit)));
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxAnswerBytes)
            abortWith(reply, TranscriptionFailure::malformed,
                      QStringLiteral("The answer is larger than %1 bytes.").arg(maxAnswerBytes));
    });
    const int cancelCallback = cancel.onCancel([guard] {
        if (guard)
            abortWith(guard, TranscriptionFailure::cancelled, QStringLiteral("The dictation was abandoned."));
    });

    co_await qCoro(reply).waitForFinished();
    cancel.removeCallback(cancelCallback);

    // Only the reply is touched from here: the client may be gone.
    if (!guard) {
        result.failure = TranscriptionFailure::unreachable;
        result.detail = QStringLiteral("The request was dropped.");
        co_return result;
    }
    const QNetworkReply::NetworkError error = reply->error();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Content and server error codes are the server's HTTP errors: it answered. Everything else
    // means the exchange itself broke.
    const bool httpLevel =
        (error >= QNetworkReply::ContentAccessDenied && error < QNetworkReply::ProtocolUnknownError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    if (const QVariant failure = reply->property(failureProperty); failure.isValid()) {
        result.failure = TranscriptionFailure(failure.toInt());
        result.detail = reply->property(reasonProperty).toString();
    } else if (error != QNetworkReply::NoError && !(httpLevel && status > 0)) {
        result.failure = TranscriptionFailure::unreachable;
        result.detail = QStringLiteral("The server could not be reached: %1").arg(reply->errorString());
    } else {
        result.status = status;
        result.body = reply->readAll();
    }
    reply->deleteLater();
    co_return result;
}

QCoro::Task<TranscriptionClient::Availability> TranscriptionClient::refresh()
{
    if (!m_endpoint.enabled())
        co_return Availability::off;
    const quint64 probe = ++m_probeCount;
    m_sinceProbe.start();
    const std::shared_ptr<bool> alive = m_alive;
    const Exchange result =
        co_await exchange(QNetworkRequest(m_endpoint.modelsUrl()), std::nullopt, m_timing.probeLimit, {});
    if (!*alive)
        co_return Availability::unreachable;
    if (probe < m_probeApplied)
        co_return m_availability; // a later probe has already answered
    m_probeApplied = probe;

    if (result.failure != TranscriptionFailure::none) {
        if (m_availability != Availability::unreachable)
            qCWarning(lcStt).noquote() << "Transcription server unavailable:" << result.detail;
        setAvailability(Availability::unreachable);
        co_return m_availability;
    }
    // Any answer shows the server is up; not every server lists its models.
    m_listedModel.clear();
    if (result.status >= 200 && result.status <= 299) {
        const QJsonArray models =
            QJsonDocument::fromJson(result.body).object().value(QLatin1String("data")).toArray();
        for (const QJsonValue &model : models) {
            const QString id = model.toObject().value(QLatin1String("id")).toString();
            if (!id.isEmpty()) {
                m_listedModel = id;
                break;
            }
        }
    }
    setAvailability(Availability::reachable);
    co_return m_availability;
}

QCoro::Task<TranscriptionOutcome> TranscriptionClient::transcribe(QByteArray wav, QString language,
                                                                  QString prompt, CancellationToken cancel)
{
    if (!m_endpoint.enabled())
        co_return TranscriptionOutcome::failed(TranscriptionFailure::turnedOff,
                                               QStringLiteral("No transcription server is configured."));
    TranscriptionForm form;
    form.wav = std::move(wav);
    form.model = activeModel();
    form.language = std::move(language);
    form.prompt = std::move(prompt);
    QNetworkRequest request(m_endpoint.transcriptionsUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, form.contentType());

    const std::shared_ptr<bool> alive = m_alive;
    const std::chrono::milliseconds limit = m_endpoint.timeout;
    std::optional<QByteArray> body = form.body();
    form.wav = {}; // a long dictation is held once, not twice, while the server works
    const Exchange result = co_await exchange(std::move(request), std::move(body), limit, std::move(cancel));

    TranscriptionOutcome outcome;
    outcome.failure = result.failure;
    outcome.detail = result.detail;
    if (outcome.failure == TranscriptionFailure::none && (result.status < 200 || result.status > 299)) {
        outcome.failure = TranscriptionFailure::httpError;
        outcome.detail = QStringLiteral("The server answered HTTP %1.").arg(result.status);
    }
    if (outcome.failure == TranscriptionFailure::none) {
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(result.body, &parseError);
        const QJsonValue text = document.object().value(QLatin1String("text"));
        if (parseError.error != QJsonParseError::NoError || !document.isObject() || !text.isString()) {
            outcome.failure = TranscriptionFailure::malformed;
            outcome.detail = QStringLiteral("The answer is not a JSON object with a text.");
        } else if (text.toString().trimmed().isEmpty()) {
            outcome.failure = TranscriptionFailure::empty;
            outcome.detail = QStringLiteral("The answer's text is empty.");
        } else {
            outcome.text = text.toString();
        }
    }
    if (!*alive)
        co_return outcome;
    if (outcome.failure == TranscriptionFailure::unreachable ||
        outcome.failure == TranscriptionFailure::timedOut)
        startProbe(); // a dead server should show as unavailable soon
    else if (outcome.failure != TranscriptionFailure::cancelled &&
             outcome.failure != TranscriptionFailure::turnedOff)
        setAvailability(Availability::reachable); // it answered, however badly
    co_return outcome;
}

} // namespace talvex
