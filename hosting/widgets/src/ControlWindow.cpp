// The control window interface. Its destructor is its key function: defined here, in the
// shared library, so that every module casts to the one type.
#include "hosting/ControlWindow.h"

namespace hosting {

ControlWindow::~ControlWindow() = default;

ControlWindow& controlWindowOf(automation::Dispatch& control)
{
    automation::requireInterface(control, kControlWindowInterface);
    auto* window = dynamic_cast<ControlWindow*>(&control);
    if (!window)
        throw automation::AutomationError(automation::E_NOINTERFACE, "The control has no window.");
    return *window;
}

} // namespace hosting
