#include "SttEndpoint.h"

#include "LlmEndpoint.h"
#include "SttLogging.h"

#include <cmath>

namespace talvex {

namespace {

constexpr auto transcriptionsPath = "/audio/transcriptions";

QUrl joined(const QUrl &base, const char *path)
{
    QUrl url = base;
    url.setPath(base.path() + QLatin1String(path));
    return url;
}

std::chrono::milliseconds parseTimeout(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return SttEndpoint::defaultTimeout;
    bool ok = false;
    const double seconds = trimmed.toDouble(&ok);
    const double milliseconds = seconds * 1000.0;
    if (!ok || !std::isfinite(seconds) || milliseconds < 1.0 ||
        milliseconds > double(SttEndpoint::longestTimeout.count())) {
        qCWarning(lcStt).noquote() << "Transcription server timeout" << trimmed
                                   << "is not a number of seconds between 0.001 and"
                                   << SttEndpoint::longestTimeout.count() / 1000 << "; using"
                                   << SttEndpoint::defaultTimeout.count() / 1000 << "seconds";
        return SttEndpoint::defaultTimeout;
    }
    return std::chrono::milliseconds(std::llround(milliseconds));
}

} // namespace

QUrl SttEndpoint::transcriptionsUrl() const
{
    return joined(baseUrl, transcriptionsPath);
}

QUrl SttEndpoint::modelsUrl() const
{
    return joined(baseUrl, "/models");
}

QString SttEndpoint::hostAndPort() const
{
    QString host = baseUrl.host();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const int port = baseUrl.port(baseUrl.scheme() == QLatin1String("https") ? 443 : 80);
    return host + QLatin1Char(':') + QString::number(port);
}

SttEndpoint SttEndpoint::fromSettings(const QString &url, const QString &model, const QString &timeout)
{
    SttEndpoint endpoint;
    endpoint.model = model.trimmed();
    endpoint.timeout = parseTimeout(timeout);
    const QString text = url.trimmed();
    if (text.isEmpty() || text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        return endpoint;

    QUrl parsed(text, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        parsed.host().isEmpty()) {
        qCWarning(lcStt).noquote() << "Transcription server URL" << text
                                   << "is not an http(s) URL with a host; the final text stays on-device";
        return endpoint;
    }
    if (!LlmEndpoint::isLoopbackHost(parsed.host())) {
        qCWarning(lcStt).noquote() << "Transcription server URL" << text
                                   << "is not on this machine (only loopback hosts are accepted);"
                                      " the final text stays on-device";
        return endpoint;
    }
    // Query and fragment would end up after the endpoint paths; drop them rather than guess.
    parsed.setQuery(QString());
    parsed.setFragment(QString());
    QString path = parsed.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.endsWith(QLatin1String(transcriptionsPath)))
        path.chop(qsizetype(qstrlen(transcriptionsPath)));
    parsed.setPath(path);
    endpoint.baseUrl = parsed;
    qCDebug(lcStt).noquote() << "Final text from the transcription server at" << endpoint.hostAndPort()
                             << "within" << endpoint.timeout.count() << "ms";
    return endpoint;
}

SttEndpoint SttEndpoint::fromEnvironment()
{
    return fromSettings(qEnvironmentVariable("TALVEX_STT_URL"), qEnvironmentVariable("TALVEX_STT_MODEL"),
                        qEnvironmentVariable("TALVEX_STT_TIMEOUT"));
}

} // namespace talvex
