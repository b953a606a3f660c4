// VeskWorkbench, the host a user tries the system with: registers the host's classes and the
// capture modules, runs one acquisition through the object source for a station, and lists
// the object set it gets back. Exit code 0 when images were acquired, 2 cancelled by the
// operator, 1 error (the acquisition control's last status line tells which when no box did).
// Unattended (without a display) a capture dialog that waits for an operator is ended after a
// limit, so that the program never hangs; --shoot-after presses Take Picture for a check of a
// station's camera that needs nobody.
//
// Threading: everything runs on the main (user-interface) thread.
#include "CaptureWatch.h"
#include "CommandLine.h"

#include "automation/Registry.h"
#include "hostapi/HostClasses.h"
#include "hostapi/ObjectSource.h"
#include "hosting/MessageBoxPrompt.h"
#include "hosting/Prompt.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using automation::Arguments;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;
namespace fs = std::filesystem;

constexpr int kExitAcquired = 0;
constexpr int kExitFailed = 1;
constexpr int kExitCancelled = 2;

struct ModuleFile {
    const char* fileName;
    const char* role;
    bool required;
    std::vector<std::string> progIds;
};

const std::vector<ModuleFile>& moduleFiles()
{
    static const std::vector<ModuleFile> modules{
        {"libVeskHost.so", "host classes", true,
         {host::kConfigurationProgId, host::kSettingsReaderProgId, host::kObjectSetProgId, host::kImageObjectProgId}},
        {"libVeskCapture.so", "capture control", false,
         {"VeskCapture.VeskCaptureCtrl.1", "VeskCapture.VeskCapturePropPage.1"}},
        {"libVeskObjSrcCapture.so", "camera object source", true, {"VeskObjSrcCapture.clsObjSrcCapture"}},
    };
    return modules;
}

// The modules' folder beside the program: ../lib/vesk in an installed tree (the package's
// private library folder), else ../lib as in the build tree. The installed folder counts only
// when it holds the host module, so a build tree keeps reporting its own ../lib.
fs::path libraryFolder()
{
    std::error_code error;
    const fs::path program = fs::canonical("/proc/self/exe", error);
    const fs::path libraries = (error ? fs::current_path() : program.parent_path()).parent_path() / "lib";
    const fs::path installed = libraries / "vesk";
    if (fs::exists(installed / moduleFiles().front().fileName, error))
        return installed;
    return libraries;
}

std::string hex(automation::HResult code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(code));
    return text;
}

bool registerModules(const fs::path& folder)
{
    bool complete = true;
    for (const ModuleFile& module : moduleFiles()) {
        const std::string path = (folder / module.fileName).string();
        std::error_code ignored;
        if (!fs::exists(path, ignored)) {
            std::cerr << "VeskWorkbench: the " << module.role << " module " << path << " is not there"
                      << (module.required ? "" : " (not built yet?); acquisitions fail until it is") << '\n';
            complete = complete && !module.required;
            continue;
        }
        const automation::HResult code = automation::registerModule(path);
        if (automation::failed(code)) {
            std::cerr << "VeskWorkbench: registering the " << module.role << " module " << path << " failed: "
                      << hex(code) << ' ' << automation::errorMessage(code) << '\n';
            complete = complete && !module.required;
        }
    }
    return complete;
}

// Removes the entries of a module whose file is gone, by the ProgIDs it registers.
void removeEntriesOf(const ModuleFile& module, const std::string& path)
{
    for (const std::string& progId : module.progIds) {
        const auto entry = automation::findClass(progId);
        if (entry && entry->modulePath == path)
            automation::unregisterClass(automation::ClassInfo{entry->classId.c_str(), progId.c_str(), entry->name.c_str(), nullptr});
    }
}

int unregisterModules(const fs::path& folder)
{
    int exitCode = kExitAcquired;
    for (const ModuleFile& module : moduleFiles()) {
        const std::string path = (folder / module.fileName).string();
        std::error_code ignored;
        automation::HResult code = automation::S_OK;
        if (fs::exists(path, ignored))
            code = automation::unregisterModule(path);
        else
            removeEntriesOf(module, path);
        if (automation::failed(code)) {
            std::cerr << "VeskWorkbench: unregistering " << path << " failed: " << hex(code) << '\n';
            exitCode = kExitFailed;
        } else {
            std::cout << "unregistered " << path << '\n';
        }
    }
    return exitCode;
}

// Passes every box on, counting the error boxes (OK only) so that a false result of the
// object source can be told apart: cancelled, or failed after showing why.
class WorkbenchPrompt final : public hosting::Prompt {
public:
    explicit WorkbenchPrompt(hosting::Prompt& boxes) : m_boxes(boxes) {}

    hosting::PromptAnswer show(std::string_view text, hosting::PromptButtons buttons) override
    {
        if (buttons == hosting::PromptButtons::Ok)
            ++m_errorBoxes;
        return m_boxes.show(text, buttons);
    }
    int errorBoxes() const { return m_errorBoxes; }

private:
    hosting::Prompt& m_boxes;
    int m_errorBoxes = 0;
};

