#pragma once

// Runs the transcribe command in-process over a speech service and collects what it printed.
#include "TranscribeCommand.h"

#include <QEventLoop>
#include <QStringList>
#include <QTextStream>
#include <gtest/gtest.h>
#include <variant>

namespace talvex::test {

struct TranscribeOutcome {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

inline TranscribeOutcome runTranscribe(const QStringList &arguments, SpeechService &speech)
{
    auto parsed = TranscribeCommand::parse(arguments);
    EXPECT_TRUE(std::holds_alternative<TranscribeCommand::Options>(parsed));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    TranscribeOutcome outcome;
    QEventLoop loop;
    auto runner = [&]() -> QCoro::Task<> {
        outcome.exitCode = co_await TranscribeCommand::run(std::get<TranscribeCommand::Options>(parsed),
                                                           speech, nullptr, out, err);
        loop.quit();
    };
    auto running = runner();
    if (outcome.exitCode < 0)
        loop.exec();
    outcome.out = outText.split('\n', Qt::SkipEmptyParts);
    outcome.err = errText.split('\n', Qt::SkipEmptyParts);
    return outcome;
}

} // namespace talvex::test
