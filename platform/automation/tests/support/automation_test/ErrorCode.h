// The automation error code a call raises, for tests of the layer's failure paths.
#pragma once

#include "automation/Error.h"

namespace automation_test {

// The code of the AutomationError the call raises, or S_OK when it raises none.
automation::HResult codeOf(const auto& call)
{
    try {
        call();
    } catch (const automation::AutomationError& error) {
        return error.code();
    }
    return automation::S_OK;
}

} // namespace automation_test
