#include "Preferences.h"

#include "JsonRead.h"
#include "UnicodeText.h"

#include <QJsonArray>
#include <QSet>

namespace talvex {

namespace {

std::optional<WritingMode> modeFrom(const QJsonValue &value, const QString &where, QString *error)
{
    if (!value.isString()) {
        JsonRead::fail(error, where + QStringLiteral(" is not a string"));
        return std::nullopt;
    }
    auto mode = writingModeFromString(value.toString());
    if (!mode)
        JsonRead::fail(error, where + QStringLiteral(" is not a writing mode"));
    return mode;
}

} // namespace

QJsonObject Preferences::toJson() const
{
    QJsonArray rules;
    for (const WordReplacement &rule : replacements)
        rules.append(rule.toJson());
    QJsonObject modes;
    for (auto it = appModes.cbegin(); it != appModes.cend(); ++it)
        modes.insert(it.key(), writingModeString(it.value()));
    return QJsonObject{
        {QStringLiteral("locale"), locale},
        {QStringLiteral("mode"), writingModeString(mode)},
        {QStringLiteral("shortcutKey"), shortcutKey.toJson()},
        {QStringLiteral("retainHistory"), retainHistory},
        {QStringLiteral("vocabulary"), vocabulary},
        {QStringLiteral("replacements"), rules},
        {QStringLiteral("appModes"), modes},
    };
}

std::optional<Preferences> Preferences::fromJson(const QJsonValue &value, QString *error)
{
    if (!value.isObject()) {
        JsonRead::fail(error, QStringLiteral("the preferences are not an object"));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    using JsonRead::string;
    const auto key = [](const char *name) { return QLatin1StringView(name); };

    auto locale = string(object, key("locale"), error);
    if (!locale)
        return std::nullopt;
    auto modeString = string(object, key("mode"), error);
    if (!modeString)
        return std::nullopt;
    auto mode = modeFrom(*modeString, QStringLiteral("\u201Cmode\u201D"), error);
    if (!mode)
        return std::nullopt;
    const auto shortcutValue = object.value(key("shortcutKey"));
    if (shortcutValue.isUndefined() || shortcutValue.isNull()) {
        JsonRead::fail(error, QStringLiteral("\u201CshortcutKey\u201D is missing"));
        return std::nullopt;
    }
    auto shortcut = Shortcut::fromJson(shortcutValue, error);
    if (!shortcut) {
        JsonRead::nest(error, QStringLiteral("\u201CshortcutKey\u201D"));
        return std::nullopt;
    }
    auto retainHistory = JsonRead::boolean(object, key("retainHistory"), error);
    if (!retainHistory)
        return std::nullopt;
    auto vocabulary = string(object, key("vocabulary"), error);
    if (!vocabulary)
        return std::nullopt;
    auto rules = JsonRead::array(object, key("replacements"), error);
    if (!rules)
        return std::nullopt;
    QList<WordReplacement> replacements;
    replacements.reserve(rules->size());
    for (qsizetype i = 0; i < rules->size(); ++i) {
        auto rule = WordReplacement::fromJson(rules->at(i), error);
        if (!rule) {
            JsonRead::nest(error, QStringLiteral("replacements[%1]").arg(i));
            return std::nullopt;
        }
        replacements.append(*rule);
    }
    auto modesObject = JsonRead::object(object, key("appModes"), error);
    if (!modesObject)
        return std::nullopt;
    QMap<QString, WritingMode> appModes;
    for (auto it = modesObject->constBegin(); it != modesObject->constEnd(); ++it) {
        auto appMode = modeFrom(it.value(), QStringLiteral("appModes[\u201C%1\u201D]").arg(it.key()), error);
        if (!appMode)
            return std::nullopt;
        appModes.insert(it.key(), *appMode);
    }

    Preferences preferences;
    preferences.locale = *locale;
    preferences.mode = *mode;
    preferences.shortcutKey = *shortcut;
    preferences.retainHistory = *retainHistory;
    preferences.vocabulary = *vocabulary;
    preferences.replacements = std::move(replacements);
    preferences.appModes = std::move(appModes);
    return preferences;
}

QStringList Preferences::vocabularyEntries() const
{
    QStringList entries;
    QSet<QString> keys;
    for (const QString &line : UnicodeText::splitLines(vocabulary)) {
        QString entry = UnicodeText::trimmed(line, UnicodeText::isSpaceOrTab);
        if (entry.isEmpty())
            continue;
        if (!keys.contains(UnicodeText::foldCase(entry))) {
            keys.insert(UnicodeText::foldCase(entry));
            entries.append(entry);
        }
    }
    return entries;
}

QStringList Preferences::contextWords() const
{
    return vocabularyEntries().mid(0, vocabularyLimit);
}

QString Preferences::applyingReplacements(const QString &text) const
{
    return applyReplacements(replacements, text);
}

std::optional<qsizetype> Preferences::importVocabulary(const QString &text, WordList::ImportError *error)
{
    const QStringList existing = vocabularyEntries();
    QSet<QString> keys;
    for (const QString &entry : existing)
        keys.insert(UnicodeText::foldCase(entry));

    auto parsed = WordList::parse(text, error);
    if (!parsed)
        return std::nullopt;
    if (parsed->isEmpty()) {
        if (error)
            *error = WordList::ImportError::empty();
        return std::nullopt;
    }

    QStringList kept;
    for (const QString &entry : *parsed) {
        QString key = UnicodeText::foldCase(entry);
        if (keys.contains(key))
            continue;
        keys.insert(std::move(key));
        kept.append(entry);
    }
    if (kept.isEmpty())
        return 0;

    const qsizetype available = existing.size() <= vocabularyLimit ? vocabularyLimit - existing.size() : 0;
    if (kept.size() > available) {
        if (error)
            *error = WordList::ImportError::overLimit(kept.size(), available);
        return std::nullopt;
    }

    if (!vocabulary.isEmpty() && !UnicodeText::isLineBreak(vocabulary.back().unicode()))
        vocabulary += QLatin1Char('\n');
    vocabulary += kept.join(QLatin1Char('\n'));
    return kept.size();
}

WritingMode Preferences::modeForDictation(const std::optional<QString> &applicationId, bool practiceField) const
{
    if (practiceField)
        return WritingMode::verbatim;
    if (applicationId) {
        const auto rule = appModes.constFind(*applicationId);
        if (rule != appModes.constEnd())
            return *rule;
    }
    return mode;
}

} // namespace talvex
