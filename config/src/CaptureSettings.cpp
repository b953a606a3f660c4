// Defaults of the capture dialog's settings.
#include "config/CaptureSettings.h"

namespace control {

void CaptureSettings::SetDefaults()
{
    ImportTempPath = kImportFolderDefault;
    OSReferenceImagePath.clear();
    OSCompressionLevel = 20;
    OSMaxImgHeight = 0;
    OSRotation = "0";
    OSAutoAccept = false;
    ED_AutoHideEvfGroup = false;
    ED_EnableCamSettings = true;
    ED_EnableEvfAfMode = true;
    ED_EnableUseEvfFocus = true;
    ED_SaveExifData = false;
    ED_ShowCamSettings = true;
    ED_ShowEvfAf = true;
    ED_ShowEvfAfMode = true;
    ED_ShowEvfFocusBox = true;
    ED_ShowEvfMf = true;
    ED_ShowUseEvfFocus = true;
    ED_UseEvfFocus = true;
    ED_EvfAfMode.clear();
    ED_Av.clear();
    ED_Tv.clear();
    ED_Iso.clear();
    ED_WhiteBalance.clear();
    ED_MeteringMode.clear();
    ED_ExposureComp.clear();
    ED_ImageQuality.clear();
    ED_PictureStyle.clear();
    ED_LogPhotoCount = true;
    ED_TPLabel_LV = "Live View";
    ED_TPLabel_TPAF = "Take Picture [Auto Focus]";
    ED_TPLabel_TPLVF = "Take Picture [Live View Focus]";
    ED_OkLabel = "&Ok";
    ED_CancelLabel = "Cancel";
    ED_DisconnectTimer = 10;
    portraitChecks = portrait::PortraitConfig();

    CC_PanTabVisible = false;
    CC_PannerDevice.clear();
    CC_PannerRotation = 0;
    CC_PannerInverted = false;
    ED_ButtonTheme.clear();

    referenceImages.clear();
    referenceImages.emplace("FaceFront", "RefImage.jpg");
    referenceImages.emplace("FaceGlasses", "RefImageGlasses.jpg");
    referenceImages.emplace("FaceSide", "RefImageSide.jpg");
    referenceImages.emplace("SMT", "RefImageSMT.jpg");
    referenceImages.emplace("Other", "RefImageOther.jpg");

    settingsFilePath.clear();
    photoCountPath = ImportTempPath + kPhotoCountFileName;
}

} // namespace control
