#include "LlmEndpoint.h"

#include "platform/Logging.h"

#include <QHostAddress>

namespace talvex {

QUrl LlmEndpoint::resolve(const QString &endpoint) const
{
    QUrl url = baseUrl;
    url.setPath(baseUrl.path() + QLatin1Char('/') + endpoint);
    return url;
}

bool LlmEndpoint::isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    if (!address.setAddress(host))
        return false;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped); // also unwraps ::ffff:a.b.c.d
    if (mapped)
        return (v4 >> 24) == 127;
    return address.isLoopback();
}

LlmEndpoint LlmEndpoint::fromSettings(const QString &url, const QString &model)
{
    LlmEndpoint endpoint;
    endpoint.model = model.trimmed();
    const QString text = url.trimmed().isEmpty() ? QString::fromLatin1(defaultUrl) : url.trimmed();
    if (text.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0) {
        qCInfo(lcLlm) << "Language model turned off by configuration";
        return endpoint;
    }

    QUrl parsed(text, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || parsed.host().isEmpty()) {
        qCWarning(lcLlm).noquote() << "Language model URL" << text
                                   << "is not an http(s) URL with a host; the language model stays off";
        return endpoint;
    }
    if (!isLoopbackHost(parsed.host())) {
        qCWarning(lcLlm).noquote() << "Language model URL" << text
                                   << "is not on this machine (only loopback hosts are accepted);"
                                      " the language model stays off";
        return endpoint;
    }
    // Query and fragment would end up after the endpoint path; drop them rather than guess.
    parsed.setQuery(QString());
    parsed.setFragment(QString());
    QString path = parsed.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    parsed.setPath(path);
    endpoint.baseUrl = parsed;
    return endpoint;
}

LlmEndpoint LlmEndpoint::fromEnvironment()
{
    return fromSettings(qEnvironmentVariable("TALVEX_LLM_URL"), qEnvironmentVariable("TALVEX_LLM_MODEL"));
}

} // namespace talvex
