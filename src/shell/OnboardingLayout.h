#pragma once

#include "OnboardingTexts.h"

#include <QString>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace talvex::OnboardingLayout {

/// Fills `page` with a scrolling column that starts with the step's title and returns the column
/// for the page's content.
QVBoxLayout *page(QWidget *page, OnboardingStep step);

/// The title of a page, large and bold.
QLabel *title(const QString &text, QWidget *parent);

/// A push button that Return does not trigger from elsewhere in the window; `text` may carry a
/// mnemonic ("&Continue").
QPushButton *button(const QString &text, QWidget *parent);

} // namespace talvex::OnboardingLayout
