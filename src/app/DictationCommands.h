#pragma once

namespace talvex {

class DictationController;

/// Dictation commands that arrive from outside the shortcut (a desktop's own key binding running
/// `talvex toggle`, a script). They call the controller's operations directly: no gesture state
/// is touched and no shortcut press is counted.
namespace DictationCommands {

/// A dictation into the focused field, when idle.
void start(DictationController &controller);
/// Finishes a recording; abandons a dictation that is still preparing; otherwise nothing.
void stop(DictationController &controller);
/// start() when idle, else stop().
void toggle(DictationController &controller);
/// Abandons a dictation that is preparing or recording.
void cancel(DictationController &controller);

} // namespace DictationCommands

} // namespace talvex
