#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace talvex {

/// Canonical form of a locale identifier: "en_us.UTF-8", "en-us", "EN_US@euro" all give "en-US".
QString canonicalLocale(const QString &identifier);

/// The entry of `supported` equivalent to `identifier`: the same language and region, else (when the
/// request names no region, or names one that is not supported) the first with the same language.
std::optional<QString> equivalentLocale(const QString &identifier, const QStringList &supported);

} // namespace talvex
