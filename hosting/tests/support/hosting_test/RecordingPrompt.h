// A prompt that records what it was asked to show and answers as told (else the safe answer),
// installed as the process-wide prompt for the life of the object.
#pragma once

#include "hosting/Prompt.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace hosting_test {

class RecordingPrompt final : public hosting::Prompt {
public:
    RecordingPrompt() : m_scope(*this) {}

    hosting::PromptAnswer show(std::string_view text, hosting::PromptButtons buttons) override
    {
        texts.emplace_back(text);
        shownButtons.push_back(buttons);
        if (onShow)
            onShow();
        if (answers.empty())
            return hosting::safeAnswer(buttons);
        const hosting::PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> texts;
    std::vector<hosting::PromptButtons> shownButtons;
    std::deque<hosting::PromptAnswer> answers;
    // Runs while the box is up, before the answer is given (e.g. to fix what the box is about).
    std::function<void()> onShow;

private:
    hosting::ScopedPrompt m_scope;
};

} // namespace hosting_test
