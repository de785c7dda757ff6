#include "SettingsTexts.h"

#include "store/Preferences.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace talvex::SettingsTexts {

namespace {

constexpr int capacity = 256;

QString fromUChars(const UChar *text, int32_t length)
{
    return QString(reinterpret_cast<const QChar *>(text), length);
}

} // namespace

QString languageDisplayName(const QString &identifier, const QString &displayLocale)
{
    if (identifier.trimmed().isEmpty())
        return identifier;
    const QByteArray tag = identifier.toUtf8();
    std::array<char, capacity> localeID{};
    int32_t parsed = 0;
    UErrorCode status = U_ZERO_ERROR;
    uloc_forLanguageTag(tag.constData(), localeID.data(), capacity, &parsed, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || parsed != tag.size())
        return identifier;

    const QByteArray display = displayLocale.toUtf8();
    std::array<char, capacity> language{};
    status = U_ZERO_ERROR;
    uloc_getLanguage(localeID.data(), language.data(), capacity, &status);
    std::array<UChar, capacity> languageName{};
    UErrorCode nameStatus = U_ZERO_ERROR;
    const int32_t languageLength = uloc_getDisplayLanguage(localeID.data(), display.constData(),
                                                           languageName.data(), capacity, &nameStatus);
    // ICU answers an unknown language with its code: that is no name.
    if (U_FAILURE(status) || U_FAILURE(nameStatus) || nameStatus == U_USING_DEFAULT_WARNING ||
        fromUChars(languageName.data(), languageLength)
                .compare(QLatin1String(language.data()), Qt::CaseInsensitive) == 0)
        return identifier;

    std::array<UChar, capacity> name{};
    status = U_ZERO_ERROR;
    const int32_t length =
        uloc_getDisplayName(localeID.data(), display.constData(), name.data(), capacity, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
        return identifier;
    return fromUChars(name.data(), length);
}

QString userDisplayLocale()
{
    const QLocale locale;
    return locale.language() == QLocale::C ? QStringLiteral("en") : locale.name();
}

std::vector<LanguageRow> languageRows(const QStringList &locales, const QString &current,
                                      const QString &displayLocale)
{
    QStringList identifiers = locales;
    identifiers << current;
    std::sort(identifiers.begin(), identifiers.end());
    identifiers.erase(std::unique(identifiers.begin(), identifiers.end()), identifiers.end());
    std::vector<LanguageRow> rows;
    for (const QString &identifier : identifiers)
        rows.push_back({identifier, languageDisplayName(identifier, displayLocale)});
    return rows;
}

QString vocabularyCount(qsizetype entries)
{
    return QStringLiteral("%1 of %2 hints")
        .arg(std::min(entries, Preferences::vocabularyLimit))
        .arg(Preferences::vocabularyLimit);
}

std::optional<QString> vocabularyNote(qsizetype entries)
{
    if (entries <= Preferences::vocabularyLimit)
        return std::nullopt;
    return QStringLiteral("The speech recognizer uses the first %1 entries.")
        .arg(Preferences::vocabularyLimit);
}

bool launchAtLoginIsOn(LoginItemStatus status)
{
    return status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
}

QString speechSupport(bool speechReady)
{
    return speechReady ? QStringLiteral("Supported on this computer") : QStringLiteral("Unavailable");
}

} // namespace talvex::SettingsTexts
