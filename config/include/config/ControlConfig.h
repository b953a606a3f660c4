// The control's configuration reader: the Body ID of the camera to use, and the folder and
// level of the diagnostic log, from the host's configuration.
//
// Threading: runs on the control's thread.
#pragma once

#include "automation/Variant.h"

#include <string>
#include <string_view>

namespace control {

struct ControlSettings {
    std::string ED_BodyID;  // empty: any supported camera
};

// Resets ED_BodyID, then reads "ImportTempPath" (log folder; an empty one counts as absent) and "DebugLogLevel" (log level)
// of group "0" and "ED_BodyID" of the station group. 0 on success; after an automation error
// it logs and shows the error's text and returns -1 (values read before the error stay).
int ProcessConfig(ControlSettings& settings, automation::Variant& config, std::string_view parentGroupId);

} // namespace control
