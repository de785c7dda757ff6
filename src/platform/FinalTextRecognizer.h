#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace talvex {

/// Names the recogniser whose text becomes the final transcript of a dictation, for the settings
/// window. Main thread only.
class FinalTextRecognizer {
  public:
    virtual ~FinalTextRecognizer() = default;

    /// The recogniser's name as the settings window shows it. Answers from a cache and never
    /// blocks; a stale answer starts a background check.
    virtual QString finalTextRecognizer() const = 0;

    /// Runs `changed` on the main thread, for as long as `context` exists, whenever that name changes.
    virtual void watchFinalTextRecognizer(QObject *context, std::function<void()> changed) = 0;
};

} // namespace talvex
