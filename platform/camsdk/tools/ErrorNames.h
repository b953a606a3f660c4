// Names of the camera SDK's error codes, for messages people read.
// Threading: constant table, any thread.
#pragma once

#include "camsdk/CamSdk.h"

namespace camsdk::tools {

// "CAM_ERR_..." for a known code, "unknown error" otherwise.
const char* errorName(CamError code);

} // namespace camsdk::tools
