// The acquisition form's configuration reader.
#include "adapter/AdapterConfig.h"

#include "automation/Error.h"
#include "hosting/HostSettings.h"
#include "hosting/Prompt.h"

namespace adapter {
namespace {

constexpr const char* kSystemGroup = "0";

} // namespace

int16_t compressionLevelOf(std::string_view text)
{
    constexpr int16_t kNotNumeric = 8;
    // The automation conversion to a 16-bit integer: fractions round half to even; text, and
    // a number that does not fit, give 8 rather than failing the whole reading.
    try {
        return automation::Variant(text).toInt16();
    } catch (const automation::AutomationError&) {
        return kNotNumeric;
    }
}

bool ProcessConfig(AdapterSettings& settings, automation::Variant& config, std::string_view parentGroupId)
{
    try {
        hosting::HostSettingsReader reader(hosting::MissingSettingsReader::Raise);
        const auto get = [&](std::string_view key) { return reader.GetSetting(config, parentGroupId, key); };
        settings.m_sImportTempPath = hosting::withTrailingSeparator(
            reader.GetSetting(config, kSystemGroup, "ImportTempPath").value_or("/var/tmp/cstemp/"));
        settings.m_sObjectType = get("OSObjectType").value_or("Image");
        settings.m_sImportType = get("OSImportType").value_or("DigitalCamera");
        settings.m_sImportMethod = get("OSImportMethod").value_or("File");
        settings.m_sObjectFormat = get("OSObjectFormat").value_or("JFIF");
        settings.m_sCompression = get("OSCompression").value_or("NONE");
        settings.m_nCompressionLevel = compressionLevelOf(get("OSCompressionLevel").value_or("20"));
    } catch (const automation::AutomationError& error) {
        hosting::currentPrompt().show("frmObjSrcCapture::ProcessConfig\r\n" + error.text(), hosting::PromptButtons::Ok);
        return false;
    }
    return true;
}

} // namespace adapter
