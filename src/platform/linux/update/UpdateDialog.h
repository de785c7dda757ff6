#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace talvex::update {

/// What the updater's dialog shows: one sentence, and at most one thing to do about it.
struct UpdatePrompt {
    enum class Action {
        none,
        install,  ///< "Install and Relaunch"
        openPage, ///< "Open Release Page"
    };
    QString message;
    Action action = Action::none;
    bool busy = false; ///< checking or installing: an activity indicator instead of the action

    bool operator==(const UpdatePrompt &) const = default;
};

/// The updater's own window. It only shows a prompt and reports the user's choice; the updater
/// decides everything. Keyboard: Return runs the action, Escape closes.
class UpdateDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit UpdateDialog(QWidget *parent = nullptr);

    void showPrompt(const UpdatePrompt &prompt);
    QString messageText() const;
    static QString actionText(UpdatePrompt::Action action);

  signals:
    void actionChosen(talvex::update::UpdatePrompt::Action action);

  private:
    QLabel *m_message = nullptr;
    QProgressBar *m_activity = nullptr;
    QPushButton *m_action = nullptr;
    QPushButton *m_close = nullptr;
    UpdatePrompt::Action m_shown = UpdatePrompt::Action::none;
};

} // namespace talvex::update
