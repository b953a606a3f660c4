// The prompt through which the system shows errors and questions to the operator: a message
// box with OK, with Retry and Cancel, or with Yes and No. One prompt is installed for the
// whole process (every module loaded into the host sees the same one); widget builds install
// a message-box prompt, and until one is installed the default writes the text to stderr and
// gives the answer that changes nothing (OK, Cancel, No).
//
// Threading: show is called on the user-interface thread; installing is safe from any thread.
#pragma once

#include <string_view>

namespace hosting {

enum class PromptButtons { Ok, RetryCancel, YesNo };
enum class PromptAnswer { Ok, Retry, Cancel, Yes, No };

class Prompt {
public:
    virtual ~Prompt() = default;
    virtual PromptAnswer show(std::string_view text, PromptButtons buttons) = 0;
};

// The answer that leaves everything as it is: OK, Cancel or No.
PromptAnswer safeAnswer(PromptButtons buttons) noexcept;

// The installed prompt, or the stderr default.
Prompt& currentPrompt();
// Installs a prompt (nullptr: the default) and returns the one installed before.
Prompt* installPrompt(Prompt* prompt);

// Installs a prompt for the life of the scope.
class ScopedPrompt final {
public:
    explicit ScopedPrompt(Prompt& prompt) : m_previous(installPrompt(&prompt)) {}
    ScopedPrompt(const ScopedPrompt&) = delete;
    ScopedPrompt& operator=(const ScopedPrompt&) = delete;
    ~ScopedPrompt() { installPrompt(m_previous); }

private:
    Prompt* m_previous;
};

} // namespace hosting
