#include "store/Preferences.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace talvex;

namespace {

const char *storedPreferences = R"({
    "appModes" : { "com.apple.mail" : "Email", "org.gnome.TextEditor" : "Notes" },
    "locale" : "en-GB",
    "mode" : "Clean up",
    "replacements" : [ { "id" : "a1b2c3d4-0000-4000-8000-000000000001", "spoken" : "open ai", "written" : "OpenAI" } ],
    "retainHistory" : false,
    "shortcutKey" : { "code" : 49, "keyLabel" : "Space", "modifiers" : 4608 },
    "vocabulary" : "Ada\nGrace Hopper"
})";

QJsonObject storedObject()
{
    return QJsonDocument::fromJson(storedPreferences).object();
}

std::optional<Preferences> decoded(const QJsonObject &object)
{
    QString error;
    auto preferences = Preferences::fromJson(object, &error);
    if (!preferences) {
        EXPECT_FALSE(error.isEmpty());
    }
    return preferences;
}

} // namespace

TEST(PreferencesTest, DecodesEveryMember)
{
    auto preferences = decoded(storedObject());
    ASSERT_TRUE(preferences);
    EXPECT_EQ(preferences->locale, QStringLiteral("en-GB"));
    EXPECT_EQ(preferences->mode, WritingMode::clean);
    EXPECT_EQ(preferences->shortcutKey, Shortcut::defaultShortcut());
    EXPECT_FALSE(preferences->retainHistory);
    EXPECT_EQ(preferences->vocabulary, QStringLiteral("Ada\nGrace Hopper"));
    ASSERT_EQ(preferences->replacements.size(), 1);
    EXPECT_EQ(preferences->replacements[0].id, QUuid::fromString(QStringLiteral("A1B2C3D4-0000-4000-8000-000000000001")));
    EXPECT_EQ(preferences->replacements[0].written, QStringLiteral("OpenAI"));
    EXPECT_EQ(preferences->appModes.value(QStringLiteral("org.gnome.TextEditor")), WritingMode::notes);

    // Round trip, with the id written in upper case.
    const QJsonObject encoded = preferences->toJson();
    EXPECT_EQ(encoded.keys().size(), 7);
    EXPECT_EQ(encoded[QStringLiteral("replacements")][0][QStringLiteral("id")].toString(),
              QStringLiteral("A1B2C3D4-0000-4000-8000-000000000001"));
    EXPECT_EQ(decoded(encoded), preferences);
    EXPECT_EQ(decoded(Preferences{}.toJson()), Preferences{});

    QJsonObject extra = storedObject();
    extra[QStringLiteral("futureSetting")] = 3;
    EXPECT_EQ(decoded(extra), preferences);
    QJsonObject legacy = storedObject();
    legacy[QStringLiteral("shortcutKey")] = QStringLiteral("\u2303\u2325D");
    ASSERT_TRUE(decoded(legacy));
    EXPECT_EQ(decoded(legacy)->shortcutKey.displayText(), QStringLiteral("Ctrl+Alt+D"));
}

TEST(PreferencesTest, EveryMemberIsRequiredAndStrictlyTyped)
{
    for (const QString &key : storedObject().keys()) {
        QJsonObject missing = storedObject();
        missing.remove(key);
        EXPECT_FALSE(decoded(missing)) << qPrintable(key);
        QJsonObject null = storedObject();
        null[key] = QJsonValue::Null;
        EXPECT_FALSE(decoded(null)) << qPrintable(key);
        QJsonObject wrong = storedObject();
        wrong[key] = key == QStringLiteral("retainHistory") ? QJsonValue(1) : QJsonValue(true);
        EXPECT_FALSE(decoded(wrong)) << qPrintable(key);
    }

    const auto with = [](const char *key, const QJsonValue &value) {
        QJsonObject object = storedObject();
        object[QLatin1StringView(key)] = value;
        return object;
    };
    EXPECT_FALSE(decoded(with("mode", QStringLiteral("clean"))));
    EXPECT_FALSE(decoded(with("appModes", QJsonObject{{"com.apple.mail", "email"}})));
    EXPECT_FALSE(decoded(with("appModes", QJsonObject{{"com.apple.mail", 1}})));
    EXPECT_FALSE(decoded(with("retainHistory", QStringLiteral("true"))));
    EXPECT_FALSE(decoded(with("replacements", QJsonArray{QJsonObject{{"spoken", "a"}, {"written", "b"}}})));
    EXPECT_FALSE(decoded(with("replacements", QJsonArray{QJsonObject{{"id", "{a1b2c3d4-0000-4000-8000-000000000001}"},
                                                                     {"spoken", "a"}, {"written", "b"}}})));
    EXPECT_FALSE(decoded(with("replacements", QJsonArray{QJsonObject{{"id", "a1b2c3d4000040008000000000000001"},
                                                                     {"spoken", "a"}, {"written", "b"}}})));
    EXPECT_FALSE(decoded(with("replacements", QJsonArray{QJsonObject{{"id", "A1B2C3D4-0000-4000-8000-00000000000G"},
                                                                     {"spoken", "a"}, {"written", "b"}}})));
    EXPECT_FALSE(decoded(with("replacements", QJsonArray{"open ai"})));
    EXPECT_FALSE(decoded(with("shortcutKey", QJsonObject{{"code", 4294967296.0}, {"keyLabel", "X"}, {"modifiers", 0}})));
    EXPECT_FALSE(decoded(with("shortcutKey", QStringLiteral("Ctrl+Shift+Space"))));
    EXPECT_FALSE(Preferences::fromJson(QJsonValue(QJsonArray{})));
}

TEST(PreferencesTest, ChoosesTheModeForADictation)
{
    Preferences preferences;
    preferences.mode = WritingMode::email;
    preferences.appModes.insert(QStringLiteral("com.apple.mail"), WritingMode::notes);
    EXPECT_EQ(preferences.modeForDictation(QStringLiteral("com.apple.mail")), WritingMode::notes);
    EXPECT_EQ(preferences.modeForDictation(QStringLiteral("com.apple.Mail")), WritingMode::email);
    EXPECT_EQ(preferences.modeForDictation(QStringLiteral(" com.apple.mail")), WritingMode::email);
    EXPECT_EQ(preferences.modeForDictation(std::nullopt), WritingMode::email);
    EXPECT_EQ(preferences.modeForDictation(QStringLiteral("com.apple.mail"), true), WritingMode::verbatim);
}
