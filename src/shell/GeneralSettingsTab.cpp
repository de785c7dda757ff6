#include "GeneralSettingsTab.h"

#include "SettingsIcons.h"
#include "LaunchAtLogin.h"
#include "SettingsLayout.h"
#include "SettingsTexts.h"
#include "TalvexUpdates.h"
#include "ShortcutRecorderRow.h"
#include "core/DictationController.h"
#include "platform/FinalTextRecognizer.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace talvex {

namespace {

QPushButton *button(const QString &text, QWidget *parent)
{
    auto *created = new QPushButton(text, parent);
    created->setAutoDefault(false);
    return created;
}

/// A button at the start of its own row.
QBoxLayout *leading(QWidget *first, QWidget *second = nullptr)
{
    QBoxLayout *layout = SettingsLayout::row();
    layout->addWidget(first);
    if (second)
        layout->addWidget(second);
    layout->addStretch(1);
    return layout;
}

/// "Allowed", or the button that asks for the permission.
QStackedWidget *permissionState(const QString &accessibleName, QPushButton *request, QWidget *parent)
{
    auto *stack = new QStackedWidget(parent);
    auto *allowed = new QLabel(QStringLiteral("Allowed"), stack);
    allowed->setAccessibleDescription(accessibleName);
    auto *page = new QWidget(stack);
    page->setLayout(leading(request));
    stack->addWidget(allowed);
    stack->addWidget(page);
    stack->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return stack;
}

} // namespace

GeneralSettingsTab::GeneralSettingsTab(DictationController &controller, const SettingsServices &services,
                                       QString displayLocale, QWidget *parent)
    : QWidget(parent), m_controller(controller), m_services(services),
      m_displayLocale(displayLocale.isEmpty() ? SettingsTexts::userDisplayLocale() : std::move(displayLocale))
{
    QVBoxLayout *column = SettingsLayout::scrollingColumn(this);
    column->addWidget(startupSection());
    column->addWidget(dictationSection());
    column->addWidget(updatesSection());
    column->addWidget(permissionsSection());
    column->addWidget(backupSection());
    column->addWidget(aboutSection());
    column->addStretch(1);

    connect(&m_controller, &DictationController::libraryChanged, this, [this] {
        refreshLanguages();
        refreshHistory();
    });
    connect(&m_controller, &DictationController::localesChanged, this, &GeneralSettingsTab::refreshLanguages);
    connect(&m_controller, &DictationController::phaseChanged, this, &GeneralSettingsTab::refreshUpdates);
    connect(&m_controller, &DictationController::shortcutReadyChanged, this,
            &GeneralSettingsTab::refreshShortcutWarning);
    for (auto changed :
         {&DictationController::speechReadyChanged, &DictationController::modelStatusChanged,
          &DictationController::microphoneReadyChanged, &DictationController::accessibilityReadyChanged})
        connect(&m_controller, changed, this, &GeneralSettingsTab::refreshPermissions);
    connect(&m_shortcutRow->recorder(), &ShortcutRecorder::changed, this,
            &GeneralSettingsTab::refreshShortcutWarning);
    if (m_services.launchAtLogin) {
        for (auto changed : {&LaunchAtLogin::statusChanged, &LaunchAtLogin::errorMessageChanged})
            connect(m_services.launchAtLogin, changed, this, &GeneralSettingsTab::refreshStartup);
    }
    if (m_services.updates) {
        for (auto changed : {&TalvexUpdates::canCheckChanged, &TalvexUpdates::automaticUpdatesChanged,
                             &TalvexUpdates::automaticUpdatesNoteChanged})
            connect(m_services.updates, changed, this, &GeneralSettingsTab::refreshUpdates);
    }

    refreshStartup();
    refreshShortcutWarning();
    refreshLanguages();
    refreshHistory();
    refreshUpdates();
    refreshPermissions();
}

QWidget *GeneralSettingsTab::startupSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Startup"), this);
    QFormLayout *form = m_startup = SettingsLayout::form(section);
    m_launchAtLogin = new QCheckBox(QStringLiteral("Launch at Login"), section);
    // The desktop never asks for approval of an autostart entry, so the approval row and its
    // "Open Login Items…" button of a sandboxed login item have nothing to show here.
    m_loginError = SettingsLayout::bodyText(QString(), section);
    form->addRow(m_launchAtLogin);
    form->addRow(m_loginError);

    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool enabled) {
        if (m_services.launchAtLogin)
            m_services.launchAtLogin->setEnabled(enabled);
        refreshStartup(); // the box shows the service's state, whatever the switch asked for
    });
    return section;
}

