// The settings window's tabs and states and the about window, over the real controller on doubles.
#include "AboutWindow.h"
#include "ApplicationChooser.h"
#include "GeneralSettingsTab.h"
#include "RenderSink.h"
#include "Scenes.h"
#include "SettingsFixture.h"
#include "ShortcutRecorderRow.h"
#include "TalvexSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

namespace talvex::render {

namespace {

using test::SettingsFixture;

void scrollToEnd(QWidget &page)
{
    if (auto *scroll = page.findChild<QScrollArea *>())
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
}

QAbstractButton *button(QWidget &root, const QString &text)
{
    for (QAbstractButton *candidate : root.findChildren<QAbstractButton *>())
        if (candidate->text() == text && candidate->isVisible())
            return candidate;
    return nullptr;
}

/// A library with rules, vocabulary and replacements, as a user after some weeks has it.
void furnish(DictationController &controller, int vocabularyEntries)
{
    Preferences preferences = controller.preferences();
    preferences.mode = WritingMode::clean;
    preferences.appModes = {{QStringLiteral("org.gnome.Evolution"), WritingMode::email},
                            {QStringLiteral("org.gnome.TextEditor"), WritingMode::notes},
                            {QStringLiteral("com.slack.Slack"), WritingMode::verbatim}};
    QStringList vocabulary{QStringLiteral("Quindlark"), QStringLiteral("Ada Lovelace"),
                           QStringLiteral("PocketSphinx")};
    for (int i = int(vocabulary.size()); i < vocabularyEntries; ++i)
        vocabulary << QStringLiteral("Term %1").arg(i + 1);
    preferences.vocabulary = vocabulary.mid(0, vocabularyEntries).join(QLatin1Char('\n'));
    preferences.replacements = {
        WordReplacement{QUuid::createUuid(), QStringLiteral("open ai"), QStringLiteral("OpenAI")},
        WordReplacement{QUuid::createUuid(), QStringLiteral("talvex"), QStringLiteral("Talvex")},
        WordReplacement{QUuid::createUuid(), QString(), QString()}};
    controller.setPreferences(preferences);
}

void renderTabs(RenderSink &sink)
{
    SettingsFixture fixture;
    DictationController &controller = fixture.make();
    furnish(controller, 120);
    TalvexSettings settings(controller, fixture.services(), QStringLiteral("en_US"));
    const QStringList names{QStringLiteral("general"), QStringLiteral("modes"), QStringLiteral("dictionary"),
                            QStringLiteral("about")};
    for (int tab = 0; tab < names.size(); ++tab) {
        const QString name = QStringLiteral("settings-") + names[tab];
        if (!sink.wants(name) && !sink.wants(name + QStringLiteral("-end")))
            continue;
        settings.tabs().setCurrentIndex(tab);
        if (sink.wants(name))
            sink.save(name, settings);
        scrollToEnd(*settings.tabs().currentWidget());
        if (sink.wants(name + QStringLiteral("-end")))
            sink.save(name + QStringLiteral("-end"), settings);
    }
}

/// Everything that asks for attention at once: login item with an error, the
/// shortcut not registered, permissions missing, no updater, and a status sentence.
void renderAttention(RenderSink &sink)
{
    const QString name = QStringLiteral("settings-general-attention");
    if (!sink.wants(name) && !sink.wants(name + QStringLiteral("-end")))
        return;
    SettingsFixture fixture;
    fixture.loginItems.currentStatus = LoginItemStatus::enabled;
    fixture.loginItems.failUnregister = true;
    fixture.harness.hotKeys.available = false;
    fixture.harness.engines.status = MicrophoneAuthorization::denied;
    fixture.harness.accessibility.trusted = false;
    fixture.harness.model.availabilityValue = ModelAvailability::modelNotReady;
    fixture.updater.canCheck = false;
    DictationController &controller = fixture.make();
    fixture.launchAtLogin.setEnabled(false);
    TalvexSettings settings(controller, fixture.services(), QStringLiteral("en_US"));
    controller.setMessage(
        QStringLiteral("Couldn\u2019t open the saved library. Talvex will leave that file untouched. "
                       "Restore a backup to recover."));
    if (sink.wants(name))
        sink.save(name, settings);
    scrollToEnd(*settings.tabs().currentWidget());
    if (sink.wants(name + QStringLiteral("-end")))
        sink.save(name + QStringLiteral("-end"), settings);
}

void renderRecording(RenderSink &sink)
{
    const QStringList states{QStringLiteral("settings-recording-chord"),
                             QStringLiteral("settings-recording-refused")};
    if (!sink.wants(states[0]) && !sink.wants(states[1]))
        return;
    SettingsFixture fixture;
    DictationController &controller = fixture.make();
    TalvexSettings settings(controller, fixture.services(), QStringLiteral("en_US"));
    settings.show();
    QAbstractButton *record = button(settings, QStringLiteral("Record Shortcut\u2026"));
    if (!record)
        return;
    record->click();
    fixture.keyboard.type(settings.windowHandle(), QStringLiteral("+Ctrl +Alt"));
    if (sink.wants(states[0]))
        sink.save(states[0], settings);
    fixture.harness.hotKeys.refuseNext = true;
    fixture.keyboard.type(settings.windowHandle(), QStringLiteral("+D -D -Alt -Ctrl"));
    if (sink.wants(states[1]))
        sink.save(states[1], settings);
    fixture.keyboard.type(settings.windowHandle(), QStringLiteral("+Esc -Esc"));
}

void renderChooser(RenderSink &sink)
{
    if (!sink.wants(QStringLiteral("application-chooser")))
        return;
    SettingsFixture fixture;
    fixture.applications.list.push_back(
        {QStringLiteral("org.gnome.Evolution"), QStringLiteral("Evolution"), {}});
    fixture.applications.list.push_back({QStringLiteral("org.kde.kate"), QStringLiteral("Kate"), {}});
    ApplicationChooser chooser(fixture.applications.list);
    sink.save(QStringLiteral("application-chooser"), chooser);
}

void renderAbout(RenderSink &sink)
{
    if (!sink.wants(QStringLiteral("about-window")))
        return;
    AboutWindow about([](const QUrl &) { return true; });
    about.show();
    sink.save(QStringLiteral("about-window"), *about.panel());
}

} // namespace

void renderSettings(RenderSink &sink)
{
    renderTabs(sink);
    renderAttention(sink);
    renderRecording(sink);
    renderChooser(sink);
    renderAbout(sink);
}

} // namespace talvex::render
