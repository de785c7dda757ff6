// What the settings window derives and edits without a screen: language rows, the vocabulary
// count, application rules and replacements, the application list, the login-item switch.
#include "ApplicationChoices.h"
#include "PreferenceEdits.h"
#include "SettingsFixture.h"
#include "SettingsTexts.h"
#include "XdgInstalledApplications.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;

namespace talvex::SettingsTexts {
inline void PrintTo(const LanguageRow &row, std::ostream *os)
{
    *os << row.identifier.toStdString() << " = " << row.name.toStdString();
}
} // namespace talvex::SettingsTexts

TEST(SettingsTexts, LanguagesAreNamedInTheUsersLanguageAndFallBackToTheIdentifier)
{
    struct Case {
        const char *identifier;
        const char *displayLocale;
        const char *name;
    };
    const std::vector<Case> cases = {
        {"en-US", "en_US", "English (United States)"},
        {"de-DE", "en_US", "German (Germany)"},
        {"de-DE", "de_DE", "Deutsch (Deutschland)"},
        {"fr", "de", "Französisch"},
        {"zh-Hans-CN", "en", "Chinese (Simplified, China)"},
        {"xq-ZZ", "en_US", "xq-ZZ"}, // a language nobody named
        {"not a tag", "en_US", "not a tag"},
        {"", "en_US", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SettingsTexts::languageDisplayName(QString::fromUtf8(c.identifier), c.displayLocale),
                  QString::fromUtf8(c.name))
            << c.identifier << " in " << c.displayLocale;
}

TEST(SettingsTexts, LanguageRowsJoinTheCurrentLocaleOnceInStringOrder)
{
    using Rows = std::vector<SettingsTexts::LanguageRow>;
    const QStringList recogniser{"fr-FR", "en-US", "de-DE", "en-GB"};
    EXPECT_EQ(SettingsTexts::languageRows(recogniser, "en-US", "en_US"),
              (Rows{{"de-DE", "German (Germany)"},
                    {"en-GB", "English (United Kingdom)"},
                    {"en-US", "English (United States)"},
                    {"fr-FR", "French (France)"}}));
    // A stored language the recogniser does not offer (or not yet: the list comes later) stays
    // choosable, so the picker never shows a selection that is not the stored one.
    EXPECT_EQ(SettingsTexts::languageRows({}, "pt-BR", "en_US"), (Rows{{"pt-BR", "Portuguese (Brazil)"}}));
    EXPECT_EQ(
        SettingsTexts::languageRows({"en-US", "Zz-Top"}, "es-ES", "en_US"),
        (Rows{{"Zz-Top", "Zz-Top"}, {"en-US", "English (United States)"}, {"es-ES", "Spanish (Spain)"}}))
        << "ascending string order: upper case first";
}

TEST(SettingsTexts, VocabularyCountStopsAtTheRecognisersLimitAndNotesTheRest)
{
    struct Case {
        qsizetype entries;
        const char *count;
        std::optional<QString> note;
    };
    const QString note = QStringLiteral("The speech recognizer uses the first 100 entries.");
    const std::vector<Case> cases = {
        {0, "0 of 100 hints", std::nullopt},     {1, "1 of 100 hints", std::nullopt},
        {100, "100 of 100 hints", std::nullopt}, {101, "100 of 100 hints", note},
        {120, "100 of 100 hints", note},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SettingsTexts::vocabularyCount(c.entries), c.count) << c.entries;
        EXPECT_EQ(SettingsTexts::vocabularyNote(c.entries), c.note) << c.entries;
    }
}