QWidget *GeneralSettingsTab::dictationSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Dictation"), this);
    QFormLayout *form = m_dictation = SettingsLayout::form(section);
    m_shortcutRow = new ShortcutRecorderRow(m_controller, m_services.keys, {}, section);
    form->addRow(m_shortcutRow);

    m_shortcutWarning = new QWidget(section);
    QBoxLayout *warning = SettingsLayout::row();
    m_shortcutWarning->setLayout(warning);
    auto *symbol = new QLabel(m_shortcutWarning);
    symbol->setPixmap(
        SettingsIcons::icon(QStringLiteral("dialog-warning"), QStringLiteral("exclamationmark.triangle"))
            .pixmap(16, 16));
    symbol->setAccessibleName(QStringLiteral("Warning"));
    QLabel *text = SettingsLayout::bodyText(
        QStringLiteral("This shortcut couldn\u2019t be registered. Try a different key combination."),
        m_shortcutWarning);
    QPushButton *retry = button(QStringLiteral("Retry Shortcut"), m_shortcutWarning);
    warning->addWidget(symbol, 0, Qt::AlignTop);
    warning->addWidget(text, 1);
    warning->addWidget(retry, 0, Qt::AlignTop);
    form->addRow(m_shortcutWarning);
    connect(retry, &QPushButton::clicked, &m_controller, &DictationController::retryShortcut);

    QPushButton *onboarding = button(QStringLiteral("Talvex Onboarding\u2026"), section);
    onboarding->setEnabled(bool(m_services.openOnboarding));
    form->addRow(leading(onboarding));
    connect(onboarding, &QPushButton::clicked, this, [this] {
        if (m_services.openOnboarding)
            m_services.openOnboarding();
    });
    form->addRow(SettingsLayout::secondaryText(
        QStringLiteral("Tap to start or stop. Hold to speak, then release to finish."), section));

    m_language = new QComboBox(section);
    m_language->setAccessibleName(QStringLiteral("Language"));
    m_language->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    form->addRow(QStringLiteral("Language"), m_language);
    connect(m_language, &QComboBox::activated, this, &GeneralSettingsTab::chooseLanguage);

    m_retainHistory = new QCheckBox(QStringLiteral("Save transcript history"), section);
    form->addRow(m_retainHistory);
    connect(m_retainHistory, &QCheckBox::toggled, this, [this](bool retain) {
        Preferences preferences = m_controller.preferences();
        if (preferences.retainHistory == retain)
            return;
        preferences.retainHistory = retain;
        m_controller.setPreferences(preferences);
    });
    return section;
}

QWidget *GeneralSettingsTab::updatesSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Updates"), this);
    QFormLayout *form = m_updates = SettingsLayout::form(section);
    m_automaticUpdates = new QCheckBox(QStringLiteral("Automatically install updates"), section);
    m_automaticUpdatesNote = SettingsLayout::secondaryText(QString(), section);
    m_checkForUpdates = button(QStringLiteral("Check for Updates\u2026"), section);
    form->addRow(m_automaticUpdates);
    form->addRow(m_automaticUpdatesNote);
    form->addRow(leading(m_checkForUpdates));
    connect(m_automaticUpdates, &QCheckBox::clicked, this, [this](bool enabled) {
        if (m_services.updates)
            m_services.updates->setAutomaticUpdates(enabled);
        refreshUpdates();
    });
    connect(m_checkForUpdates, &QPushButton::clicked, this, [this] {
        if (m_services.updates && m_services.updates->canCheck() && m_controller.phase() == Phase::idle)
            m_services.updates->check();
    });
    return section;
}

QWidget *GeneralSettingsTab::permissionsSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Models and permissions"), this);
    QFormLayout *form = SettingsLayout::form(section);
    m_speech = new QLabel(section);
    m_model = new QLabel(section);
    QPushButton *allowMicrophone = button(QStringLiteral("Allow microphone\u2026"), section);
    QPushButton *allowPaste = button(QStringLiteral("Enable Automatic Paste\u2026"), section);
    m_microphone = permissionState(QStringLiteral("Microphone"), allowMicrophone, section);
    m_paste = permissionState(QStringLiteral("Automatic paste"), allowPaste, section);
    form->addRow(QStringLiteral("Speech recognition"), m_speech);
    if (m_services.finalText) {
        m_finalText = new QLabel(section);
        form->addRow(QStringLiteral("Final text from"), m_finalText);
        m_services.finalText->watchFinalTextRecognizer(this, [this] { refreshPermissions(); });
    }
    form->addRow(QStringLiteral("Language model"), m_model);
    form->addRow(QStringLiteral("Microphone"), m_microphone);
    form->addRow(QStringLiteral("Automatic paste"), m_paste);
    QPushButton *refresh = button(QStringLiteral("Refresh status"), section);
    form->addRow(leading(refresh));
    connect(allowMicrophone, &QPushButton::clicked, &m_controller, &DictationController::allowMicrophone);
    connect(allowPaste, &QPushButton::clicked, &m_controller, &DictationController::allowAccessibility);
    connect(refresh, &QPushButton::clicked, &m_controller, &DictationController::refreshPermissions);
    connect(refresh, &QPushButton::clicked, this, &GeneralSettingsTab::refreshPermissions);
    return section;
}

