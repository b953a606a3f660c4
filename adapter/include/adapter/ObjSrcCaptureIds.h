// Identifiers of the camera object source (the VeskObjSrcCapture module and its class
// clsObjSrcCapture) and of the capture control it hosts, fixed once: hosts create the class
// by these names, and the form finds the control by its ProgID and members by name.
//
// Threading: constants only.
#pragma once

#include "automation/Dispatch.h"

namespace adapter {

// The module's type library, version 1.1, locale 1033.
inline constexpr const char* kObjSrcCaptureTypeLibraryId = "{289C3E78-71B0-4FC1-969C-2629B5EECF24}";
inline constexpr int kObjSrcCaptureTypeLibraryMajor = 1;
inline constexpr int kObjSrcCaptureTypeLibraryMinor = 1;

inline constexpr const char* kObjSrcCaptureClassId = "{6D8F9476-26C0-4223-935F-04406AD7EB60}";
inline constexpr const char* kObjSrcCaptureProgId = "VeskObjSrcCapture.clsObjSrcCapture";
inline constexpr const char* kObjSrcCaptureName = "Vesk camera object source";

// The class's default interface: one write-only member, the view name.
inline constexpr const char* kObjSrcCaptureInterface = "_clsObjSrcCapture";
inline constexpr const char* kObjSrcCaptureInterfaceId = "{5903C60A-AD87-4D26-B25E-BF82C1B76FD7}";
inline constexpr automation::DispId kImageViewDispId = 0x68030002;

// The capture control carried by the form.
inline constexpr const char* kCaptureControlProgId = "VeskCapture.VeskCaptureCtrl.1";
inline constexpr const char* kDoAcquireName = "DoAcquire";
inline constexpr const char* kCaptureEventsInterface = "_DVeskCaptureEvents";
// AddImage (path text, image count by reference): the handler writes the count back.
inline constexpr automation::DispId kAddImageEventDispId = 1;

// Return codes of the form's operations.
inline constexpr int32_t kReturnSuccess = 0;
inline constexpr int32_t kReturnCancelled = 2;
inline constexpr int32_t kReturnFailed = 255;

} // namespace adapter
