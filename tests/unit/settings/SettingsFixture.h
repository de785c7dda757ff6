#pragma once

// The settings window over the real controller (ControllerHarness: doubles underneath), with
// doubles for key translation, login items, the updater and the installed applications, and a
// keyboard that types through the key translation as a window of ours receives keys.

#include "ControllerHarness.h"
#include "FinalTextRecognizerDouble.h"
#include "InstalledApplicationsDouble.h"
#include "KeyTranslatorDouble.h"
#include "LoginItemsDouble.h"
#include "LaunchAtLogin.h"
#include "SettingsServices.h"
#include "UpdaterDouble.h"
#include "TalvexUpdates.h"
#include "platform/KeyEvent.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QFile>
#include <QKeyEvent>
#include <QStringList>
#include <QUrl>
#include <QWindow>
#include <cstdint>
#include <map>
#include <ostream>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace talvex::test {

/// Keys by the name a test writes, with their stored codes and, for modifiers, their flag.
struct TestKey {
    std::uint32_t code;
    std::uint32_t modifierFlag = 0; ///< KeyFlags bit of a modifier key, else 0
    QString text;                   ///< what it types without modifiers
};

inline const std::map<QString, TestKey> &testKeys()
{
    static const std::map<QString, TestKey> keys = {
        {QStringLiteral("Ctrl"), {59, KeyFlags::control, {}}},
        {QStringLiteral("Shift"), {56, KeyFlags::shift, {}}},
        {QStringLiteral("Alt"), {58, KeyFlags::option, {}}},
        {QStringLiteral("Super"), {55, KeyFlags::command, {}}},
        {QStringLiteral("Space"), {49, 0, QStringLiteral(" ")}},
        {QStringLiteral("Esc"), {53, 0, QStringLiteral("\x1b")}},
        {QStringLiteral("Return"), {36, 0, QStringLiteral("\r")}},
        {QStringLiteral("Tab"), {48, 0, QStringLiteral("\t")}},
        {QStringLiteral("F5"), {96, 0, {}}},
        {QStringLiteral("D"), {2, 0, QStringLiteral("d")}},
        {QStringLiteral("K"), {40, 0, QStringLiteral("k")}},
        {QStringLiteral("V"), {9, 0, QStringLiteral("v")}},
        {QStringLiteral("Z"), {6, 0, QStringLiteral("z")}},
    };
    return keys;
}

/// Turns "+Ctrl +K *K -K -Ctrl" (press, auto-repeat, release) into key events, keeping track of the
/// modifiers held the way the window's key translation does.
class TestKeyboard {
  public:
    TestKeyboard()
    {
        for (const auto &[name, key] : testKeys()) {
            if (key.modifierFlag)
                translator.modifierKeys[key.code] = key.modifierFlag;
            else if (!key.text.isEmpty())
                translator.characters[key.code] = key.text;
        }
    }

    struct Stroke {
        bool pressed;
        bool repeat;
        TestKey key;
    };

    static std::vector<Stroke> parse(const QString &script)
    {
        std::vector<Stroke> strokes;
        for (const QString &token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QChar kind = token.front();
            strokes.push_back(
                {kind != QLatin1Char('-'), kind == QLatin1Char('*'), testKeys().at(token.mid(1))});
        }
        return strokes;
    }

    /// The translated event of one stroke; the modifiers held change with modifier keys.
    KeyEvent event(const Stroke &stroke)
    {
        const KeyEvent translated =
            translator.translate(stroke.pressed, stroke.key.code, held, stroke.repeat, 0);
        if (stroke.key.modifierFlag)
            held = translated.modifierFlags;
        return translated;
    }

    /// Sends the stroke to `window` as a key event from the window system.
    void send(QWindow *window, const Stroke &stroke)
    {
        const auto type = stroke.pressed ? QEvent::KeyPress : QEvent::KeyRelease;
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, stroke.key.code, 0, held, stroke.key.text,
                        stroke.repeat);
        if (stroke.key.modifierFlag)
            held = stroke.pressed ? (held | stroke.key.modifierFlag) : (held & ~stroke.key.modifierFlag);
        QApplication::sendEvent(window, &event);
    }

    void type(QWindow *window, const QString &script)
    {
        for (const Stroke &stroke : parse(script))
            send(window, stroke);
    }

    KeyTranslatorDouble translator;
    std::uint32_t held = 0;
};

/// The library file as the controller wrote it; absent when there is none.
inline std::optional<Library> readLibrary(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Library::read(file.readAll());
}

/// The controller with the settings window's other services, all doubles.
class SettingsFixture {
  public:
    SettingsFixture()
    {
        harness.speechDouble.locales = {QStringLiteral("en-US"), QStringLiteral("de-DE"),
                                        QStringLiteral("fr-FR"), QStringLiteral("en-GB")};
        applications.list = {
            {QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
             QStringLiteral("accessories-text-editor")},
            {QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"), QStringLiteral("firefox-esr")},
            {QStringLiteral("org.gnome.Terminal"), QStringLiteral("Terminal"),
             QStringLiteral("utilities-terminal")},
        };
    }

    /// The controller, with the update service started over it as the application does.
    DictationController &make(bool activate = true)
    {
        DictationController &made = harness.make(activate);
        updates.start(&made);
        return made;
    }
    DictationController &controller() { return harness.controller(); }

    SettingsServices services()
    {
        SettingsServices services;
        services.keys = &keyboard.translator;
        services.applications = &applications;
        services.launchAtLogin = &launchAtLogin;
        services.updates = &updates;
        services.finalText = &finalText;
        services.openOnboarding = [this] { ++onboardingOpened; };
        services.openAbout = [this] { ++aboutOpened; };
        services.openLink = [this](const QUrl &url) {
            linksOpened << url;
            return linksOpen;
        };
        return services;
    }

    ControllerHarness harness;
    TestKeyboard keyboard;
    LoginItemsDouble loginItems;
    UpdaterDouble updater;
    InstalledApplicationsDouble applications;
    QTemporaryDir defaultsFolder;
    LaunchAtLogin launchAtLogin{loginItems,
                                std::make_unique<QSettings>(defaultsFolder.filePath(QStringLiteral("Talvex.conf")),
                                                            QSettings::IniFormat)};
    TalvexUpdates updates{&updater};
    FinalTextRecognizerDouble finalText;
    int onboardingOpened = 0;
    int aboutOpened = 0;
    QList<QUrl> linksOpened;
    bool linksOpen = true;
};

} // namespace talvex::test
