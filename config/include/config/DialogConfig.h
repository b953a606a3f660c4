// The capture dialog's configuration reader: the settings file "VeskCapture.ini" (found in
// the current folder, beside the host executable, or in the fixed folder) and the host keys.
//
// Threading: runs on the user-interface thread.
#pragma once

#include "automation/Variant.h"
#include "config/CaptureSettings.h"

#include <string>
#include <string_view>

namespace control {

// Where the process runs from; tests give their own.
struct ProcessEnvironment {
    std::string executablePath;  // full path of the host executable
    std::string currentFolder;

    // /proc/self/exe and the current working folder.
    static ProcessEnvironment current();
};

// The settings file to read: the current folder's, else the one beside the executable, else
// the one in the fixed folder (not checked).
std::string locateSettingsFile(const ProcessEnvironment& environment);

// Resets the settings to their defaults, reads the settings file and the host keys, and sets
// the photo-count path. 0 on success; after an automation error it logs and shows the
// error's text and returns -1 (values read before the error stay). It also returns -1, after
// logging and showing why, when the import folder cannot take the temporary picture (missing,
// not a folder, not writable, the picture's path too long or taken by a folder); all settings
// are read by then.
int ProcessConfig(CaptureSettings& settings, automation::Variant& config, std::string_view parentGroupId,
                  const ProcessEnvironment& environment = ProcessEnvironment::current());

} // namespace control