// The limit for capture dialogs: --timeout, else two minutes when nobody can see the dialog
// (offscreen, or no display at all) and none with a display. Nothing for no limit.
std::optional<std::chrono::seconds> unattendedLimit(const workbench::Options& options, const QString& platform)
{
    if (options.timeoutSeconds)
        return *options.timeoutSeconds > 0 ? std::optional(std::chrono::seconds(*options.timeoutSeconds)) : std::nullopt;
    const bool displayed = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
                           (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"));
    if (displayed)
        return std::nullopt;
    return std::chrono::seconds(workbench::kDefaultUnattendedTimeout);
}

void printObjectSet(const Variant& objectSet)
{
    const automation::DispatchPtr set = objectSet.isEmpty() ? nullptr : objectSet.toDispatch();
    if (!set) {
        std::cout << "No object set\n";
        return;
    }
    const int32_t count = automation::invokeByName(*set, "Count", InvokeKind::PropertyGet).toInt32();
    std::cout << "Object set: " << count << " object(s)\n";
    for (int32_t index = 1; index <= count; ++index) {
        const automation::DispatchPtr object =
            automation::invokeByName(*set, "Item", InvokeKind::PropertyGet, {Variant(index)}).toDispatch();
        std::cout << index << ':';
        for (const host::ImageProperty& property : host::kImageProperties) {
            std::string value;
            try {
                value = automation::invokeByName(*object, property.name, InvokeKind::PropertyGet).toString();
            } catch (const AutomationError& error) {
                value = "(" + error.text() + ")";
            }
            std::cout << "  " << property.name << '=' << value << '\n';
        }
    }
}

int acquire(const workbench::Options& options, WorkbenchPrompt& prompt, std::optional<std::chrono::seconds> limit)
{
    std::error_code ignored;
    if (!fs::is_regular_file(options.configFile, ignored)) {
        std::cerr << "VeskWorkbench: the configuration file " << options.configFile << " does not exist\n";
        return kExitFailed;
    }
    const automation::DispatchPtr config = automation::createObject(host::kConfigurationProgId);
    automation::invokeByName(*config, "StorePath", InvokeKind::PropertyPut,
                             {Variant(fs::absolute(options.configFile).string())});

    const automation::DispatchPtr source = automation::createObject(options.source);
    automation::requireInterface(*source, host::kObjectSourceInterface);
    if (options.view)
        automation::invokeByName(*source, "ImageView", InvokeKind::PropertyPut, {Variant(*options.view)});

    Arguments setConfig{Variant(config), Variant(options.station)};
    if (!source->invoke(host::kSetConfigDispId, InvokeKind::Method, setConfig).toBool()) {
        std::cerr << "VeskWorkbench: the object source refused the configuration of station " << options.station << '\n';
        return kExitFailed;
    }
    Variant objectSet;
    Arguments acquireArguments{Variant::reference(objectSet), Variant(!options.single)};
    const int errorBoxesBefore = prompt.errorBoxes();
    std::optional<workbench::UnattendedLimit> unattended;
    if (limit)
        unattended.emplace(*limit);
    std::optional<workbench::UnattendedShutter> shutter;
    if (options.shootAfterSeconds)
        shutter.emplace(std::chrono::seconds(*options.shootAfterSeconds));
    const workbench::ControlStatusWatch controlStatus;
    const bool acquired = source->invoke(host::kAcquireDispId, InvokeKind::Method, acquireArguments).toBool();
    printObjectSet(objectSet);
    if (unattended && unattended->endedADialog())
        return kExitFailed;
    if (acquired)
        return kExitAcquired;
    // The object source answers false alike for a cancel and a failure. A failure without a box
    // (no camera, the camera SDK not starting) leaves its reason in the control's status line,
    // which went with the acquisition's window.
    if (!controlStatus.lastStatus().isEmpty()) {
        QString status = controlStatus.lastStatus();
        std::cerr << "VeskWorkbench: " << status.replace(QLatin1Char('\n'), QLatin1Char(' ')).toStdString() << '\n';
        return kExitFailed;
    }
    return prompt.errorBoxes() > errorBoxesBefore ? kExitFailed : kExitCancelled;
}

// Parses the command line; Qt's own options (-platform, -style, ...) are taken out by the
// application object first, which is then already made.
std::optional<workbench::Options> parseArguments(int& argc, char** argv, std::unique_ptr<QApplication>& application,
                                                 std::string& error)
{
    std::optional<workbench::Options> options =
        workbench::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    const bool singleDash = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return argument[0] == '-' && argument[1] != '-' && std::string_view(argument) != "-h";
    });
    if (!options && singleDash) {
        application = std::make_unique<QApplication>(argc, argv);
        options = workbench::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    // The command line comes first: the usage and its mistakes need no display.
    std::unique_ptr<QApplication> application;
    std::string error;
    const std::optional<workbench::Options> options = parseArguments(argc, argv, application, error);
    if (!options) {
        std::cerr << "VeskWorkbench: " << error << "\n\n" << workbench::kUsage;
        return kExitFailed;
    }
    if (options->help) {
        std::cout << workbench::kUsage;
        return kExitAcquired;
    }
    if (!application)
        application = std::make_unique<QApplication>(argc, argv);
    try {
        const fs::path folder = libraryFolder();
        if (options->unregister)
            return unregisterModules(folder);
        if (!registerModules(folder))
            return kExitFailed;
        // Without a screen nobody can answer a box: the texts go to stderr with the answer
        // that changes nothing.
        const QString platform = QGuiApplication::platformName();
        hosting::MessageBoxPrompt messageBoxes(QStringLiteral("VeskWorkbench"));
        hosting::Prompt& boxes = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")
                                     ? hosting::currentPrompt()
                                     : static_cast<hosting::Prompt&>(messageBoxes);
        WorkbenchPrompt prompt(boxes);
        hosting::ScopedPrompt installed(prompt);
        return acquire(*options, prompt, unattendedLimit(*options, platform));
    } catch (const AutomationError& failure) {
        std::cerr << "VeskWorkbench: " << failure.text() << '\n';
    } catch (const std::exception& failure) {
        std::cerr << "VeskWorkbench: " << failure.what() << '\n';
    }
    return kExitFailed;
}
