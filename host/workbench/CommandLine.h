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
};

// The options, or nothing (with the reason in error) for a command line that makes no sense.
std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::string& error);

extern const char* const kUsage;

} // namespace workbench
