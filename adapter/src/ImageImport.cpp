// The import folder check and the filing of added images.
#include "adapter/ImageImport.h"

#include "automation/Registry.h"
#include "hostapi/HostClasses.h"
#include "hosting/Prompt.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace adapter {
namespace {

using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;

// The host's attribute given to every image an object source imports.
constexpr int32_t kImportedImageClass = 23;

AutomationError copyError(const std::error_code& error, const std::string& source, const std::string& destination)
{
    const std::string description = "Cannot copy " + source + " to " + destination + ": " + error.message();
    std::error_code ignored;
    if (!std::filesystem::exists(source, ignored))
        return AutomationError(CTL_E_FILENOTFOUND, description);
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        return AutomationError(CTL_E_PATHNOTFOUND, description);
    return AutomationError(CTL_E_PERMISSIONDENIED, description);
}

} // namespace

bool confirmImportFolder(const std::string& folder)
{
    for (;;) {
        std::error_code ignored;
        if (std::filesystem::is_directory(folder, ignored))
            return true;
        const std::string text = "The destination directory does not exist [" + folder + "]\r\n"
                                 "Please check your configuration and try again.";
        if (hosting::currentPrompt().show(text, hosting::PromptButtons::RetryCancel) != hosting::PromptAnswer::Retry)
            return false;
    }
}

automation::DispatchPtr newObjectSet()
{
    return automation::createObject(host::kObjectSetProgId);
}

int32_t objectCount(automation::Dispatch& objectSet)
{
    return automation::invokeByName(objectSet, "Count", InvokeKind::PropertyGet).toInt32();
}

void fileImage(automation::Dispatch& objectSet, const AdapterSettings& settings, std::string_view extension,
               const std::string& sourcePath)
{
    const int32_t number = objectCount(objectSet) + 1;
    const std::string name = std::to_string(number) + "." + std::string(extension);
    const std::string destination = (std::filesystem::path(settings.m_sImportTempPath) / name).string();

    std::error_code error;
    std::filesystem::copy_file(sourcePath, destination, std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        throw copyError(error, sourcePath, destination);

    const automation::DispatchPtr image = automation::createObject(host::kImageObjectProgId);
    const std::array<Variant, std::size(host::kImageProperties)> values{
        Variant(destination),
        Variant(name),
        Variant(kImportedImageClass),
        Variant(settings.m_sObjectType),
        Variant(settings.m_sImportType),
        Variant(settings.m_sImportMethod),
        Variant(settings.m_sObjectFormat),
        Variant(settings.m_sCompression),
        Variant(settings.m_nCompressionLevel),
    };
    for (std::size_t index = 0; index < values.size(); ++index) {
        automation::Arguments value{values[index]};
        image->invoke(image->getIdsOfNames(host::kImageProperties[index].name), InvokeKind::PropertyPut, value);
    }
    automation::invokeByName(objectSet, "Add", InvokeKind::Method, {Variant(image)});
}

} // namespace adapter
