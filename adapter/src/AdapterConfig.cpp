// The acquisition form's configuration reader.
#include "adapter/AdapterConfig.h"

#include "automation/Error.h"
#include "control/HostSettings.h"
#include "control/Prompt.h"

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
        control::HostSettingsReader reader("", control::MissingSettingsReader::Raise);
        const auto get = [&](std::string_view key) { return reader.GetSetting(config, parentGroupId, key); };
        settings.m_sImportTempPath = control::withTrailingSeparator(
            reader.GetSetting(config, kSystemGroup, "ImportTempPath").value_or("/var/tmp/cstemp/"));
        settings.m_sObjectType = get("OSObjectType").value_or("Image");
        settings.m_sImportType = get("OSImportType").value_or("DigitalCamera");
        settings.m_sImportMethod = get("OSImportMethod").value_or("File");
        settings.m_sObjectFormat = get("OSObjectFormat").value_or("JFIF");
        settings.m_sCompression = get("OSCompression").value_or("NONE");
        settings.m_nCompressionLevel = compressionLevelOf(get("OSCompressionLevel").value_or("20"));
    } catch (const automation::AutomationError& error) {
        control::currentPrompt().show("frmObjSrcCapture::ProcessConfig\r\n" + error.text(), control::PromptButtons::Ok);
        return false;
    }
    return true;
}

} // namespace adapter
