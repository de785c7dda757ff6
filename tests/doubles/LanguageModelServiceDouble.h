#pragma once

#include "platform/Clock.h"
#include "platform/LanguageModelService.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>

namespace talvex {

/// Scriptable language model: set the availability and the supported locales, queue the answers,
/// then read back every call in order and the instructions and prompt of each request.
class LanguageModelServiceDouble final : public LanguageModelService {
public:
    struct Request {
        QString instructions;
        QString prompt;
    };

    ModelAvailability availabilityValue = ModelAvailability::available;
    /// Locales that supportsLocale() accepts; every locale when `supportsEveryLocale` is set.
    QSet<QString> supportedLocales;
    bool supportsEveryLocale = true;

    /// Answers given to respond(), oldest first; an empty queue answers with a failure.
    std::deque<ModelResponse> responses;

    /// When set, each answer takes `answerSeconds` on this clock, as a model that thinks.
    Clock *clock = nullptr;
    double answerSeconds = 0;

    /// Every call as it happened: "availability", "supportsLocale <id>", "respond".
    mutable QStringList calls;
    QList<Request> requests;

    void answer(const QString &content) { responses.push_back(ModelResponse{content, QString()}); }
    void fail(const QString &error) { responses.push_back(ModelResponse{std::nullopt, error}); }

    ModelAvailability availability() const override
    {
        calls << QStringLiteral("availability");
        return availabilityValue;
    }

    bool supportsLocale(const QString &localeIdentifier) const override
    {
        calls << QStringLiteral("supportsLocale ") + localeIdentifier;
        return supportsEveryLocale || supportedLocales.contains(localeIdentifier);
    }

    QCoro::Task<ModelResponse> respond(QString instructions, QString prompt) override
    {
        calls << QStringLiteral("respond");
        requests.append(Request{instructions, prompt});
        if (clock && answerSeconds > 0)
            co_await clock->sleep(answerSeconds);
        if (responses.empty())
            co_return ModelResponse{std::nullopt, QStringLiteral("no scripted answer")};
        ModelResponse next = responses.front();
        responses.pop_front();
        co_return next;
    }
};

} // namespace talvex
