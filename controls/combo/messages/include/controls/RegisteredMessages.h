// Message identifiers shared by the dialog and its controls: each message name is registered
// once per process as a Qt event type, so a name maps to the same type for whoever posts or
// handles it.
//
// Threading: every function here may be called from any thread.
#pragma once

#include <QEvent>

namespace controls {

// The event type of the message `name`; the first call for a name registers it, every later
// call, from any thread or module, returns the same type.
QEvent::Type registeredMessage(const char* name);

// The private message WM_APP + offset. The type is shared by every window; each window class
// gives it its own meaning, and only posts it to itself.
QEvent::Type appMessage(int offset);

// The registered messages of the capture dialog and its controls.
namespace message {
inline constexpr char downloadStart[] = "UWM_DOWNLOAD_START-";
inline constexpr char downloadComplete[] = "UWM_DOWNLOAD_COMPLETE-";
inline constexpr char progressReport[] = "UWM_PROGRESS_REPORT-";
inline constexpr char cameraConnected[] = "UWM_CAMERA_CONNECTED-";
inline constexpr char cameraDisconnected[] = "UWM_CAMERA_DISCONNECTED-";
inline constexpr char captureError[] = "UWM_CAPTURE_ERROR-";
inline constexpr char propertyChanged[] = "UWM_PROPERTY_CHANGED-";
inline constexpr char propertyDescChanged[] = "UWM_PROPERTY_DESC_CHANGED-";
inline constexpr char evfDataChanged[] = "UWM_EVF_DATA_CHANGED-";
inline constexpr char fireAddImage[] = "UWM_FireAddImage-";

// A control's notification to its parent (press and release of the round buttons).
inline constexpr char notify[] = "WM_NOTIFY";
} // namespace message

} // namespace controls
