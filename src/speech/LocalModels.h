#pragma once

#include "platform/CancellationToken.h"
#include "platform/SpeechService.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>
#include <memory>

/// The speech side of the local models: preparing the recogniser's model for the dictation language
/// and turning the recogniser's results into the running text.
namespace talvex::LocalModels {

/// Receives the running text (not trimmed); the next result is read only after it returns.
using TextUpdate = std::function<QCoro::Task<>(QString text)>;

/// Turns a locale identifier into the supported locale and makes its model ready (loading it once;
/// later calls for the same locale find it installed). Throws TalvexException (speechUnavailable,
/// unsupportedLocale) or the service's PlatformError unchanged.
QCoro::Task<QString> prepareSpeech(SpeechService &service, QString localeIdentifier);

/// Joins final results into the transcript and shows the latest volatile result after it through
/// `update` (optional). Returns the transcript trimmed of surrounding whitespace when the results
/// end; throws the results' error, discarding the text. Stops early, returning what it has, when
/// `cancel` is cancelled.
QCoro::Task<QString> collect(std::shared_ptr<Transcriber> module, TextUpdate update,
                             CancellationToken cancel = {});

/// Two pieces of text with a space between them unless either side already has whitespace at the
/// seam, either is empty, or `b` starts with closing punctuation.
QString join(const QString &a, const QString &b);

/// `text` without leading and trailing Unicode whitespace (line breaks included).
QString trimmed(const QString &text);

} // namespace talvex::LocalModels
