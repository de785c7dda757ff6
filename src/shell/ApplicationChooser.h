#pragma once

#include "platform/InstalledApplications.h"

#include <QDialog>
#include <optional>
#include <vector>

class QDialogButtonBox;
class QLineEdit;
class QTreeWidget;

namespace talvex {

/// Lets the user pick one of the installed applications, by name and icon, with a search field;
/// the answer is the application's ID.
class ApplicationChooser final : public QDialog {
    Q_OBJECT

  public:
    ApplicationChooser(std::vector<InstalledApplication> applications, QWidget *parent = nullptr);

    /// The ID of the application selected now, if any.
    std::optional<QString> selectedID() const;

    /// Shows the chooser modally; the chosen application's ID, or nothing when cancelled.
    static std::optional<QString> choose(InstalledApplications &applications, QWidget *parent);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void filter(const QString &query);
    void updateButtons();

    std::vector<InstalledApplication> m_applications;
    QLineEdit *m_search = nullptr;
    QTreeWidget *m_list = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace talvex
