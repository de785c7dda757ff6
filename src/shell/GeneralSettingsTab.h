#pragma once

#include "SettingsServices.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLayout;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace talvex {

class DictationController;
class ShortcutRecorderRow;

/// The "General" tab: Startup, Dictation, Updates, Models and permissions, Backup, About.
class GeneralSettingsTab final : public QWidget {
    Q_OBJECT

  public:
    /// The display locale names the languages (an ICU or Qt locale name); empty: the user's.
    GeneralSettingsTab(DictationController &controller, const SettingsServices &services,
                       QString displayLocale = {}, QWidget *parent = nullptr);

    ShortcutRecorderRow &shortcutRow() const { return *m_shortcutRow; }

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    QWidget *startupSection();
    QWidget *dictationSection();
    QWidget *updatesSection();
    QWidget *permissionsSection();
    QWidget *backupSection();
    QWidget *aboutSection();

    void refreshStartup();
    void refreshShortcutWarning();
    void refreshLanguages();
    void refreshHistory();
    void refreshUpdates();
    void refreshPermissions();
    void chooseLanguage(int row);

    DictationController &m_controller;
    SettingsServices m_services;
    QString m_displayLocale;

    QFormLayout *m_startup = nullptr;
    QCheckBox *m_launchAtLogin = nullptr;
    QLabel *m_loginError = nullptr;

    QFormLayout *m_dictation = nullptr;

    ShortcutRecorderRow *m_shortcutRow = nullptr;
    QWidget *m_shortcutWarning = nullptr;
    QComboBox *m_language = nullptr;
    QCheckBox *m_retainHistory = nullptr;

    QFormLayout *m_updates = nullptr;
    QCheckBox *m_automaticUpdates = nullptr;
    QLabel *m_automaticUpdatesNote = nullptr;
    QPushButton *m_checkForUpdates = nullptr;

    QLabel *m_speech = nullptr;
    QLabel *m_finalText = nullptr;
    QLabel *m_model = nullptr;
    QStackedWidget *m_microphone = nullptr;
    QStackedWidget *m_paste = nullptr;
};

} // namespace talvex
