#pragma once

class QWidget;

// How the recorder presents itself to screen readers: the transcript area is one static text, and
// the decorative parts (waveform, spinner) are left out of the tree altogether.
namespace talvex::RecorderAccessibility {

/// Installs the recorder's accessibility factory once per process; later calls do nothing.
void install();

/// Marks `widget` as decoration: its parent's accessible children skip it. The parent must be one
/// the factory serves (see `presentAsContainer`).
void hide(QWidget *widget);

/// Lets the factory serve `widget`'s accessible interface, so that hidden children are skipped.
void presentAsContainer(QWidget *widget);

} // namespace talvex::RecorderAccessibility
