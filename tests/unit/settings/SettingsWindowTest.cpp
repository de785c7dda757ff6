// The settings window's controls over the real controller: each edit lands in the library file,
// each button reaches its service, and the shortcut row records from the window's key events.
#include "AboutWindow.h"
#include "ApplicationChooser.h"
#include "SettingsFixture.h"
#include "TalvexAbout.h"
#include "TalvexSettings.h"
#include "platform/Version.h"
#include "shell/WebAddresses.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;

namespace {

/// The visible widget of type T whose text or accessible name is `name`.
template <typename T> T *find(QWidget &root, const QString &name)
{
    // Rows made while the window shows appear with the next turn of the event loop.
    QCoreApplication::processEvents();
    for (T *widget : root.findChildren<T *>()) {
        QString text;
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            text = button->text();
        else if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        if ((text == name || widget->accessibleName() == name) && widget->isVisibleTo(&root))
            return widget;
    }
    return nullptr;
}

template <typename T> std::vector<T *> findAll(QWidget &root, const QString &name)
{
    QCoreApplication::processEvents();
    std::vector<T *> found;
    for (T *widget : root.findChildren<T *>())
        if (widget->accessibleName() == name && widget->isVisibleTo(&root))
            found.push_back(widget);
    return found;
}

/// Runs `act` on the next modal dialog once it is open.
void whenModal(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start(10);
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        controller = &fixture.make();
        settings = std::make_unique<TalvexSettings>(*controller, fixture.services(), QStringLiteral("en_US"));
        settings->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.get()));
    }

    void showTab(const QString &label)
    {
        for (int i = 0; i < settings->tabs().count(); ++i)
            if (settings->tabs().tabText(i) == label)
                settings->tabs().setCurrentIndex(i);
    }

    Library stored() const
    {
        const auto library = readLibrary(fixture.harness.libraryPath());
        return library.value_or(Library());
    }

    template <typename T> T &control(const QString &name)
    {
        T *widget = find<T>(*settings, name);
        if (!widget)
            throw std::runtime_error("no control " + name.toStdString());
        return *widget;
    }

    SettingsFixture fixture;
    DictationController *controller = nullptr;
    std::unique_ptr<TalvexSettings> settings;
};

} // namespace

