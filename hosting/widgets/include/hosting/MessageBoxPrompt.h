// The prompt of widget builds: a modal QMessageBox with the caller's caption, over the active
// window, with the buttons asked for; install it with hosting::installPrompt or ScopedPrompt.
//
// Threading: user-interface thread only.
#pragma once

#include "hosting/Prompt.h"

#include <QString>

class QMessageBox;

namespace hosting {

class MessageBoxPrompt final : public Prompt {
public:
    explicit MessageBoxPrompt(QString caption);

    PromptAnswer show(std::string_view text, PromptButtons buttons) override;

    // Builds the box show() runs (text with its line breaks, buttons, default and escape
    // buttons), without running it.
    static void prepare(QMessageBox& box, const QString& caption, std::string_view text, PromptButtons buttons);
    // The answer of the button the box ended with; the safe answer for any other ending.
    static PromptAnswer answerOf(int result, PromptButtons buttons);

private:
    QString m_caption;
};

} // namespace hosting
