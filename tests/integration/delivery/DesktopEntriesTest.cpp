#include "DesktopEntries.h"
#include "SettingsPanes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace talvex::xdg {
namespace {

class DesktopEntriesTest : public ::testing::Test {
protected:
    void write(const QString &folder, const QString &relative, const QByteArray &content)
    {
        const QString path = root.path() + QLatin1Char('/') + folder + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    DesktopEntries entries() { return DesktopEntries(QStringList{root.path() + "/user", root.path() + "/system"}); }

    QTemporaryDir root;
};

TEST_F(DesktopEntriesTest, FindsTheEntryByToolkitIdThenWindowClassThenIdIgnoringCase)
{
    write("system", "org.gnome.TextEditor.desktop",
          "[Desktop Entry]\nType=Application\nName=Text Editor\nName[xx]=Other\n");
    write("system", "firefox-esr.desktop",
          "[Desktop Entry]\nType=Application\nName=Firefox ESR\nStartupWMClass=Navigator\n");
    write("system", "kde/konsole.desktop", "[Desktop Entry]\nType=Application\nName=Konsole\n");
    write("system", "links.desktop", "[Desktop Entry]\nType=Link\nName=A link\n");
    const DesktopEntries index = entries();

    EXPECT_EQ(index.find("org.gnome.TextEditor", "Gnome-text-editor", "gnome-text-editor")->name, "Text Editor");
    EXPECT_EQ(index.find({}, "Firefox-esr", "Navigator")->id, "firefox-esr") << "StartupWMClass beats the id";
    EXPECT_EQ(index.find({}, "Firefox-esr", "firefox-esr")->name, "Firefox ESR");
    EXPECT_EQ(index.find({}, "KDE-Konsole", {})->id, "kde-konsole") << "subfolders join the id with '-'";
    EXPECT_FALSE(index.find({}, "links", {})) << "only applications";
    EXPECT_FALSE(index.find("no.such.app", "Zenity", "zenity"));
}

TEST_F(DesktopEntriesTest, UserEntriesOverrideAndHideSystemOnes)
{
    write("system", "editor.desktop", "[Desktop Entry]\nType=Application\nName=System Editor\n");
    write("user", "editor.desktop", "[Desktop Entry]\nType=Application\nName=My Editor\n");
    write("system", "gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\n");
    write("user", "gone.desktop", "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n");
    write("system", "other.desktop", "[Other Group]\nName=Wrong\n[Desktop Entry]\nType=Application\nName=Right\n");
    const DesktopEntries index = entries();
    EXPECT_EQ(index.find("editor", {}, {})->name, "My Editor");
    EXPECT_FALSE(index.find("gone", "gone", {}));
    EXPECT_EQ(index.find("other", {}, {})->name, "Right");
}

TEST(SettingsPanesTest, KnownDesktopsGetTheirSettingsPage)
{
    EXPECT_EQ(SettingsPanes::command("ubuntu:GNOME", SettingsPane::accessibility),
              (QStringList{"gnome-control-center", "universal-access"}));
    EXPECT_EQ(SettingsPanes::command("GNOME", SettingsPane::microphone), (QStringList{"gnome-control-center", "privacy"}));
    EXPECT_EQ(SettingsPanes::command("KDE", SettingsPane::sound), (QStringList{"systemsettings", "kcm_pulseaudio"}));
    EXPECT_FALSE(SettingsPanes::command("openbox", SettingsPane::sound));
    EXPECT_FALSE(SettingsPanes::command({}, SettingsPane::microphone));
}

} // namespace
} // namespace talvex::xdg