QWidget *GeneralSettingsTab::backupSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("Backup"), this);
    QFormLayout *form = SettingsLayout::form(section);
    form->addRow(SettingsLayout::bodyText(
        QStringLiteral("Export settings, app modes, dictionary and transcript history to a JSON file."),
        section));
    QPushButton *exportBackup = button(QStringLiteral("Export backup\u2026"), section);
    QPushButton *restoreBackup = button(QStringLiteral("Restore backup\u2026"), section);
    form->addRow(leading(exportBackup, restoreBackup));
    connect(exportBackup, &QPushButton::clicked, &m_controller, &DictationController::exportBackup);
    connect(restoreBackup, &QPushButton::clicked, &m_controller, &DictationController::importBackup);
    return section;
}

QWidget *GeneralSettingsTab::aboutSection()
{
    QGroupBox *section = SettingsLayout::section(QStringLiteral("About"), this);
    QPushButton *about = button(QStringLiteral("About Talvex"), section);
    about->setEnabled(bool(m_services.openAbout));
    SettingsLayout::form(section)->addRow(leading(about));
    connect(about, &QPushButton::clicked, this, [this] {
        if (m_services.openAbout)
            m_services.openAbout();
    });
    return section;
}

void GeneralSettingsTab::refreshStartup()
{
    LaunchAtLogin *service = m_services.launchAtLogin;
    const LoginItemStatus status = service ? service->status() : LoginItemStatus::notRegistered;
    const std::optional<QString> error = service ? service->errorMessage() : std::nullopt;
    m_launchAtLogin->setEnabled(service != nullptr);
    m_launchAtLogin->setChecked(SettingsTexts::launchAtLoginIsOn(status));
    m_loginError->setText(error.value_or(QString()));
    m_startup->setRowVisible(m_loginError, error.has_value());
}

void GeneralSettingsTab::refreshShortcutWarning()
{
    m_dictation->setRowVisible(m_shortcutWarning,
                               !m_controller.shortcutReady() && !m_shortcutRow->recorder().isRecording());
}

void GeneralSettingsTab::refreshLanguages()
{
    const auto rows = SettingsTexts::languageRows(m_controller.locales(), m_controller.preferences().locale,
                                                  m_displayLocale);
    bool same = m_language->count() == int(rows.size());
    for (int i = 0; same && i < m_language->count(); ++i)
        same = m_language->itemData(i).toString() == rows[std::size_t(i)].identifier &&
               m_language->itemText(i) == rows[std::size_t(i)].name;
    if (!same) {
        m_language->clear();
        for (const SettingsTexts::LanguageRow &row : rows)
            m_language->addItem(row.name, row.identifier);
    }
    m_language->setCurrentIndex(m_language->findData(m_controller.preferences().locale));
}

void GeneralSettingsTab::refreshHistory()
{
    m_retainHistory->setChecked(m_controller.preferences().retainHistory);
}

void GeneralSettingsTab::refreshUpdates()
{
    TalvexUpdates *updates = m_services.updates;
    // A package-managed installation is updated by the system: the toggle is off limits and the
    // note says why.
    const QString note = updates ? updates->automaticUpdatesNote() : QString();
    m_automaticUpdates->setEnabled(updates != nullptr && note.isEmpty());
    m_automaticUpdates->setChecked(updates && updates->automaticUpdates());
    m_automaticUpdatesNote->setText(note);
    m_updates->setRowVisible(m_automaticUpdatesNote, !note.isEmpty());
    m_checkForUpdates->setEnabled(updates && updates->canCheck() && m_controller.phase() == Phase::idle);
}

void GeneralSettingsTab::refreshPermissions()
{
    m_speech->setText(SettingsTexts::speechSupport(m_controller.speechReady()));
    if (m_finalText)
        m_finalText->setText(m_services.finalText->finalTextRecognizer());
    m_model->setText(m_controller.modelStatus());
    m_microphone->setCurrentIndex(m_controller.microphoneReady() ? 0 : 1);
    m_paste->setCurrentIndex(m_controller.accessibilityReady() ? 0 : 1);
}

void GeneralSettingsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshPermissions(); // the recogniser in use may have changed while the window was closed
}

void GeneralSettingsTab::chooseLanguage(int row)
{
    const QString locale = m_language->itemData(row).toString();
    if (locale.isEmpty() || locale == m_controller.preferences().locale)
        return;
    Preferences preferences = m_controller.preferences();
    preferences.locale = locale;
    m_controller.setPreferences(preferences);
}

} // namespace talvex
