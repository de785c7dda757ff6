#include "ChatCompletionsModel.h"

#include "ChatCompletionAnswer.h"

#include "platform/Logging.h"

#include <QCoro/QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <algorithm>

namespace talvex {

namespace {

// A rewrite of one dictation is a few kilobytes; anything near this is a misbehaving server.
constexpr qint64 maxAnswerBytes = 8 * 1024 * 1024;
constexpr auto abortReasonProperty = "talvexAbortReason";

struct Exchange {
    int status = 0;    ///< HTTP status when the server answered completely
    QByteArray body;
    QString failure;   ///< why there is no complete answer; empty when there is one
};

QString seconds(std::chrono::milliseconds limit)
{
    return QString::number(static_cast<double>(limit.count()) / 1000.0);
}

// One HTTP exchange, bounded by `idleLimit` of silence. Touches nothing but the reply after the
// await, so it is safe while the owner is being destroyed.
QCoro::Task<Exchange> exchange(QNetworkAccessManager &network, QNetworkRequest request,
                               std::optional<QByteArray> postBody, std::chrono::milliseconds idleLimit)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(std::max<int>(1, static_cast<int>(idleLimit.count())));
    request.setRawHeader("Accept", "application/json");
    QNetworkReply *reply = nullptr;
    if (postBody) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        reply = network.post(request, *postBody);
    } else {
        reply = network.get(request);
    }
    QPointer<QNetworkReply> guard(reply);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxAnswerBytes && !reply->property(abortReasonProperty).isValid()) {
            reply->setProperty(abortReasonProperty, QStringLiteral("The answer is larger than %1 bytes.").arg(maxAnswerBytes));
            reply->abort();
        }
    });

    co_await qCoro(reply).waitForFinished();

    Exchange result;
    if (!guard) {
        result.failure = QStringLiteral("The request was dropped.");
        co_return result;
    }
    const QNetworkReply::NetworkError error = reply->error();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // 2xx-range and 4xx-range codes are the server's HTTP errors (its 4xx and 5xx): the server
    // answered. Everything else means the exchange itself broke.
    const bool httpLevel = (error >= QNetworkReply::ContentAccessDenied && error < QNetworkReply::ProtocolUnknownError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    if (const QVariant reason = reply->property(abortReasonProperty); reason.isValid()) {
        result.failure = reason.toString();
    } else if (error == QNetworkReply::OperationCanceledError) {
        result.failure = QStringLiteral("The server sent nothing for %1 seconds.").arg(seconds(idleLimit));
    } else if (error != QNetworkReply::NoError && !(httpLevel && status > 0)) {
        result.failure = QStringLiteral("The server could not be reached: %1").arg(reply->errorString());
    } else {
        result.status = status;
        result.body = reply->readAll();
    }
    reply->deleteLater();
    co_return result;
}

QString describeStatus(int status)
{
    return QStringLiteral("The server answered HTTP %1.").arg(status);
}

const char *availabilityName(ModelAvailability availability)
{
    switch (availability) {
    case ModelAvailability::available:
        return "available";
    case ModelAvailability::deviceNotEligible:
        return "device not eligible";
    case ModelAvailability::notEnabled:
        return "turned off";
    case ModelAvailability::modelNotReady:
        return "model not listed by the server";
    case ModelAvailability::unavailable:
        break;
    }
    return "unavailable";
}

QString languageOf(const QString &locale)
{
    return locale.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
}

} // namespace

ChatCompletionsModel::ChatCompletionsModel(QObject *parent)
    : ChatCompletionsModel(LlmEndpoint::fromEnvironment(), Timing{}, parent)
{
}

ChatCompletionsModel::ChatCompletionsModel(LlmEndpoint endpoint, Timing timing, QObject *parent)
    : QObject(parent), m_endpoint(std::move(endpoint)), m_timing(timing)
{
    // A proxy from the environment would carry transcripts off the machine.
    m_network.setProxy(QNetworkProxy::NoProxy);
    if (!m_endpoint.enabled()) {
        m_availability = ModelAvailability::notEnabled;
        return;
    }
    startProbe();
}

ChatCompletionsModel::~ChatCompletionsModel()
{
    *m_alive = false;
    // Finish running exchanges as failed, so their callers are not left waiting. The awaiter
    // resumes through a queued signal, so every reply must outlive the manager; each exchange
    // deletes its reply once it has read the outcome.
    for (QNetworkReply *reply : m_network.findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly)) {
        reply->setParent(nullptr);
        if (!reply->isFinished()) {
            reply->setProperty(abortReasonProperty, QStringLiteral("The language model service shut down."));
            reply->abort();
        }
    }
}

ModelAvailability ChatCompletionsModel::availability() const
{
    // Probing on read instead of on a timer keeps an idle Talvex silent; readers come often enough
    // (each dictation start and delivery) to keep the answer fresh.
    const bool stale = m_timing.probeInterval.count() > 0 && m_sinceProbe.isValid() &&
                       m_sinceProbe.elapsed() >= m_timing.probeInterval.count();
    if (stale && !m_probeQueued) {
        m_probeQueued = true;
        QMetaObject::invokeMethod(const_cast<ChatCompletionsModel *>(this), &ChatCompletionsModel::startProbe,
                                  Qt::QueuedConnection);
    }
    return m_availability;
}

