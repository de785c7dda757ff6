#include "LocaleMatch.h"

#include <QRegularExpression>

namespace talvex {

namespace {

struct Parts {
    QString language;
    QString region;
};

Parts split(const QString &identifier)
{
    QString core = identifier.trimmed();
    core = core.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0); // drop charset, modifier
    core.replace(QLatin1Char('_'), QLatin1Char('-'));
    const QStringList pieces = core.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    Parts parts;
    if (pieces.isEmpty())
        return parts;
    parts.language = pieces.first().toLower();
    // The region is the first two-letter or three-digit subtag after the language (scripts are 4).
    static const QRegularExpression region(QStringLiteral("^([A-Za-z]{2}|[0-9]{3})$"));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        if (region.match(pieces[i]).hasMatch()) {
            parts.region = pieces[i].toUpper();
            break;
        }
    }
    return parts;
}

} // namespace

QString canonicalLocale(const QString &identifier)
{
    const Parts parts = split(identifier);
    return parts.region.isEmpty() ? parts.language : parts.language + QLatin1Char('-') + parts.region;
}

std::optional<QString> equivalentLocale(const QString &identifier, const QStringList &supported)
{
    const Parts wanted = split(identifier);
    if (wanted.language.isEmpty() || wanted.language == QLatin1String("c") ||
        wanted.language == QLatin1String("posix"))
        return std::nullopt;
    for (const auto &candidate : supported) {
        const Parts have = split(candidate);
        if (have.language == wanted.language && have.region == wanted.region)
            return candidate;
    }
    for (const auto &candidate : supported)
        if (split(candidate).language == wanted.language)
            return candidate;
    return std::nullopt;
}

} // namespace talvex
