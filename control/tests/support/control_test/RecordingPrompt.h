// A prompt that records what it was asked to show and answers as told, installed for the
// life of the object.
#pragma once

#include "control/Prompt.h"

#include <deque>
#include <string>
#include <vector>

namespace control_test {

class RecordingPrompt final : public control::Prompt {
public:
    RecordingPrompt() : m_scope(*this) {}

    control::PromptAnswer show(std::string_view text, control::PromptButtons buttons) override
    {
        texts.emplace_back(text);
        shownButtons.push_back(buttons);
        if (answers.empty())
            return buttons == control::PromptButtons::Ok ? control::PromptAnswer::Ok : control::PromptAnswer::Cancel;
        const control::PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> texts;
    std::vector<control::PromptButtons> shownButtons;
    std::deque<control::PromptAnswer> answers;

private:
    control::ScopedPrompt m_scope;
};

} // namespace control_test
