// The texts of the camera SDK's error codes, looked up by the code's low 16 bits.
//
// Threading: safe from any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace camera {

// The text of the code, or an empty view when the code has none.
std::string_view cameraErrorText(uint32_t code);

} // namespace camera
