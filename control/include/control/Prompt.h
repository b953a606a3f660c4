// The prompt through which the system shows errors and questions to the operator (a message
// box with OK, or with Retry and Cancel). The widget build installs its own; until then the
// default writes the text to stderr and answers OK or Cancel.
//
// Threading: show is called on the user-interface thread; installing is safe from any thread.
#pragma once

#include <string_view>

namespace control {

enum class PromptButtons { Ok, RetryCancel };
enum class PromptAnswer { Ok, Retry, Cancel };

class Prompt {
public:
    virtual ~Prompt() = default;
    virtual PromptAnswer show(std::string_view text, PromptButtons buttons) = 0;
};

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

} // namespace control