bool ChatCompletionsModel::supportsLocale(const QString &localeIdentifier) const
{
    if (m_languages.isEmpty())
        return true;
    const QString language = languageOf(localeIdentifier);
    for (const QString &declared : m_languages) {
        if (languageOf(declared) == language)
            return true;
    }
    return false;
}

QString ChatCompletionsModel::activeModel() const
{
    return m_endpoint.model.isEmpty() ? m_listedModel : m_endpoint.model;
}

void ChatCompletionsModel::startProbe()
{
    m_probeQueued = false;
    refresh(); // runs on; the answer lands in the cache
}

void ChatCompletionsModel::setAvailability(ModelAvailability availability)
{
    if (availability == m_availability)
        return;
    m_availability = availability;
    qCInfo(lcLlm) << "Language model availability:" << availabilityName(availability);
    Q_EMIT availabilityChanged(availability);
}

QCoro::Task<ModelAvailability> ChatCompletionsModel::refresh()
{
    if (!m_endpoint.enabled())
        co_return ModelAvailability::notEnabled;
    const quint64 probe = ++m_probeCount;
    m_sinceProbe.start();
    const std::shared_ptr<bool> alive = m_alive;
    const Exchange result = co_await exchange(m_network, QNetworkRequest(m_endpoint.resolve(QStringLiteral("models"))),
                                              std::nullopt, m_timing.probeIdleLimit);
    if (!*alive)
        co_return ModelAvailability::unavailable;
    if (probe < m_probeApplied)
        co_return m_availability; // a later probe has already answered
    m_probeApplied = probe;

    QString failure = result.failure;
    QJsonArray models;
    if (failure.isEmpty() && (result.status < 200 || result.status > 299))
        failure = describeStatus(result.status);
    if (failure.isEmpty()) {
        const QJsonValue data = QJsonDocument::fromJson(result.body).object().value(QLatin1String("data"));
        if (!data.isArray())
            failure = QStringLiteral("The model list is not an OpenAI-style list.");
        models = data.toArray();
    }
    if (!failure.isEmpty()) {
        if (m_availability != ModelAvailability::unavailable)
            qCWarning(lcLlm).noquote() << "Language model server unavailable:" << failure;
        m_listedModel.clear();
        m_languages.clear();
        setAvailability(ModelAvailability::unavailable);
        co_return m_availability;
    }

    // Ollama lists "name:tag"; a configured name without a tag means ":latest".
    const QString wanted = m_endpoint.model;
    std::optional<QJsonObject> entry;
    for (const QJsonValue &value : models) {
        const QJsonObject object = value.toObject();
        const QString id = object.value(QLatin1String("id")).toString();
        if (id.isEmpty())
            continue;
        if (wanted.isEmpty() || id == wanted || id == wanted + QLatin1String(":latest")) {
            entry = object;
            break;
        }
    }
    m_listedModel = entry ? entry->value(QLatin1String("id")).toString() : QString();
    m_languages.clear();
    if (entry) {
        for (const QJsonValue &language : entry->value(QLatin1String("languages")).toArray()) {
            if (language.isString() && !language.toString().isEmpty())
                m_languages.append(language.toString());
        }
    }
    setAvailability(entry ? ModelAvailability::available : ModelAvailability::modelNotReady);
    co_return m_availability;
}

QCoro::Task<ModelResponse> ChatCompletionsModel::respond(QString instructions, QString prompt)
{
    if (!m_endpoint.enabled())
        co_return ModelResponse{std::nullopt, QStringLiteral("The local language model is turned off.")};

    QJsonObject body{
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), instructions}},
                    QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), prompt}}}},
        {QStringLiteral("temperature"), 0}, // greedy decoding
        {QStringLiteral("stream"), false},
    };
    if (const QString model = activeModel(); !model.isEmpty())
        body.insert(QStringLiteral("model"), model);

    const std::shared_ptr<bool> alive = m_alive;
    const std::chrono::milliseconds idleLimit = m_timing.requestIdleLimit;
    const Exchange result = co_await exchange(m_network, QNetworkRequest(m_endpoint.resolve(QStringLiteral("chat/completions"))),
                                              QJsonDocument(body).toJson(QJsonDocument::Compact), idleLimit);

    QString failure = result.failure;
    std::optional<QString> content;
    if (failure.isEmpty() && (result.status < 200 || result.status > 299))
        failure = describeStatus(result.status);
    if (failure.isEmpty())
        content = ChatCompletionAnswer::messageContent(result.body, &failure);
    if (!failure.isEmpty()) {
        // The reason only: answers and prompts carry transcript text and are never logged.
        qCWarning(lcLlm).noquote() << "Language model request failed:" << failure;
        if (*alive)
            startProbe(); // a dead server should show as unavailable soon
        co_return ModelResponse{std::nullopt, failure};
    }
    co_return ModelResponse{std::move(content), QString()};
}

} // namespace talvex
