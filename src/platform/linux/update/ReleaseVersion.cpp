#include "ReleaseVersion.h"

namespace talvex::update {

std::optional<ReleaseVersion> ReleaseVersion::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.isEmpty() || parts.size() > 4)
        return std::nullopt;
    ReleaseVersion version;
    version.m_text = text;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 6)
            return std::nullopt;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        version.m_parts.append(part.toInt());
    }
    return version;
}

int ReleaseVersion::compare(const ReleaseVersion &other) const
{
    const qsizetype count = std::max(m_parts.size(), other.m_parts.size());
    for (qsizetype i = 0; i < count; ++i) {
        const int mine = m_parts.value(i, 0);
        const int theirs = other.m_parts.value(i, 0);
        if (mine != theirs)
            return mine < theirs ? -1 : 1;
    }
    return 0;
}

} // namespace talvex::update
