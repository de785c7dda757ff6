#pragma once

#include <QWidget>
#include <optional>

class QLabel;

namespace talvex {

/// The first step: what Talvex does and what the next steps check, and where no tray shows the
/// icon, how to reach Talvex without one.
class WelcomePage final : public QWidget {
    Q_OBJECT

  public:
    explicit WelcomePage(QWidget *parent = nullptr);

    /// The sentence on reaching Talvex without a tray; absent hides it.
    void setTrayHint(const std::optional<QString> &hint);

  private:
    QWidget *m_trayBox = nullptr;
    QLabel *m_trayHint = nullptr;
};

} // namespace talvex
