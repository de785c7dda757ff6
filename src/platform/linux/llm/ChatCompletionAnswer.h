#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace talvex::ChatCompletionAnswer {

/// The assistant's text in the body of a chat-completions answer: the first choice's message
/// content, a string or (some servers) a list of text parts joined. Absent, with `failure` saying
/// why, for anything else. Takes any bytes a server may send.
std::optional<QString> messageContent(const QByteArray &body, QString *failure = nullptr);

} // namespace talvex::ChatCompletionAnswer
