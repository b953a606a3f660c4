// The capture dialog's configuration reader.
#include "config/DialogConfig.h"

#include "config/HostSettings.h"
#include "config/LogFile.h"
#include "config/Prompt.h"
#include "profile/Profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

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

// The picture is saved through a temporary file beside it, named after it with a suffix of
// up to this many characters, and renamed over it.
constexpr std::size_t kSaveSuffixLength = 16;

std::string failed(std::string text, int error)
{
    return text + ": " + std::strerror(error);
}

// Why the dialog could not save its temporary picture (and the photo-count file) in the
// import folder, or nothing when it can. Checked before the camera starts: a save that
// fails later, with automatic acceptance, would leave the dialog waiting for ever.
std::optional<std::string> importFolderProblem(const std::string& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return "The import folder does not exist [" + folder + "]";
        if (errno == ENAMETOOLONG)
            return "The import folder's path is too long [" + folder + "]";
        if (errno == ENOTDIR)
            return "The import folder is not a folder [" + folder + "]";
        return failed("The import folder cannot be used [" + folder + "]", errno);
    }
    if (!S_ISDIR(info.st_mode))
        return "The import folder is not a folder [" + folder + "]";

    const std::string picture = folder + kTempPictureName;
    std::error_code ignored;
    const std::size_t absoluteLength = std::filesystem::absolute(picture, ignored).string().size();
    const long nameLimit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (std::max(absoluteLength, picture.size()) + kSaveSuffixLength >= PATH_MAX ||
        (nameLimit > 0 && std::strlen(kTempPictureName) + kSaveSuffixLength > static_cast<std::size_t>(nameLimit)))
        return "The temporary picture's path is too long [" + picture + "]";
    if (::stat(picture.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode))
            return "The temporary picture's path is taken by something other than a file [" + picture + "]";
        if (::access(picture.c_str(), W_OK) != 0)
            return failed("The temporary picture cannot be replaced [" + picture + "]", errno);
    } else if (errno != ENOENT) {
        return failed("The temporary picture's path cannot be used [" + picture + "]", errno);
    }

    // Writing is proven by creating (exclusively) and removing a file: permission bits do not
    // tell about read-only mounts, access lists or a full inode table.
    std::string probe = folder + ".vskXXXXXX";
    const int descriptor = ::mkstemp(probe.data());
    if (descriptor < 0)
        return failed("The import folder is not writable [" + folder + "]", errno);
    ::close(descriptor);
    ::unlink(probe.c_str());
    return std::nullopt;
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
    // One rule with the adapter, which records this level in the host's image object.
    if (const auto level = get("OSCompressionLevel"))
        settings.OSCompressionLevel = compressionLevelOf(*level);
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
    settings.ED_DisconnectTimer = std::min(settings.ED_DisconnectTimer, kDisconnectTimerMax);
    settings.portraitChecks = portrait::readPortraitConfig(get);
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
    if (const auto problem = importFolderProblem(settings.ImportTempPath)) {
        const std::string text = *problem + "\r\nPlease check your configuration and try again.";
        logFile().Write(kTag, text, 1);
        currentPrompt().show(text, PromptButtons::Ok);
        return -1;
    }
    return 0;
}

} // namespace control
