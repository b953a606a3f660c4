// The process-wide installed prompt and the stderr default.
#include "hosting/Prompt.h"

#include <atomic>
#include <iostream>

namespace hosting {
namespace {

class StandardErrorPrompt final : public Prompt {
public:
    PromptAnswer show(std::string_view text, PromptButtons buttons) override
    {
        std::cerr << text << '\n';
        return safeAnswer(buttons);
    }
};

StandardErrorPrompt& defaultPrompt()
{
    static StandardErrorPrompt prompt;
    return prompt;
}

std::atomic<Prompt*> g_installed{nullptr};

} // namespace

PromptAnswer safeAnswer(PromptButtons buttons) noexcept
{
    switch (buttons) {
    case PromptButtons::RetryCancel:
        return PromptAnswer::Cancel;
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    case PromptButtons::Ok:
        break;
    }
    return PromptAnswer::Ok;
}

Prompt& currentPrompt()
{
    Prompt* installed = g_installed.load(std::memory_order_acquire);
    return installed ? *installed : defaultPrompt();
}

Prompt* installPrompt(Prompt* prompt)
{
    return g_installed.exchange(prompt, std::memory_order_acq_rel);
}

} // namespace hosting
