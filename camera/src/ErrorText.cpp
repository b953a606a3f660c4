// The code-to-text table of the camera SDK's errors.
//
// Threading: constant data, safe from any thread.
#include "camera/ErrorText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace camera {
namespace {

constexpr std::array<std::pair<uint32_t, std::string_view>, 63> errorTexts{{
    {0x01, "Camera SDK - Not implemented"},
    {0x02, "Camera SDK - Internal Error"},
    {0x03, "Camera SDK - Memory allocation failed"},
    {0x04, "Camera SDK - Memory release failed"},
    {0x05, "Camera SDK - Operation cancelled"},
    {0x06, "Camera SDK - Incompatible version"},
    {0x07, "Camera SDK - Not supported"},
    {0x08, "Camera SDK - Unexpected exception"},
    {0x09, "Camera SDK - Protection violation"},
    {0x0A, "Camera SDK - Missing sub component"},
    {0x0B, "Camera SDK - Selection unavailable"},
    {0x20, "Camera File - IO error"},
    {0x21, "Camera File - Too many open files"},
    {0x22, "Camera File - File not found"},
    {0x23, "Camera File - Open error"},
    {0x24, "Camera File - Close error"},
    {0x25, "Camera File - Seek error"},
    {0x26, "Camera File - Tell error"},
    {0x27, "Camera File - Read error"},
    {0x28, "Camera File - Write error"},
    {0x29, "Camera File - Permission error"},
    {0x2A, "Camera File - Disk full"},
    {0x2B, "Camera File - File already exists"},
    {0x2C, "Camera File - Format unrecognized"},
    {0x2D, "Camera File - Data corrupt"},
    {0x2E, "Camera File - Naming error"},
    {0x50, "Camera Property - Unavailable"},
    {0x51, "Camera Property - Mismatch"},
    {0x53, "Camera Property - Not loaded"},
    {0x60, "Camera Function Param - Invalid parameter"},
    {0x61, "Camera Function Param - Invalid handle"},
    {0x62, "Camera Function Param - Invalid pointer"},
    {0x63, "Camera Function Param - Invalid index"},
    {0x64, "Camera Function Param - Invalid length"},
    {0x65, "Camera Function Param - Invalid function pointer"},
    {0x66, "Camera Function Param - Invalid sort function"},
    {0x80, "Camera Device - Not Found"},
    {0x81, "Camera Device - Busy"},
    {0x82, "Camera Device - Invalid"},
    {0x83, "Camera Device - Emergency"},
    {0x84, "Camera Device - Memory Full"},
    {0x85, "Camera Device - Internal Error"},
    {0x86, "Camera Device - Invalid Parameter"},
    {0x87, "Camera Device - No Disk"},
    {0x88, "Camera Device - Disk Error"},
    {0x89, "Camera Device - CF Memory Error"},
    {0x8A, "Camera Device - Dial Changed"},
    {0x8B, "Camera Device - Not Installed"},
    {0x8C, "Camera Device - Stay Awake"},
    {0x8D, "Camera Device - Not Released"},
    {0xC0, "Camera Communication - COM port in use"},
    {0xC1, "Camera Communication - Disconnected"},
    {0xC2, "Camera Communication - Device incompatible"},
    {0xC3, "Camera Communication - Buffer full"},
    {0xC4, "Camera Communication - USB error"},
    {0x8D01, "Take Picture - Auto focus failed"},
    {0x8D02, "ERR_TAKE_PICTURE_RESERVED"},
    {0x8D03, "Take Picture - Mirror up failed"},
    {0x8D04, "Take Picture - Sensor cleaning failed"},
    {0x8D05, "Take Picture - Silence failed"},
    {0x8D06, "Take Picture - No card present"},
    {0x8D07, "Take Picture - Card failed"},
    {0x8D08, "Take Picture - Card write protected"},
}};

} // namespace

std::string_view cameraErrorText(uint32_t code)
{
    const uint32_t low = code & 0xFFFFu;
    const auto entry = std::find_if(errorTexts.begin(), errorTexts.end(),
                                    [low](const auto& item) { return item.first == low; });
    return entry != errorTexts.end() ? entry->second : std::string_view{};
}

} // namespace camera
