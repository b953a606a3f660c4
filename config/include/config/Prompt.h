// The prompt the control shows its errors and questions through: the process-wide prompt of
// the hosting library, shared with the host and every other module of the process.
//
// Threading: as hosting::Prompt.
#pragma once

#include "hosting/Prompt.h"

namespace control {

using hosting::currentPrompt;
using hosting::installPrompt;
using hosting::Prompt;
using hosting::PromptAnswer;
using hosting::PromptButtons;
using hosting::ScopedPrompt;

} // namespace control