TEST(PreferenceEdits, RulesAreKeyedByTheTrimmedIdentifierExactlyAsTyped)
{
    struct Case {
        QString typed;
        std::optional<QString> key; ///< absent: nothing can be added
    };
    const std::vector<Case> cases = {
        {"  com.example.app ", "com.example.app"},
        {"\tOrg.Gnome.TextEditor\n", "Org.Gnome.TextEditor"},
        {"firefox esr", "firefox esr"},
        {QStringLiteral("\u00a0org.kde.kate\u2003"), "org.kde.kate"},
        {"   ", std::nullopt},
        {"\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        EXPECT_EQ(PreferenceEdits::canAddRule(c.typed), c.key.has_value());
        const Preferences edited = PreferenceEdits::withRule(Preferences(), c.typed, WritingMode::notes);
        if (c.key)
            EXPECT_EQ(edited.appModes, (QMap<QString, WritingMode>{{*c.key, WritingMode::notes}}));
        else
            EXPECT_EQ(edited, Preferences());
    }

    Preferences preferences;
    preferences.appModes = {{"org.gnome.Evolution", WritingMode::email},
                            {"com.slack.Slack", WritingMode::clean}};
    preferences = PreferenceEdits::withRule(preferences, "org.gnome.Evolution ", WritingMode::verbatim);
    EXPECT_EQ(preferences.appModes.value("org.gnome.Evolution"), WritingMode::verbatim)
        << "replaced, not added";
    preferences = PreferenceEdits::withoutRule(preferences, "com.slack.Slack");
    EXPECT_EQ(preferences.appModes.keys(), QStringList{"org.gnome.Evolution"});
}

TEST(PreferenceEdits, ReplacementsAreEditedAndRemovedByIdInPlace)
{
    Preferences preferences;
    QUuid first, second;
    preferences = PreferenceEdits::withNewReplacement(preferences, &first);
    preferences = PreferenceEdits::withNewReplacement(preferences, &second);
    ASSERT_NE(first, second);
    ASSERT_EQ(preferences.replacements.size(), 2);
    EXPECT_EQ(preferences.replacements[1], (WordReplacement{second, {}, {}}))
        << "new rows are empty, at the end";

    preferences = PreferenceEdits::withReplacementSpoken(preferences, second, "open ai");
    preferences = PreferenceEdits::withReplacementWritten(preferences, second, "OpenAI");
    preferences = PreferenceEdits::withReplacementWritten(preferences, QUuid::createUuid(), "lost");
    EXPECT_EQ(preferences.replacements[0], (WordReplacement{first, {}, {}}));
    EXPECT_EQ(preferences.replacements[1], (WordReplacement{second, "open ai", "OpenAI"}));
    // The empty rule stays stored and changes no text.
    EXPECT_EQ(preferences.applyingReplacements("I used open AI"), "I used OpenAI");

    preferences = PreferenceEdits::withoutReplacement(preferences, first);
    ASSERT_EQ(preferences.replacements.size(), 1);
    EXPECT_EQ(preferences.replacements[0].id, second);
}

TEST(ApplicationChoices, SortedByNameForPeopleAndFoundByAnyWordOfNameOrId)
{
    const std::vector<InstalledApplication> installed = {
        {"org.gnome.TextEditor", "Text Editor", "accessories-text-editor"},
        {"firefox-esr", "Firefox ESR", "firefox-esr"},
        {"org.kde.kate", "Kate", ""},
        {"app10", "App 10", ""},
        {"app9", "App 9", ""},
        {"org.gnome.Evolution", "évolution", ""},
        {"org.kde.kate", "Kate (duplicate)", ""},
    };
    const auto sorted = ApplicationChoices::sorted(installed);
    QStringList ids;
    for (const auto &application : sorted)
        ids << application.id;
    EXPECT_EQ(ids, (QStringList{"app9", "app10", "org.gnome.Evolution", "firefox-esr", "org.kde.kate",
                                "org.gnome.TextEditor"}));

    struct Case {
        QString query;
        QStringList ids;
    };
    const std::vector<Case> cases = {
        {"", ids},
        {"  ", ids},
        {"text", {"org.gnome.TextEditor"}},
        {"GNOME", {"org.gnome.Evolution", "org.gnome.TextEditor"}},
        {"gnome edit", {"org.gnome.TextEditor"}},
        {"kate kde", {"org.kde.kate"}},
        {"nothing", {}},
    };
    for (const Case &c : cases) {
        QStringList found;
        for (const auto &application : ApplicationChoices::matching(sorted, c.query))
            found << application.id;
        EXPECT_EQ(found, c.ids) << c.query.toStdString();
    }
}

TEST(XdgInstalledApplications, VisibleEntriesOfUserAndSystemWithTheirIcons)
{
    QTemporaryDir root;
    const auto write = [&](const QString &relative, const QByteArray &content) {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    write("system/org.gnome.TextEditor.desktop",
          "[Desktop Entry]\nType=Application\nName=Text Editor\nIcon=org.gnome.TextEditor\n");
    write("system/kde/kate.desktop",
          "[Desktop Entry]\nType=Application\nName=Kate\nIcon=/opt/kate/kate.png\n");
    write("system/helper.desktop", "[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\n");
    write("system/gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\n");
    write("user/gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n");
    write("user/org.gnome.TextEditor.desktop", "[Desktop Entry]\nType=Application\nName=My Editor\n");
    write("system/site.desktop", "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.com\n");

    xdg::XdgInstalledApplications applications(QStringList{root.filePath("user"), root.filePath("system")});
    auto list = ApplicationChoices::sorted(applications.applications());
    EXPECT_EQ(list, (std::vector<InstalledApplication>{{"kde-kate", "Kate", "/opt/kate/kate.png"},
                                                       {"org.gnome.TextEditor", "My Editor", ""}}));

    write("user/new.desktop", "[Desktop Entry]\nType=Application\nName=Newly Installed\n");
    EXPECT_EQ(applications.applications().size(), 3u) << "read afresh each time";
}

