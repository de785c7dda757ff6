#pragma once

#include <QString>

class QBoxLayout;
class QFormLayout;
class QGroupBox;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace talvex::SettingsLayout {

/// A titled section of a settings page, its rows laid out as a form.
QGroupBox *section(const QString &title, QWidget *parent);
/// The form layout of a section made by section().
QFormLayout *form(QGroupBox *section);

/// Explanatory text in the section's normal style, wrapped.
QLabel *bodyText(const QString &text, QWidget *parent = nullptr);
/// Secondary (dimmed) text, wrapped.
QLabel *secondaryText(const QString &text, QWidget *parent = nullptr);

/// A page around `content` that scrolls vertically when its sections are taller than the window.
QScrollArea *scrollingPage(QWidget *content);
/// Fills `tab` with a scrolling page and returns the column its sections go into.
QVBoxLayout *scrollingColumn(QWidget *tab);

/// The icon-only "Remove" button of a list row; `what` names the row for screen readers.
QToolButton *removeButton(const QString &what, QWidget *parent);

/// Shows a top-level window in front with keyboard focus, centred on the primary screen when
/// `centre` is set (its first showing).
void showInFront(QWidget *window, bool centre);

/// A row of widgets, left to right, with no margins; stretch() adds flexible space.
QBoxLayout *row();

} // namespace talvex::SettingsLayout
