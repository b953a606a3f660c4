// The acquisition form's configuration reader.
#include "adapter/AdapterConfig.h"

#include "control/HostSettings.h"
#include "control/Prompt.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace adapter {
namespace {

constexpr const char* kSystemGroup = "0";

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

int16_t compressionLevelOf(std::string_view text)
{
    constexpr int16_t kNotNumeric = 8;
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return kNotNumeric;
    // Fractions round half to even, as the conversion to a 16-bit integer does; a number that
    // does not fit is treated like text rather than failing the whole reading.
    const double rounded = std::nearbyint(number);
    if (rounded < std::numeric_limits<int16_t>::min() || rounded > std::numeric_limits<int16_t>::max())
        return kNotNumeric;
    return static_cast<int16_t>(rounded);
}

bool ProcessConfig(AdapterSettings& settings, const automation::Variant& config, std::string_view parentGroupId)
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
