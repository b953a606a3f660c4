// The control's configuration reader.
#include "config/ControlConfig.h"

#include "config/HostSettings.h"
#include "config/LogFile.h"
#include "config/Prompt.h"

namespace control {

namespace {
constexpr const char* kTag = "CTL ProcessConfig";
constexpr const char* kSystemGroup = "0";
} // namespace

int ProcessConfig(ControlSettings& settings, automation::Variant& config, std::string_view parentGroupId)
{
    settings.ED_BodyID.clear();
    try {
        HostSettingsReader reader(kTag, MissingSettingsReader::TreatAsAbsent);
        // An empty folder counts as absent: it would otherwise put the log into "/".
        if (const auto folder = folderValue(reader.GetSetting(config, kSystemGroup, "ImportTempPath")))
            logFile().setFolder(*folder);
        if (const auto level = reader.GetSetting(config, kSystemGroup, "DebugLogLevel"))
            logFile().setLevel(leadingNumber(*level));
        applyNonEmptyText(reader.GetSetting(config, parentGroupId, "ED_BodyID"), settings.ED_BodyID);
    } catch (const automation::AutomationError& error) {
        const std::string text = automation::errorMessage(error.code());
        logFile().Write(kTag, text, 1);
        currentPrompt().show(text, PromptButtons::Ok);
        return -1;
    }
    return 0;
}

} // namespace control
