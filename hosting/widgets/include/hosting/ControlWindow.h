// The window of an automation control: a container that created a control by its ProgID
// reaches the control's widget through this interface to embed it. The control's dispatch
// object implements it and answers supportsInterface(kControlWindowInterface).
//
// The control owns its window. A container parents it while embedding it and gives it back
// (setParent(nullptr)) before it releases the control.
//
// Threading: user-interface thread only.
#pragma once

#include "automation/Dispatch.h"

class QWidget;

namespace hosting {

inline constexpr const char* kControlWindowInterface = "ControlWindow";

class ControlWindow {
public:
    virtual ~ControlWindow();
    // The control's window; created on first call, never null.
    virtual QWidget* controlWindow() = 0;

protected:
    ControlWindow() = default;
    ControlWindow(const ControlWindow&) = default;
    ControlWindow& operator=(const ControlWindow&) = default;
};

// The control's window interface; E_NOINTERFACE when the object has no window.
ControlWindow& controlWindowOf(automation::Dispatch& control);

} // namespace hosting
