#pragma once

#include "SettingsServices.h"
#include "refine/WritingMode.h"

#include <QMap>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace talvex {

class DictationController;

/// The "Modes" tab: the default writing mode and the per-application rules.
class ModesSettingsTab final : public QWidget {
    Q_OBJECT

  public:
    ModesSettingsTab(DictationController &controller, const SettingsServices &services,
                     QWidget *parent = nullptr);

  private:
    QWidget *defaultModeSection();
    QWidget *appModesSection();
    void refreshMode();
    void refreshRules();
    void refreshAdd();
    void addRule();
    void chooseApp();

    DictationController &m_controller;
    SettingsServices m_services;

    QComboBox *m_mode = nullptr;
    QLabel *m_description = nullptr;
    QLineEdit *m_ruleApp = nullptr;
    QComboBox *m_ruleMode = nullptr;
    QPushButton *m_add = nullptr;
    QWidget *m_rules = nullptr;
    QVBoxLayout *m_rulesLayout = nullptr;
    QLabel *m_noRules = nullptr;
    /// The rules shown, to rebuild the rows only when they changed.
    QMap<QString, WritingMode> m_shownRules;
    bool m_rulesShown = false;
};

} // namespace talvex
