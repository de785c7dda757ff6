#include "desktop/Shortcut.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using talvex::KeyEvent;
using talvex::Shortcut;
namespace KeyFlags = talvex::KeyFlags;

namespace {

KeyEvent keyDown(std::uint32_t code, std::uint32_t flags, std::optional<QString> text)
{
    KeyEvent event;
    event.keyCode = code;
    event.modifierFlags = flags;
    event.charactersIgnoringModifiers = std::move(text);
    return event;
}

std::optional<Shortcut> decode(const QByteArray &json, QString *error = nullptr)
{
    // Wrap in an array so scalars (the legacy strings) parse as documents too.
    const QJsonDocument document = QJsonDocument::fromJson("[" + json + "]");
    EXPECT_TRUE(document.isArray()) << json.constData();
    return Shortcut::fromJson(document.array().at(0), error);
}

} // namespace

TEST(Shortcut, ModifierMasksMapFlagBitsAndDropTheRest)
{
    const std::uint32_t all = KeyFlags::control | KeyFlags::option | KeyFlags::shift | KeyFlags::command;
    EXPECT_EQ(Shortcut::hotKeyModifiers(all), 0x1B00u);
    EXPECT_EQ(Shortcut::hotKeyModifiers(KeyFlags::function | KeyFlags::capsLock | KeyFlags::numericPad), 0u);
    EXPECT_EQ(Shortcut::chordModifiers(KeyFlags::control | KeyFlags::function), 0x1001000u);
    EXPECT_EQ(Shortcut::chordModifiers(KeyFlags::option | KeyFlags::capsLock), 0x800u);
}

TEST(Shortcut, DisplayTextUsesModifierNamesInFixedOrder)
{
    EXPECT_EQ(Shortcut::defaultShortcut().displayText(), "Ctrl+Shift+Space");
    EXPECT_EQ(Shortcut(2, 0x1800, "D").displayText(), "Ctrl+Alt+D");
    EXPECT_EQ(Shortcut(101, 0, "F9").displayText(), "F9");
    EXPECT_EQ(Shortcut::chord(0x1800).displayText(), "Ctrl+Alt");
    EXPECT_EQ(Shortcut::chord(0x1000800).displayText(), "Alt+Fn");
    EXPECT_EQ(Shortcut::modifierLabel(0x1B00), "Ctrl+Alt+Shift+Super");
    EXPECT_EQ(Shortcut::modifierLabel(0x1001B00 | 0x4), "Ctrl+Alt+Shift+Super+Fn");
    EXPECT_EQ(Shortcut::modifierLabel(0), "");
}

TEST(Shortcut, FromEventBuildsLabelsFromTablesThenText)
{
    // A letter with Super + Shift is upper-cased; Fn never joins an ordinary shortcut.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(40, KeyFlags::command | KeyFlags::shift | KeyFlags::function, "k")),
              Shortcut(40, 0x300, "K"));
    // Function keys need no modifier and ignore their text.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(101, 0, "\x10")), Shortcut(101, 0, "F9"));
    EXPECT_EQ(Shortcut::fromEvent(keyDown(101, KeyFlags::control, std::nullopt)),
              Shortcut(101, 0x1000, "F9"));
    EXPECT_EQ(Shortcut::fromEvent(keyDown(90, 0, {})), Shortcut(90, 0, "F20"));
    // Table labels win over the event's blank or control text.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(49, KeyFlags::control, " ")), Shortcut(49, 0x1000, "Space"));
    EXPECT_EQ(Shortcut::fromEvent(keyDown(36, KeyFlags::control, "\r")), Shortcut(36, 0x1000, "Return"));
    EXPECT_EQ(Shortcut::fromEvent(keyDown(53, KeyFlags::control, "\x1b"))->displayText(), "Ctrl+Esc");
    // Full case mapping, not per-character.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(27, KeyFlags::option, QStringLiteral("\u00df")))->keyLabel(), "SS");
}

TEST(Shortcut, FromEventFallsBackToKeyNumber)
{
    EXPECT_EQ(Shortcut::fromEvent(keyDown(10, KeyFlags::control, ""))->keyLabel(), "Key 10");
    EXPECT_EQ(Shortcut::fromEvent(keyDown(10, KeyFlags::control, std::nullopt))->keyLabel(), "Key 10");
    EXPECT_EQ(Shortcut::fromEvent(keyDown(10, KeyFlags::control, "\x7f"))->keyLabel(), "Key 10");
    // A format character (zero-width joiner) anywhere disqualifies the text.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(10, KeyFlags::control, QStringLiteral("a\u200d")))->keyLabel(),
              "Key 10");
    // Keys without a stored counterpart keep their offset code.
    EXPECT_EQ(Shortcut::fromEvent(keyDown(0x10000 + 135, KeyFlags::control, {}))->keyLabel(), "Key 65671");
}

TEST(Shortcut, FromEventRejectsOrdinaryKeyWithoutModifier)
{
    EXPECT_FALSE(Shortcut::fromEvent(keyDown(40, 0, "k")));
    EXPECT_FALSE(Shortcut::fromEvent(keyDown(40, KeyFlags::function, "k")));
    EXPECT_FALSE(Shortcut::fromEvent(keyDown(40, KeyFlags::capsLock, "k")));
}

