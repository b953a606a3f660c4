// The capture dialog's settings, named by their configuration keys, with their defaults.
//
// Threading: owned by the dialog, used on the user-interface thread.
#pragma once

#include <portrait/PortraitCheck.h>

#include <cstdint>
#include <map>
#include <string>

namespace control {

// The fixed folders of this platform that stand for the drive-rooted defaults.
inline constexpr const char* kImportFolderDefault = "/var/tmp/cstemp/";
inline constexpr const char* kLumoraFolder = "/opt/lumora/";
inline constexpr const char* kSettingsFileName = "VeskCapture.ini";
inline constexpr const char* kPhotoCountFileName = "QRN_CAPTURE_LOG.ini";
// The dialog saves each picture under this name in the import folder before the host files it.
inline constexpr const char* kTempPictureName = "tmpCapture.jpg";
// The longest reconnect countdown taken from the configuration, in seconds (an hour): larger
// values are held to it, so the countdown's arithmetic stays far from the 32-bit limit.
inline constexpr int32_t kDisconnectTimerMax = 3600;
// The host executable whose buttons take the "BLUE" theme.
inline constexpr const char* kHostExecutableName = "VeskWorkbench";

struct CaptureSettings {
    CaptureSettings() { SetDefaults(); }

    // Every setting back to its default.
    void SetDefaults();

    // Host keys.
    std::string ImportTempPath;
    std::string OSReferenceImagePath;
    int32_t OSCompressionLevel = 0;
    int32_t OSMaxImgHeight = 0;
    std::string OSRotation;
    bool OSAutoAccept = false;
    bool ED_AutoHideEvfGroup = false;
    bool ED_EnableCamSettings = true;
    bool ED_EnableEvfAfMode = true;
    bool ED_EnableUseEvfFocus = true;
    bool ED_SaveExifData = false;
    bool ED_ShowCamSettings = true;
    bool ED_ShowEvfAf = true;
    bool ED_ShowEvfAfMode = true;
    bool ED_ShowEvfFocusBox = true;
    bool ED_ShowEvfMf = true;
    bool ED_ShowUseEvfFocus = true;
    bool ED_UseEvfFocus = true;
    std::string ED_EvfAfMode;
    std::string ED_Av;
    std::string ED_Tv;
    std::string ED_Iso;
    std::string ED_WhiteBalance;
    std::string ED_MeteringMode;
    std::string ED_ExposureComp;
    std::string ED_ImageQuality;
    std::string ED_PictureStyle;
    bool ED_LogPhotoCount = true;
    std::string ED_TPLabel_LV;
    std::string ED_TPLabel_TPAF;
    std::string ED_TPLabel_TPLVF;
    std::string ED_OkLabel;
    std::string ED_CancelLabel;
    int32_t ED_DisconnectTimer = 0;
    // The station's portrait checks (PC_* keys); off unless the station turns them on.
    portrait::PortraitConfig portraitChecks;

    // Settings file keys (the two labels above are also read from it).
    bool CC_PanTabVisible = false;
    std::string CC_PannerDevice;
    int32_t CC_PannerRotation = 0;
    bool CC_PannerInverted = false;
    std::string ED_ButtonTheme;

    // View name to reference image file name; keys compare case-sensitively.
    std::map<std::string, std::string> referenceImages;

    // Derived: the settings file used by the last reading, and the photo-count file.
    std::string settingsFilePath;
    std::string photoCountPath;
};

} // namespace control
