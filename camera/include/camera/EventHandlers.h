// The camera SDK's three event handlers: each turns a camera event into an action for the
// listener registered as context (the camera controller, passed as ActionListener*).
//
// Threading: called on the SDK's event thread; they only fire actions (and release unwanted
// object handles).
#pragma once

#include "camera/ActionEvents.h"

#include <camsdk/CamSdk.h>

#include <string>

namespace camera {

// Calls the listener's actionPerformed at once, on the calling thread; a null listener is ignored.
void sendAction(ActionListener* listener, const std::string& command, void* argument);

// Each returns 0 in every case.
CamError handlePropertyEvent(CamPropertyEvent event, CamPropertyID property, uint32_t parameter, void* context);
CamError handleObjectEvent(CamObjectEvent event, CamBaseRef object, void* context);
CamError handleStateEvent(CamStateEvent event, uint32_t parameter, void* context);

} // namespace camera
