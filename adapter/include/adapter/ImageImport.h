// The acquisition form's file work without widgets: the import folder check with its
// Retry/Cancel box, and filing an added image as the next numbered file of the import folder
// with its ImageObject in the host's object set.
//
// Threading: runs on the host's thread.
#pragma once

#include "adapter/AdapterConfig.h"
#include "automation/Dispatch.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace adapter {

// Errors of the file work, as the host reports them.
inline constexpr automation::HResult CTL_E_FILENOTFOUND = automation::hresultFromBits(0x800A0035u);
inline constexpr automation::HResult CTL_E_PERMISSIONDENIED = automation::hresultFromBits(0x800A0046u);
inline constexpr automation::HResult CTL_E_PATHNOTFOUND = automation::hresultFromBits(0x800A004Cu);
inline constexpr automation::HResult CTL_E_OBJECTNOTSET = automation::hresultFromBits(0x800A005Bu);

// True when the folder exists; otherwise asks "The destination directory does not exist
// [folder]" with Retry and Cancel, and tests again after each Retry. False after Cancel.
bool confirmImportFolder(const std::string& folder);

// A new, empty ObjectSet of the host.
automation::DispatchPtr newObjectSet();
// The number of objects in the set.
int32_t objectCount(automation::Dispatch& objectSet);

// Copies sourcePath to the import folder as "<count + 1>.<extension>" (an existing file of
// that name is replaced), then adds an ImageObject for it to the set with its nine
// properties in the host's order. Raises AutomationError; the set is unchanged then.
void fileImage(automation::Dispatch& objectSet, const AdapterSettings& settings, std::string_view extension,
               const std::string& sourcePath);

} // namespace adapter
