// The capture dialog's configuration reader.
#include "control/DialogConfig.h"

#include "control/HostSettings.h"
#include "control/LogFile.h"
#include "control/Prompt.h"
#include "profile/Profile.h"

#include <filesystem>

namespace control {
namespace {

constexpr const char* kTag = "DLG ProcessConfig";
constexpr const char* kSystemGroup = "0";
constexpr const char* kPannerSection = "Panner Settings";
constexpr const char* kSettingsSection = "Settings";

struct SplitPath {
    std::string folder;
    std::string fileName;
};

// Split at the last separator, the separator staying with the folder; without one, both
// parts are the whole path.
SplitPath splitAtLastSeparator(const std::string& path)
{
    const std::size_t separator = path.rfind('/');
    if (separator == std::string::npos)
        return {path, path};
    return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

bool fileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

void readSettingsFile(CaptureSettings& settings)
{
    namespace profile = vesk::profile;
    const std::string& file = settings.settingsFilePath;
    settings.CC_PanTabVisible = isYes(profile::readString(file, kPannerSection, "CC_PanTabVisible", "N"));
    settings.CC_PannerDevice = profile::readString(file, kPannerSection, "CC_PannerDevice", "");
    settings.CC_PannerRotation = profile::readInt(file, kPannerSection, "CC_PannerRotation", 0);
    settings.CC_PannerInverted = isYes(profile::readString(file, kPannerSection, "CC_PannerInverted", "N"));
    settings.ED_ButtonTheme = profile::readString(file, kSettingsSection, "ED_ButtonTheme", settings.ED_ButtonTheme);
    settings.ED_OkLabel = profile::readString(file, kSettingsSection, "ED_OkLabel", settings.ED_OkLabel);
    settings.ED_CancelLabel = profile::readString(file, kSettingsSection, "ED_CancelLabel", settings.ED_CancelLabel);
}

void readHostKeys(CaptureSettings& settings, automation::Variant& config, std::string_view station)
{
    HostSettingsReader reader(kTag, MissingSettingsReader::TreatAsAbsent);
    const auto get = [&](std::string_view key) { return reader.GetSetting(config, station, key); };
    applyFolder(reader.GetSetting(config, kSystemGroup, "ImportTempPath"), settings.ImportTempPath);
    applyNonEmptyText(get("OSReferenceImagePath"), settings.OSReferenceImagePath);
    applyNumber(get("OSCompressionLevel"), settings.OSCompressionLevel);
    applyNumber(get("OSMaxImgHeight"), settings.OSMaxImgHeight);
    applyNonEmptyText(get("OSRotation"), settings.OSRotation);
    applyBool(get("OSAutoAccept"), settings.OSAutoAccept);
    applyBool(get("ED_AutoHideEvfGroup"), settings.ED_AutoHideEvfGroup);
    applyBool(get("ED_EnableCamSettings"), settings.ED_EnableCamSettings);
    applyBool(get("ED_EnableEvfAfMode"), settings.ED_EnableEvfAfMode);
    applyBool(get("ED_EnableUseEvfFocus"), settings.ED_EnableUseEvfFocus);
    applyBool(get("ED_SaveExifData"), settings.ED_SaveExifData);
    applyBool(get("ED_ShowCamSettings"), settings.ED_ShowCamSettings);
    applyBool(get("ED_ShowEvfAf"), settings.ED_ShowEvfAf);
    applyBool(get("ED_ShowEvfAfMode"), settings.ED_ShowEvfAfMode);
    applyBool(get("ED_ShowEvfFocusBox"), settings.ED_ShowEvfFocusBox);
    applyBool(get("ED_ShowEvfMf"), settings.ED_ShowEvfMf);
    applyBool(get("ED_ShowUseEvfFocus"), settings.ED_ShowUseEvfFocus);
    applyBool(get("ED_UseEvfFocus"), settings.ED_UseEvfFocus);
    applyNonEmptyText(get("ED_EvfAfMode"), settings.ED_EvfAfMode);
    applyNonEmptyText(get("ED_Av"), settings.ED_Av);
    applyNonEmptyText(get("ED_Tv"), settings.ED_Tv);
    applyNonEmptyText(get("ED_Iso"), settings.ED_Iso);
    applyNonEmptyText(get("ED_WhiteBalance"), settings.ED_WhiteBalance);
    applyNonEmptyText(get("ED_MeteringMode"), settings.ED_MeteringMode);
    applyNonEmptyText(get("ED_ExposureComp"), settings.ED_ExposureComp);
    applyNonEmptyText(get("ED_ImageQuality"), settings.ED_ImageQuality);
    applyNonEmptyText(get("ED_PictureStyle"), settings.ED_PictureStyle);
    applyBool(get("ED_LogPhotoCount"), settings.ED_LogPhotoCount);
    applyText(get("ED_TPLabel_LV"), settings.ED_TPLabel_LV);
    applyText(get("ED_TPLabel_TPAF"), settings.ED_TPLabel_TPAF);
    applyText(get("ED_TPLabel_TPLVF"), settings.ED_TPLabel_TPLVF);
    applyText(get("ED_OkLabel"), settings.ED_OkLabel);
    applyText(get("ED_CancelLabel"), settings.ED_CancelLabel);
    applyNumber(get("ED_DisconnectTimer"), settings.ED_DisconnectTimer);
}

} // namespace

ProcessEnvironment ProcessEnvironment::current()
{
    ProcessEnvironment environment;
    std::error_code error;
    environment.executablePath = std::filesystem::read_symlink("/proc/self/exe", error).string();
    environment.currentFolder = std::filesystem::current_path(error).string();
    return environment;
}

std::string locateSettingsFile(const ProcessEnvironment& environment)
{
    const std::string inCurrentFolder = withTrailingSeparator(environment.currentFolder) + kSettingsFileName;
    if (fileExists(inCurrentFolder))
        return inCurrentFolder;
    const std::string besideExecutable =
        withTrailingSeparator(splitAtLastSeparator(environment.executablePath).folder) + kSettingsFileName;
    if (fileExists(besideExecutable))
        return besideExecutable;
    return std::string(kLumoraFolder) + kSettingsFileName;
}

int ProcessConfig(CaptureSettings& settings, automation::Variant& config, std::string_view parentGroupId,
                  const ProcessEnvironment& environment)
{
    settings.SetDefaults();
    settings.settingsFilePath = locateSettingsFile(environment);
    if (vesk::profile::equalsIgnoreCase(splitAtLastSeparator(environment.executablePath).fileName, kHostExecutableName))
        settings.ED_ButtonTheme = "BLUE";
    readSettingsFile(settings);
    try {
        readHostKeys(settings, config, parentGroupId);
    } catch (const automation::AutomationError& error) {
        const std::string text = automation::errorMessage(error.code());
        logFile().Write(kTag, text, 1);
        currentPrompt().show(text, PromptButtons::Ok);
        return -1;
    }
    settings.photoCountPath = settings.ImportTempPath + kPhotoCountFileName;
    return 0;
}

} // namespace control
