#pragma once

#include "platform/LanguageModelService.h"
#include "refine/WritingMode.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace talvex {

/// Operations on the local models; this part holds the rewrite of a finished transcript.
namespace LocalModels {

/// What the rewrite gives back: the text to deliver, and a note for the user when the input text
/// came back for a reason worth telling.
struct Refinement {
    QString text;
    std::optional<QString> note;

    friend bool operator==(const Refinement &, const Refinement &) = default;
};

/// The three notes; the caller shows them as they are.
QString unavailableNote();
QString failedNote();
QString emptyAnswerNote();

/// The four-line instructions of every rewrite session.
QString refineInstructions();

/// The prompt for `text` in `mode` (a mode with an instruction).
QString refinePrompt(const QString &text, WritingMode mode);

/// Rewrites `text` in `mode`. Never fails: verbatim, an unusable model, a failed request or an empty
/// answer all return the input text (with a note for the last three). `model` must outlive the task.
QCoro::Task<Refinement> refine(QString text, WritingMode mode, QString locale, LanguageModelService &model);

} // namespace LocalModels

} // namespace talvex
