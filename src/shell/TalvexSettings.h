#pragma once

#include "SettingsServices.h"

#include <QWidget>

class QFrame;
class QLabel;
class QTabWidget;

namespace talvex {

class DictationController;
class DictionarySettingsTab;
class GeneralSettingsTab;
class ModesSettingsTab;

/// The settings window's content: 590 x 450 with the tabs General, Modes, Dictionary and About,
/// an editor over the controller's live preferences (every edit is stored at once), and under the
/// tabs the controller's status sentence when there is one.
class TalvexSettings final : public QWidget {
    Q_OBJECT

  public:
    static constexpr QSize contentSize{590, 450};

    /// `displayLocale` names languages (an ICU or Qt locale name); empty: the user's locale.
    TalvexSettings(DictationController &controller, const SettingsServices &services,
                   QString displayLocale = {}, QWidget *parent = nullptr);

    QTabWidget &tabs() const { return *m_tabs; }
    GeneralSettingsTab &general() const { return *m_general; }

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    void refreshMessage();

    DictationController &m_controller;
    SettingsServices m_services;
    QTabWidget *m_tabs = nullptr;
    GeneralSettingsTab *m_general = nullptr;
    QFrame *m_messageRule = nullptr;
    QLabel *m_message = nullptr;
};

} // namespace talvex