TEST_F(SettingsWindowTest, HasTheFourTabsInOrderAt590By450)
{
    EXPECT_EQ(settings->size(), QSize(590, 450));
    QStringList labels;
    for (int i = 0; i < settings->tabs().count(); ++i) {
        labels << settings->tabs().tabText(i);
        EXPECT_FALSE(settings->tabs().tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(labels, (QStringList{"General", "Modes", "Dictionary", "About"}));
}

TEST_F(SettingsWindowTest, AppRulesAreAddedTrimmedReplacedAndRemoved)
{
    showTab("Modes");
    auto &app = control<QLineEdit>("Application ID");
    auto &add = control<QAbstractButton>("Add");
    auto &mode = control<QComboBox>("Mode");
    EXPECT_EQ(app.placeholderText(), "e.g. org.gnome.TextEditor");

    struct Step {
        QString typed;
        WritingMode mode;
        bool addable;
        QMap<QString, WritingMode> stored;
    };
    const std::vector<Step> steps = {
        {"   ", WritingMode::verbatim, false, {}},
        {"  com.example.app ", WritingMode::verbatim, true, {{"com.example.app", WritingMode::verbatim}}},
        {"com.example.app", WritingMode::email, true, {{"com.example.app", WritingMode::email}}},
        {"Com.Example.App",
         WritingMode::notes,
         true,
         {{"com.example.app", WritingMode::email}, {"Com.Example.App", WritingMode::notes}}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.typed.toStdString());
        app.clear();
        QTest::keyClicks(&app, step.typed);
        mode.setCurrentIndex(mode.findText(writingModeString(step.mode)));
        EXPECT_EQ(add.isEnabled(), step.addable);
        add.click();
        EXPECT_EQ(stored().preferences.appModes, step.stored);
        EXPECT_EQ(app.text(), step.addable ? QString() : step.typed) << "the field empties after Add";
    }

    // Rows in ascending string order, each with its mode and a Remove button.
    QStringList shown;
    for (QLabel *label : settings->findChildren<QLabel *>(QStringLiteral("ruleApplication")))
        shown << label->text();
    EXPECT_EQ(shown, (QStringList{"Com.Example.App", "com.example.app"}));
    auto removes = findAll<QAbstractButton>(*settings, "Remove");
    ASSERT_EQ(removes.size(), 2u);
    removes.front()->click();
    EXPECT_EQ(stored().preferences.appModes,
              (QMap<QString, WritingMode>{{"com.example.app", WritingMode::email}}));
}

TEST_F(SettingsWindowTest, ChooseAppFillsInTheChosenApplicationsID)
{
    showTab("Modes");
    auto &app = control<QLineEdit>("Application ID");
    auto &choose = control<QAbstractButton>("Choose App\u2026");
    whenModal([](QWidget *dialog) {
        auto *search = find<QLineEdit>(*dialog, "Search applications");
        QTest::keyClicks(search, "term");
        QTest::keyClick(search, Qt::Key_Return);
    });
    choose.click();
    EXPECT_EQ(app.text(), "org.gnome.Terminal");
    EXPECT_EQ(fixture.applications.reads, 1);
    EXPECT_TRUE(stored().preferences.appModes.isEmpty()) << "choosing only fills in the field";

    whenModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    choose.click();
    EXPECT_EQ(app.text(), "org.gnome.Terminal") << "cancelling changes nothing";
}

TEST_F(SettingsWindowTest, DefaultModeIsStoredAndDescribed)
{
    showTab("Modes");
    auto &mode = control<QComboBox>("Writing mode");
    QStringList titles;
    for (int i = 0; i < mode.count(); ++i)
        titles << mode.itemText(i);
    EXPECT_EQ(titles, (QStringList{"Verbatim", "Clean up", "Notes", "Email"}));
    EXPECT_TRUE(find<QLabel>(*settings, "Keep the speech recognizer\u2019s output without an AI rewrite."));

    mode.setFocus();
    QTest::keyClick(&mode, Qt::Key_Down);
    EXPECT_EQ(stored().preferences.mode, WritingMode::clean);
    EXPECT_TRUE(find<QLabel>(*settings, writingModeDescription(WritingMode::clean)));
    EXPECT_EQ(fixture.harness.speech.lookups, 1) << "a mode change does not prepare speech again";
}

TEST_F(SettingsWindowTest, VocabularyCountsUpToTheLimitAndEveryEditIsStored)
{
    showTab("Dictionary");
    auto &vocabulary = control<QPlainTextEdit>("Custom vocabulary");
    EXPECT_EQ(vocabulary.height(), 132);
    const QString note = QStringLiteral("The speech recognizer uses the first 100 entries.");
    struct Case {
        int entries;
        const char *count;
        bool note;
    };
    for (const Case &c : std::vector<Case>{{3, "3 of 100 hints", false},
                                           {100, "100 of 100 hints", false},
                                           {101, "100 of 100 hints", true},
                                           {120, "100 of 100 hints", true}}) {
        QStringList lines;
        for (int i = 0; i < c.entries; ++i)
            lines << QStringLiteral("Entry %1").arg(i);
        vocabulary.setPlainText(lines.join('\n'));
        EXPECT_EQ(stored().preferences.vocabulary, lines.join('\n'));
        EXPECT_TRUE(find<QLabel>(*settings, c.count)) << c.entries;
        EXPECT_EQ(find<QLabel>(*settings, note) != nullptr, c.note) << c.entries;
    }

    // Typing goes on where the caret is: storing each keystroke does not reset the editor.
    vocabulary.setPlainText(QString());
    vocabulary.setFocus();
    QTest::keyClicks(&vocabulary, "Ada");
    QTest::keyClick(&vocabulary, Qt::Key_Return);
    QTest::keyClicks(&vocabulary, "Grace");
    EXPECT_EQ(stored().preferences.vocabulary, "Ada\nGrace");
    EXPECT_TRUE(find<QLabel>(*settings, "2 of 100 hints"));

    // An import changes the library underneath: the editor follows.
    Preferences preferences = controller->preferences();
    preferences.vocabulary = "Lovelace";
    controller->setPreferences(preferences);
    EXPECT_EQ(vocabulary.toPlainText(), "Lovelace");
}

TEST_F(SettingsWindowTest, ReplacementRowsStoreEveryEditAndKeepTheirFieldWhileTyping)
{
    showTab("Dictionary");
    control<QAbstractButton>("Add replacement").click();
    ASSERT_EQ(stored().preferences.replacements.size(), 1);
    EXPECT_EQ(stored().preferences.replacements[0].spoken, "") << "an empty row is kept and stored";
    auto *spoken = find<QLineEdit>(*settings, "Spoken text");
    ASSERT_TRUE(spoken);
    EXPECT_TRUE(spoken->hasFocus()) << "the new row is ready for typing";

    QTest::keyClicks(spoken, "open ai");
    EXPECT_EQ(QApplication::focusWidget(), spoken) << "rows are not rebuilt while typing";
    QTest::keyClick(spoken, Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "OpenAI");
    control<QAbstractButton>("Add replacement").click();
    const auto rules = stored().preferences.replacements;
    ASSERT_EQ(rules.size(), 2);
    EXPECT_EQ(rules[0].spoken, "open ai");
    EXPECT_EQ(rules[0].written, "OpenAI");
    EXPECT_EQ(controller->preferences().applyingReplacements("I used open AI"), "I used OpenAI");

    findAll<QAbstractButton>(*settings, "Remove").front()->click();
    ASSERT_EQ(stored().preferences.replacements.size(), 1);
    EXPECT_EQ(stored().preferences.replacements[0].id, rules[1].id) << "removed by id";
}

TEST_F(SettingsWindowTest, GeneralControlsReachTheLibraryAndTheServices)
{
    // Languages: the recogniser's and the stored one, named; choosing prepares speech again.
    auto &language = control<QComboBox>("Language");
    QStringList names;
    for (int i = 0; i < language.count(); ++i)
        names << language.itemText(i);
    EXPECT_EQ(names, (QStringList{"German (Germany)", "English (United Kingdom)", "English (United States)",
                                  "French (France)"}));
    EXPECT_EQ(language.currentText(), "English (United States)");
    const int lookups = fixture.harness.speech.lookups;
    language.setFocus();
    QTest::keyClick(&language, Qt::Key_Up);
    EXPECT_EQ(stored().preferences.locale, "en-GB");
    EXPECT_EQ(fixture.harness.speech.lookups, lookups + 1);

    control<QCheckBox>("Save transcript history").click();
    EXPECT_FALSE(stored().preferences.retainHistory);

    // Launch at login, its failure shown under it.
    fixture.loginItems.failRegister = true;
    control<QCheckBox>("Launch at Login").click();
    EXPECT_TRUE(fixture.loginItems.calls.contains("register"));
    EXPECT_FALSE(control<QCheckBox>("Launch at Login").isChecked());
    EXPECT_TRUE(find<QLabel>(*settings, "Talvex couldn\u2019t enable Launch at Login."));
    fixture.loginItems.failRegister = false;
    control<QCheckBox>("Launch at Login").click();
    EXPECT_TRUE(control<QCheckBox>("Launch at Login").isChecked());
    EXPECT_FALSE(find<QLabel>(*settings, "Talvex couldn\u2019t enable Launch at Login."));

    // Updates: the setting is the updater's; a check only while idle.
    control<QCheckBox>("Automatically install updates").click();
    EXPECT_TRUE(fixture.updater.automatic);
    auto &check = control<QAbstractButton>("Check for Updates\u2026");
    check.click();
    EXPECT_EQ(fixture.updater.checks, 1);
    ASSERT_TRUE(fixture.harness.startRecording());
    EXPECT_FALSE(check.isEnabled());
    EXPECT_FALSE(control<QAbstractButton>("Record Shortcut\u2026").isEnabled())
        << "no recording during a dictation";
    controller->cancel();
    EXPECT_TRUE(check.isEnabled());
    EXPECT_TRUE(control<QAbstractButton>("Record Shortcut\u2026").isEnabled());

    control<QAbstractButton>("Talvex Onboarding\u2026").click();
    control<QAbstractButton>("About Talvex").click();
    EXPECT_EQ(fixture.onboardingOpened, 1);
    EXPECT_EQ(fixture.aboutOpened, 1);
}

TEST_F(SettingsWindowTest, FinalTextRowNamesTheRecogniserInUseAndFollowsIt)
{
    QLabel *name = find<QLabel>(*settings, "PocketSphinx");
    ASSERT_TRUE(name);
    QLabel *title = find<QLabel>(*settings, "Final text from");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->buddy(), name) << "a screen reader announces the name with its row title";
    fixture.finalText.rename(QStringLiteral("Transcription server at 127.0.0.1:8080"));
    EXPECT_EQ(name->text(), QStringLiteral("Transcription server at 127.0.0.1:8080"));
}

TEST_F(SettingsWindowTest, PermissionRowsOfferTheirRequestOnlyWhileMissing)
{
    EXPECT_TRUE(find<QLabel>(*settings, "Supported on this computer"));
    EXPECT_TRUE(find<QLabel>(*settings, "Ready"));
    EXPECT_FALSE(find<QAbstractButton>(*settings, "Allow microphone\u2026"));
    EXPECT_FALSE(find<QAbstractButton>(*settings, "Enable Automatic Paste\u2026"));

    fixture.harness.accessibility.trusted = false;
    fixture.harness.firstEngine()->status = MicrophoneAuthorization::denied;
    fixture.harness.speechDouble.available = false;
    control<QAbstractButton>("Refresh status").click();
    EXPECT_TRUE(find<QLabel>(*settings, "Unavailable"));
    control<QAbstractButton>("Allow microphone\u2026").click();
    ASSERT_TRUE(fixture.harness.settle([&] { return !fixture.harness.workspace.openedPanes.empty(); }));
    EXPECT_EQ(fixture.harness.workspace.openedPanes, std::vector<SettingsPane>{SettingsPane::microphone});
    control<QAbstractButton>("Enable Automatic Paste\u2026").click();
    EXPECT_EQ(fixture.harness.workspace.openedPanes.back(), SettingsPane::accessibility);
}

TEST_F(SettingsWindowTest, ShortcutRowRecordsFromTheWindowsKeysAndStoresTheShortcut)
{
    QWindow *window = settings->windowHandle();
    control<QAbstractButton>("Record Shortcut\u2026").click();
    ASSERT_TRUE(find<QAbstractButton>(*settings, "Cancel"));
    EXPECT_FALSE(find<QAbstractButton>(*settings, "Record Shortcut\u2026"));
    EXPECT_TRUE(find<QLabel>(*settings, "Hold the keys together\u2026"));
    EXPECT_TRUE(fixture.harness.hotKeys.live().empty());

    // Tab and Return reach the recorder, not focus navigation or a default button.
    QWidget *focused = QApplication::focusWidget();
    fixture.keyboard.type(window, "+Tab -Tab +Return -Return");
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_TRUE(find<QLabel>(*settings, "Add a modifier or use a function key."));

    fixture.keyboard.type(window, "+Ctrl +Alt +D");
    EXPECT_TRUE(find<QLabel>(*settings, "Ctrl+Alt+D  Release to save"));
    fixture.keyboard.type(window, "-D -Alt -Ctrl");
    EXPECT_EQ(stored().preferences.shortcutKey.displayText(), "Ctrl+Alt+D");
    EXPECT_TRUE(find<QLabel>(*settings, "Ctrl+Alt+D"));
    EXPECT_TRUE(find<QLabel>(*settings, "Shortcut saved: Ctrl+Alt+D")) << "the status line under the tabs";
    ASSERT_EQ(fixture.harness.hotKeys.live().size(), 1u);
    EXPECT_EQ(fixture.harness.hotKeys.live()[0].modifiers, 0x1800u);
}

TEST_F(SettingsWindowTest, RecordingEndsWhenTheRowIsHiddenOrTheWindowLosesFocus)
{
    const std::vector<std::pair<const char *, std::function<void()>>> leaves = {
        {"another tab", [&] { showTab("Modes"); }},
        {"another window takes focus",
         [&] {
             auto *other = new QWidget;
             other->setAttribute(Qt::WA_DeleteOnClose);
             other->show();
             other->activateWindow();
             EXPECT_TRUE(QTest::qWaitForWindowActive(other));
             other->close();
         }},
    };
    for (const auto &[name, leave] : leaves) {
        SCOPED_TRACE(name);
        showTab("General");
        settings->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
        control<QAbstractButton>("Record Shortcut\u2026").click();
        ASSERT_TRUE(find<QAbstractButton>(*settings, "Cancel"));
        leave();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fixture.harness.hotKeys.live().empty(); }, 5000))
            << "the stored shortcut is registered again";
        showTab("General");
        EXPECT_TRUE(find<QAbstractButton>(*settings, "Record Shortcut\u2026"));
        EXPECT_EQ(controller->preferences().shortcutKey, Shortcut::defaultShortcut());
    }
}

