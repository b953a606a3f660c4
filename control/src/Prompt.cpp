// The installed prompt and the stderr default.
#include "control/Prompt.h"

#include <atomic>
#include <iostream>

namespace control {
namespace {

class StandardErrorPrompt final : public Prompt {
public:
    PromptAnswer show(std::string_view text, PromptButtons buttons) override
    {
        std::cerr << text << '\n';
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
};

StandardErrorPrompt& defaultPrompt()
{
    static StandardErrorPrompt prompt;
    return prompt;
}

std::atomic<Prompt*> g_installed{nullptr};

} // namespace

Prompt& currentPrompt()
{
    Prompt* installed = g_installed.load(std::memory_order_acquire);
    return installed ? *installed : defaultPrompt();
}

Prompt* installPrompt(Prompt* prompt)
{
    return g_installed.exchange(prompt, std::memory_order_acq_rel);
}

} // namespace control
