#pragma once

#include "UserPrompts.h"

#include <deque>

namespace talvex::test {

/// Answers panels and alerts from queues the test fills; records every request. An empty queue
/// answers as a cancelled panel or a dismissed alert.
class UserPromptsDouble final : public UserPrompts {
public:
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<int> alertAnswers;

    std::vector<FilePanelRequest> saveRequests;
    std::vector<FilePanelRequest> openRequests;
    std::vector<AlertRequest> alertRequests;

    std::optional<QString> chooseSaveLocation(const FilePanelRequest &request) override
    {
        saveRequests.push_back(request);
        return take(saveAnswers);
    }

    std::optional<QString> chooseOpenLocation(const FilePanelRequest &request) override
    {
        openRequests.push_back(request);
        return take(openAnswers);
    }

    int alert(const AlertRequest &request) override
    {
        alertRequests.push_back(request);
        if (alertAnswers.empty())
            return -1;
        const int answer = alertAnswers.front();
        alertAnswers.pop_front();
        return answer;
    }

private:
    static std::optional<QString> take(std::deque<std::optional<QString>> &answers)
    {
        if (answers.empty())
            return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace talvex::test