TEST_F(SettingsWindowTest, StatusSentenceShowsUnderTheTabsOnlyWhenThereIsOne)
{
    auto sentence = QStringLiteral("Backup exported.");
    EXPECT_FALSE(find<QLabel>(*settings, sentence));
    controller->setMessage(sentence);
    EXPECT_TRUE(find<QLabel>(*settings, sentence));
    controller->setMessage(std::nullopt);
    EXPECT_FALSE(find<QLabel>(*settings, sentence));
}

TEST(TalvexAboutTest, LinksOpenTheirPagesAndSharingFallsBackToTheClipboard)
{
    QList<QUrl> opened;
    bool opens = true;
    TalvexAbout about([&](const QUrl &url) {
        opened << url;
        return opens;
    });
    EXPECT_TRUE(find<QLabel>(about, "Version " + QString::fromUtf8(talvexVersion)));
    EXPECT_TRUE(find<QLabel>(about,
                             "Private dictation for Linux. Speak wherever you type, with transcription on "
                             "your device."));
    const QStringList titles{QString::fromUtf8(web::tipService),
                             "Send Feedback",
                             "Share Talvex",
                             "Open a Support Ticket",
                             "More Free Apps by Quindlark",
                             "Newsletter",
                             QString::fromUtf8(web::socialName),
                             "Website"};
    for (const QString &title : titles) {
        auto *link = find<QAbstractButton>(about, title);
        ASSERT_TRUE(link) << title.toStdString();
        link->click();
    }
    const QList<QUrl> expected{
        QUrl(web::tip),    QUrl(web::feedback), AboutLinks::shareMail(QUrl(web::website)),
        QUrl(web::help),   QUrl(web::apps),     QUrl(web::newsletter),
        QUrl(web::social), QUrl(web::website)};
    EXPECT_EQ(opened, expected);
    EXPECT_EQ(QUrlQuery(opened[2]).queryItemValue("body", QUrl::FullyDecoded),
              "Talvex: private dictation for Linux. " + QString::fromUtf8(web::website));

    opens = false;
    find<QAbstractButton>(about, "Share Talvex")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(web::website));
    EXPECT_TRUE(find<QLabel>(about, "Link copied to the clipboard"));
}

TEST(AboutWindowTest, OnePanelTitledAboutTalvexKeptAcrossShows)
{
    AboutWindow window([](const QUrl &) { return true; });
    EXPECT_FALSE(window.panel());
    window.show();
    QWidget *panel = window.panel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->windowTitle(), "About Talvex");
    EXPECT_EQ(panel->size(), QSize(512, 640));
    panel->close();
    window.show();
    EXPECT_EQ(window.panel(), panel);
    EXPECT_TRUE(panel->isVisible());
}
