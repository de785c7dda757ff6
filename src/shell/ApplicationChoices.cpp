#include "ApplicationChoices.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <algorithm>

namespace talvex::ApplicationChoices {

std::vector<InstalledApplication> sorted(std::vector<InstalledApplication> applications)
{
    // The user's order; a session without a language (the C locale) still sorts for people.
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(applications.begin(), applications.end(),
                     [&](const InstalledApplication &a, const InstalledApplication &b) {
                         const int byName = collator.compare(a.name, b.name);
                         return byName != 0 ? byName < 0 : a.id < b.id;
                     });
    QSet<QString> seen;
    std::erase_if(applications, [&](const InstalledApplication &application) {
        if (seen.contains(application.id))
            return true;
        seen.insert(application.id);
        return false;
    });
    return applications;
}

std::vector<InstalledApplication> matching(const std::vector<InstalledApplication> &applications,
                                           const QString &query)
{
    const QStringList words = query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    std::vector<InstalledApplication> found;
    for (const InstalledApplication &application : applications) {
        const bool all = std::all_of(words.begin(), words.end(), [&](const QString &word) {
            return application.name.contains(word, Qt::CaseInsensitive) ||
                   application.id.contains(word, Qt::CaseInsensitive);
        });
        if (all)
            found.push_back(application);
    }
    return found;
}

} // namespace talvex::ApplicationChoices
