#pragma once

#include "OnboardingTexts.h"

#include <QWidget>

class QLabel;

namespace talvex {

/// One row of the onboarding's checks: a symbol (a filled check when ready, an empty circle when
/// not), the title, the detail line under it, and an optional control at the end that shows only
/// while the row is not ready. A screen reader reads the row as its title with the detail as its
/// description.
class StatusRowView final : public QWidget {
    Q_OBJECT

  public:
    /// `trailing` (may be null) is taken over by the row.
    explicit StatusRowView(QWidget *trailing = nullptr, QWidget *parent = nullptr);

    void display(const OnboardingTexts::StatusRow &row);

    const OnboardingTexts::StatusRow &row() const { return m_row; }
    QLabel *detailLabel() const { return m_detail; }

  private:
    OnboardingTexts::StatusRow m_row;
    QLabel *m_symbol = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_detail = nullptr;
    QWidget *m_trailing = nullptr;
};

} // namespace talvex
