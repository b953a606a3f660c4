// The acquisition form's configuration reader.
#include "adapter/AdapterConfig.h"

#include "automation/Error.h"
#include "hosting/HostSettings.h"
#include "hosting/Prompt.h"

namespace adapter {
namespace {

constexpr const char* kSystemGroup = "0";
constexpr const char* kImportFolderDefault = "/var/tmp/cstemp/";

} // namespace

bool ProcessConfig(AdapterSettings& settings, automation::Variant& config, std::string_view parentGroupId)
{
    try {
        hosting::HostSettingsReader reader(hosting::MissingSettingsReader::Raise);
        const auto get = [&](std::string_view key) { return reader.GetSetting(config, parentGroupId, key); };
        // An empty folder is the default too, as in the control's readers.
        settings.m_sImportTempPath =
            hosting::folderValue(reader.GetSetting(config, kSystemGroup, "ImportTempPath")).value_or(kImportFolderDefault);
        settings.m_sObjectType = get("OSObjectType").value_or("Image");
        settings.m_sImportType = get("OSImportType").value_or("DigitalCamera");
        settings.m_sImportMethod = get("OSImportMethod").value_or("File");
        settings.m_sObjectFormat = get("OSObjectFormat").value_or("JFIF");
        settings.m_sCompression = get("OSCompression").value_or("NONE");
        // The level the dialog saves the picture with, so the object records the file as it is.
        if (const auto level = get("OSCompressionLevel"))
            settings.m_nCompressionLevel = hosting::compressionLevelOf(*level);
        else
            settings.m_nCompressionLevel = hosting::kCompressionLevelDefault;
    } catch (const automation::AutomationError& error) {
        hosting::currentPrompt().show("frmObjSrcCapture::ProcessConfig\r\n" + error.text(), hosting::PromptButtons::Ok);
        return false;
    }
    return true;
}

} // namespace adapter
