#pragma once

#include "OnboardingTexts.h"

#include <QWidget>
#include <vector>

class QLabel;

namespace talvex {

/// The onboarding's sidebar: the application's name with its symbol and the caption "Setup &
/// diagnostics", then one row per step with the current step's label semibold on a highlight.
class OnboardingSidebar final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int width = 196;

    explicit OnboardingSidebar(QWidget *parent = nullptr);

    void setCurrent(OnboardingStep step);
    OnboardingStep current() const { return m_current; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    struct Row {
        QWidget *widget;
        QLabel *label;
    };
    OnboardingStep m_current = OnboardingStep::welcome;
    std::vector<Row> m_rows;
};

} // namespace talvex
