// vesk-portrait-check: runs the portrait checks on saved pictures, with a station's limits
// from the host configuration, and prints each finding. Exit code 0 when every picture
// passes, 3 when one fails a check, 1 after an error.
//
// Threading: single-threaded.
#include "portrait/MatView.h"
#include "portrait/PortraitCheck.h"
#include "profile/Profile.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kAllPassed = 0;
constexpr int kError = 1;
constexpr int kSomeFailed = 3;

void printUsage(std::ostream& out)
{
    out << "Usage: vesk-portrait-check FILE... [--config HOST.INI --station NAME] [--view NAME]\n"
           "                           [--cascades FOLDER]\n"
           "       vesk-portrait-check --help\n"
           "\n"
           "Checks each picture as the capture dialog would before adding it: one frontal face,\n"
           "its height, centre and eye line, its sharpness and exposure, the picture's size and\n"
           "(with a minimum set) its compression, the file's size being the saved size.\n"
           "\n"
           "  --config HOST.INI  host configuration to read the station's PC_* limits from\n"
           "                     (applied even while the station has PC_Enabled=N)\n"
           "  --station NAME     the station's group in HOST.INI (with --config)\n"
           "  --view NAME        the pose the picture was taken in; the face is checked only\n"
           "                     when the station checks that view (PC_Views). Without it the\n"
           "                     face is always checked.\n"
           "  --cascades FOLDER  where haarcascade_frontalface_default.xml and haarcascade_eye.xml\n"
           "                     are (default: the system's OpenCV data folder)\n"
           "\n"
           "Exit code: 0 all pictures pass, 3 a check failed, 1 an error.\n";
}

struct Options {
    std::vector<std::string> files;
    std::optional<std::string> configPath;
    std::optional<std::string> station;
    std::optional<std::string> view;
    std::optional<std::string> cascadeFolder;
    bool help = false;
};

// Empty with a message on stderr when the command line cannot be used.
std::optional<Options> parseArguments(int argc, char** argv)
{
    Options options;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        const auto takeValue = [&](std::optional<std::string>& target) {
            if (index + 1 >= argc) {
                std::cerr << "vesk-portrait-check: " << argument << " needs a value\n";
                return false;
            }
            target = argv[++index];
            return true;
        };
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--config") {
            if (!takeValue(options.configPath)) {
                return std::nullopt;
            }
        } else if (argument == "--station") {
            if (!takeValue(options.station)) {
                return std::nullopt;
            }
        } else if (argument == "--view") {
            if (!takeValue(options.view)) {
                return std::nullopt;
            }
        } else if (argument == "--cascades") {
            if (!takeValue(options.cascadeFolder)) {
                return std::nullopt;
            }
        } else if (argument.size() > 1 && argument.front() == '-') {
            std::cerr << "vesk-portrait-check: unknown option " << argument << "\n";
            return std::nullopt;
        } else {
            options.files.push_back(argument);
        }
    }
    if (options.help) {
        return options;
    }
    if (options.configPath.has_value() != options.station.has_value()) {
        std::cerr << "vesk-portrait-check: --config and --station go together\n";
        return std::nullopt;
    }
    if (options.files.empty()) {
        std::cerr << "vesk-portrait-check: no picture named (see --help)\n";
        return std::nullopt;
    }
    return options;
}

// The station's configuration, or empty with a message when the file or its group is missing.
std::optional<portrait::PortraitConfig> readStation(const std::string& path, const std::string& station)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::cerr << "vesk-portrait-check: cannot read the configuration " << path << "\n";
        return std::nullopt;
    }
    const vesk::profile::ProfileDocument document = vesk::profile::ProfileDocument::load(path);
    bool found = false;
    for (const std::string& name : document.sectionNames()) {
        found = found || vesk::profile::equalsIgnoreCase(name, station);
    }
    if (!found) {
        std::cerr << "vesk-portrait-check: " << path << " has no group for the station " << station << "\n";
        return std::nullopt;
    }
    return portrait::readPortraitConfig(
        [&](std::string_view key) { return document.value(station, key); });
}

// Checks one file and prints its findings; the exit code it calls for.
int checkFile(const portrait::PortraitChecker& checker, const std::string& path, const portrait::PortraitLimits& limits,
              bool checkFace)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    if (file) {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (!file || bytes.empty()) {
        std::cerr << "vesk-portrait-check: cannot read " << path << "\n";
        return kError;
    }
    cv::Mat picture;
    try {
        picture = cv::imdecode(bytes, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        picture.release();
    }
    if (picture.empty()) {
        std::cerr << "vesk-portrait-check: " << path << " is not a picture that can be decoded\n";
        return kError;
    }
    const portrait::PortraitReport report = checker.check(portrait::viewOfMat(picture, bytes.size()), limits, checkFace);
    std::cout << path << ": " << (report.passed() ? "passed" : "failed") << "\n";
    for (const portrait::Finding& finding : report.findings) {
        std::cout << "  " << (finding.passed ? "pass " : "FAIL ") << finding.text << "\n";
    }
    return report.passed() ? kAllPassed : kSomeFailed;
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Options> options = parseArguments(argc, argv);
    if (!options) {
        return kError;
    }
    if (options->help) {
        printUsage(std::cout);
        return kAllPassed;
    }
    portrait::PortraitConfig config;
    if (options->configPath) {
        const auto station = readStation(*options->configPath, *options->station);
        if (!station) {
            return kError;
        }
        config = *station;
    }
    const bool checkFace = !options->view || config.checksFaceOf(*options->view);

    std::optional<portrait::PortraitChecker> checker;
    try {
        checker.emplace(options->cascadeFolder.value_or(std::string()));
    } catch (const std::exception& error) {
        std::cerr << "vesk-portrait-check: " << error.what() << "\n";
        return kError;
    }
    int result = kAllPassed;
    for (const std::string& path : options->files) {
        const int fileResult = checkFile(*checker, path, config.limits, checkFace);
        if (fileResult == kError || (fileResult == kSomeFailed && result == kAllPassed)) {
            result = fileResult;
        }
    }
    return result;
}
