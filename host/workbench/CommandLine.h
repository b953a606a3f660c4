// The workbench's command line.
//
// Threading: main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace workbench {

struct Options {
    std::string configFile;
    std::string station;
    std::optional<std::string> view;
    std::string source = "VeskObjSrcCapture.clsObjSrcCapture";
    bool single = false;
    bool unregister = false;
    bool help = false;
    // --timeout: how long a capture dialog may wait for an operator, in seconds (0: no limit);
    // unset, the program decides by whether there is a display.
    std::optional<int> timeoutSeconds;
    // --shoot-after: press Take Picture once the capture dialog is connected, as soon as live
    // view shows or this many seconds after connecting without it; unset, nobody presses.
    std::optional<int> shootAfterSeconds;
};

// The unattended limit when --timeout is not given: two minutes without a display, none with one.
inline constexpr int kDefaultUnattendedTimeout = 120;

// The options, or nothing (with the reason in error) for a command line that makes no sense.
std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::string& error);

extern const char* const kUsage;

} // namespace workbench
