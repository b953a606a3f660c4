// The constructors and notification entry points of the ten camera-setting boxes.
//
// Threading: see SettingComboBoxes.h.
#include "controls/SettingComboBoxes.h"

#include "SettingTables.h"

namespace controls {

CAEMode::CAEMode(QWidget* parent) : CPropertyComboBox(CAM_PROP_AE_MODE, parent)
{
    setActionCommand("set_AEMode");
    InsertLabels(tables::aeModeLabels);
}

CAEMode::~CAEMode()
{
    StopObserving();
}

void CAEMode::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CTv::CTv(QWidget* parent) : CPropertyComboBox(CAM_PROP_TV, parent)
{
    setActionCommand("set_Tv");
    InsertLabels(tables::tvLabels);
}

CTv::~CTv()
{
    StopObserving();
}

void CTv::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CAv::CAv(QWidget* parent) : CPropertyComboBox(CAM_PROP_AV, parent)
{
    setActionCommand("set_Av");
    InsertLabels(tables::avLabels);
}

CAv::~CAv()
{
    StopObserving();
}

void CAv::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CIso::CIso(QWidget* parent) : CPropertyComboBox(CAM_PROP_ISO_SPEED, parent)
{
    setActionCommand("set_ISOSpeed");
    InsertLabels(tables::isoLabels);
}

CIso::~CIso()
{
    StopObserving();
}

void CIso::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CWhiteBalance::CWhiteBalance(QWidget* parent) : CPropertyComboBox(CAM_PROP_WHITE_BALANCE, parent)
{
    setActionCommand("set_WhiteBalance");
    InsertLabels(tables::whiteBalanceLabels);
}

CWhiteBalance::~CWhiteBalance()
{
    StopObserving();
}

void CWhiteBalance::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CMeteringMode::CMeteringMode(QWidget* parent) : CPropertyComboBox(CAM_PROP_METERING_MODE, parent)
{
    setActionCommand("set_MeteringMode");
    InsertLabels(tables::meteringModeLabels);
}

CMeteringMode::~CMeteringMode()
{
    StopObserving();
}

void CMeteringMode::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CExposureComp::CExposureComp(QWidget* parent) : CPropertyComboBox(CAM_PROP_EXPOSURE_COMPENSATION, parent)
{
    setActionCommand("set_ExposureCompensation");
    InsertLabels(tables::exposureCompLabels);
}

CExposureComp::~CExposureComp()
{
    StopObserving();
}

void CExposureComp::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CImageQuality::CImageQuality(QWidget* parent) : CPropertyComboBox(CAM_PROP_IMAGE_QUALITY, parent)
{
    setActionCommand("set_ImageQuality");
    InsertLabels(tables::imageQualityLabels);
}

CImageQuality::~CImageQuality()
{
    StopObserving();
}

void CImageQuality::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CPictureStyle::CPictureStyle(QWidget* parent) : CPropertyComboBox(CAM_PROP_PICTURE_STYLE, parent)
{
    setActionCommand("set_PictureStyle");
    InsertLabels(tables::pictureStyleLabels);
}

CPictureStyle::~CPictureStyle()
{
    StopObserving();
}

void CPictureStyle::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

CEvfAfMode::CEvfAfMode(QWidget* parent) : CPropertyComboBox(CAM_PROP_EVF_AF_MODE, parent)
{
    setActionCommand("set_EvfAfMode");
    InsertLabels(tables::evfAfModeLabels);
}

CEvfAfMode::~CEvfAfMode()
{
    StopObserving();
}

void CEvfAfMode::update(camera::Observable*, const camera::ModelEvent& event)
{
    PostOnNotification(event);
}

} // namespace controls
