// Parsing the workbench's command line.
#include "CommandLine.h"

#include <charconv>

namespace workbench {

const char* const kUsage =
    "usage: VeskWorkbench --config FILE --station ID [--view NAME] [--single] [--source PROGID]\n"
    "                     [--timeout SECONDS] [--shoot-after SECONDS]\n"
    "       VeskWorkbench --unregister\n"
    "\n"
    "Registers the capture modules found beside the program (../lib/vesk when installed, else\n"
    "../lib), acquires images for the station through the object source (default\n"
    "VeskObjSrcCapture.clsObjSrcCapture) with the host configuration FILE (INI sections are the\n"
    "configuration groups: \"0\" and the station IDs), and lists the object set it returns.\n"
    "\n"
    "  --config FILE    host configuration store\n"
    "  --station ID     the station's configuration group\n"
    "  --view NAME      view name handed to the object source (ImageView); it chooses the\n"
    "                   capture dialog's reference picture (FaceFront, FaceSide, ...)\n"
    "  --single         one image only (multi-image mode off)\n"
    "  --source PROGID  another object source class\n"
    "  --timeout SECONDS  end a capture dialog that waits longer for an operator as Cancel\n"
    "                   would, print its message and status lines, and exit 1; 0 = no limit\n"
    "                   (default 120 without a display, none with one)\n"
    "  --shoot-after SECONDS  press Take Picture once the capture dialog is connected: when\n"
    "                   live view shows, or SECONDS after connecting without live view; with\n"
    "                   the station's OSAutoAccept=Y the acquisition then ends by itself\n"
    "  --unregister     remove the modules from the class registry and stop\n"
    "\n"
    "Exit codes: 0 images acquired, 2 cancelled, 1 error.\n";

std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::string& error)
{
    Options options;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const auto value = [&](std::string& target) {
            if (index + 1 >= arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            target = arguments[++index];
            return true;
        };
        if (argument == "--config") {
            if (!value(options.configFile))
                return std::nullopt;
        } else if (argument == "--station") {
            if (!value(options.station))
                return std::nullopt;
        } else if (argument == "--view") {
            std::string view;
            if (!value(view))
                return std::nullopt;
            options.view = view;
        } else if (argument == "--source") {
            if (!value(options.source))
                return std::nullopt;
        } else if (argument == "--timeout" || argument == "--shoot-after") {
            std::string text;
            if (!value(text))
                return std::nullopt;
            int seconds = 0;
            const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            // At most a day: the value becomes a timer interval in milliseconds.
            if (failure != std::errc() || end != text.data() + text.size() || seconds < 0 || seconds > 86400) {
                error = argument + " needs a number of seconds from 0 to 86400, not " + text;
                return std::nullopt;
            }
            (argument == "--timeout" ? options.timeoutSeconds : options.shootAfterSeconds) = seconds;
        } else if (argument == "--single") {
            options.single = true;
        } else if (argument == "--unregister") {
            options.unregister = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else {
            error = "unknown argument " + argument;
            return std::nullopt;
        }
    }
    if (options.help || options.unregister)
        return options;
    if (options.configFile.empty() || options.station.empty()) {
        error = "--config and --station are needed";
        return std::nullopt;
    }
    return options;
}

} // namespace workbench
