// The VeskCapture module's type information, fixed once: the type library, the control's
// dispatch and event interfaces with their members, the classes and their ProgIDs.
//
// Threading: constants.
#pragma once

#include <automation/Dispatch.h>

namespace control {

inline constexpr const char* kTypeLibraryId = "{6D3F2A91-0B7C-4E58-9C14-2A7E5B9D0C31}";
inline constexpr const char* kTypeLibraryName = "VeskCaptureLib";

// _DVeskCapture, "Dispatch interface for VeskCapture Control".
inline constexpr const char* kControlInterface = "_DVeskCapture";
inline constexpr automation::DispId kDoAcquireDispId = 1;  // (config, group, multi-mode) -> bool
inline constexpr automation::DispId kImageViewDispId = 2;  // text, get and put

// _DVeskCaptureEvents, "Event interface for VeskCapture Control".
inline constexpr const char* kEventInterface = "_DVeskCaptureEvents";
inline constexpr automation::DispId kAddImageDispId = 1;   // (file path, image count by reference)

// VeskCapture, "VeskCapture Control".
inline constexpr const char* kControlClassId = "{A1C5E7F3-4B2D-4C6E-8F90-1D3B5A7C9E02}";
inline constexpr const char* kControlProgId = "VeskCapture.VeskCaptureCtrl.1";

// Its property page, "VeskCapture Property Page", captioned "General", with no setting.
inline constexpr const char* kPropertyPageClassId = "{B2D6F804-5C3E-4D7F-9A01-2E4C6B8D0F13}";
inline constexpr const char* kPropertyPageProgId = "VeskCapture.VeskCapturePropPage.1";
inline constexpr const char* kPropertyPageCaption = "General";

} // namespace control