TEST(Shortcut, ReservedForEditingIsAnExactMaskTest)
{
    for (const std::uint32_t editing : {0x100u, 0x1000u}) {
        for (const std::uint32_t code : {0u, 7u, 8u, 9u, 6u})
            EXPECT_TRUE(Shortcut(code, editing, "").reservedForEditing()) << code << " " << editing;
        EXPECT_TRUE(Shortcut(6, editing | 0x200, "Z").reservedForEditing());
        EXPECT_FALSE(Shortcut(8, editing | 0x200, "C").reservedForEditing());
        EXPECT_FALSE(Shortcut(6, editing | 0x800, "Z").reservedForEditing());
    }
    EXPECT_FALSE(Shortcut(8, 0x1100, "C").reservedForEditing()); // Ctrl+Super+C
    EXPECT_FALSE(Shortcut(9, 0x900, "V").reservedForEditing());
    EXPECT_FALSE(Shortcut(1, 0x1000, "S").reservedForEditing());
    EXPECT_FALSE(Shortcut::chord(0x1000).reservedForEditing());
    EXPECT_FALSE(Shortcut::defaultShortcut().reservedForEditing());
    // Bits outside the model are ignored.
    EXPECT_TRUE(Shortcut(9, 0x1000 | 0x1, "V").reservedForEditing());
}

TEST(Shortcut, EqualityComparesAllThreeFields)
{
    EXPECT_EQ(Shortcut(2, 0x1800, "D"), Shortcut(2, 0x1800, "D"));
    EXPECT_NE(Shortcut(2, 0x1800, "D"), Shortcut(2, 0x1800, "d"));
    EXPECT_NE(Shortcut(2, 0x1800, "D"), Shortcut(2, 0x1000, "D"));
    EXPECT_NE(Shortcut(2, 0x1800, "D"), Shortcut(3, 0x1800, "D"));
}

TEST(Shortcut, JsonRoundTripsInObjectForm)
{
    const QJsonObject encoded = Shortcut::defaultShortcut().toJson();
    EXPECT_EQ(QJsonDocument(encoded).toJson(QJsonDocument::Compact),
              R"({"code":49,"keyLabel":"Space","modifiers":4608})");
    EXPECT_EQ(QJsonDocument(Shortcut::chord(0x1800).toJson()).toJson(QJsonDocument::Compact),
              R"({"code":4294967295,"keyLabel":"","modifiers":6144})");

    for (const Shortcut &shortcut :
         {Shortcut::defaultShortcut(), Shortcut::chord(0x1001000),
          Shortcut(0x10000 + 200, 0x1B00, QStringLiteral("\u00e9")), Shortcut(0, 0, "")}) {
        const QByteArray text = QJsonDocument(shortcut.toJson()).toJson();
        EXPECT_EQ(decode(text), shortcut) << text.constData();
    }
}

TEST(Shortcut, JsonReadsTheThreeLegacyStrings)
{
    EXPECT_EQ(decode(R"("⌃⇧Space")"), Shortcut::defaultShortcut());
    EXPECT_EQ(decode(R"("⌃⌥D")"), Shortcut(2, 0x1800, "D"));
    EXPECT_EQ(decode(R"("F9")"), Shortcut(101, 0, "F9"));

    for (const QByteArray json : {R"("F10")", R"("")", R"("Ctrl+Shift+Space")", R"("⌃⇧space")"}) {
        QString error;
        EXPECT_FALSE(decode(json, &error)) << json.constData();
        EXPECT_EQ(error, "Unknown legacy shortcut");
    }
}

TEST(Shortcut, JsonRejectsMalformedObjects)
{
    const QByteArray bad[] = {
        R"({"code":49,"modifiers":4608})",
        R"({"modifiers":4608,"keyLabel":"Space"})",
        R"({"code":49,"keyLabel":"Space"})",
        R"({"code":"49","modifiers":4608,"keyLabel":"Space"})",
        R"({"code":49,"modifiers":4608,"keyLabel":7})",
        R"({"code":49,"modifiers":null,"keyLabel":"Space"})",
        R"({"code":49.5,"modifiers":4608,"keyLabel":"Space"})",
        R"({"code":-1,"modifiers":4608,"keyLabel":"Space"})",
        R"({"code":4294967296,"modifiers":4608,"keyLabel":"Space"})",
        R"({"code":49,"modifiers":1e300,"keyLabel":"Space"})",
        R"(49)",
        R"(null)",
        R"([49,4608,"Space"])",
    };
    for (const QByteArray &json : bad) {
        QString error;
        EXPECT_FALSE(decode(json, &error)) << json.constData();
        EXPECT_FALSE(error.isEmpty()) << json.constData();
    }
    // The boundaries themselves are fine, and extra members are ignored.
    EXPECT_EQ(decode(R"({"code":4294967295,"modifiers":0,"keyLabel":"","extra":true})"), Shortcut::chord(0));
    // Decoding without an error slot must not crash.
    EXPECT_FALSE(decode(R"({"code":1})", nullptr));
}
