// The ten camera-setting boxes of the capture dialog. Each watches one camera property,
// fires one action string when the user chooses a value, and labels the values with its own
// table.
//
// Threading: UI-thread widgets; `update` (camera::Observer) is called by the camera model on
// any thread and only posts to the box. QWidget::update keeps its meaning.
#pragma once

#include "controls/PropertyComboBox.h"

#include <camera/ActionEvents.h>
#include <camera/Observable.h>

namespace controls {

// The shooting mode box: property CAM_PROP_AE_MODE, action "set_AEMode".
class CAEMode final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CAEMode(QWidget* parent = nullptr);
    ~CAEMode() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The shutter speed box: property CAM_PROP_TV, action "set_Tv".
class CTv final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CTv(QWidget* parent = nullptr);
    ~CTv() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The aperture value box: property CAM_PROP_AV, action "set_Av".
class CAv final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CAv(QWidget* parent = nullptr);
    ~CAv() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The ISO speed box: property CAM_PROP_ISO_SPEED, action "set_ISOSpeed".
class CIso final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CIso(QWidget* parent = nullptr);
    ~CIso() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The white balance box: property CAM_PROP_WHITE_BALANCE, action "set_WhiteBalance".
class CWhiteBalance final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CWhiteBalance(QWidget* parent = nullptr);
    ~CWhiteBalance() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The metering mode box: property CAM_PROP_METERING_MODE, action "set_MeteringMode".
class CMeteringMode final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CMeteringMode(QWidget* parent = nullptr);
    ~CMeteringMode() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The exposure compensation box: property CAM_PROP_EXPOSURE_COMPENSATION, action "set_ExposureCompensation".
class CExposureComp final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CExposureComp(QWidget* parent = nullptr);
    ~CExposureComp() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The image quality box: property CAM_PROP_IMAGE_QUALITY, action "set_ImageQuality".
class CImageQuality final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CImageQuality(QWidget* parent = nullptr);
    ~CImageQuality() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The picture style box: property CAM_PROP_PICTURE_STYLE, action "set_PictureStyle".
class CPictureStyle final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CPictureStyle(QWidget* parent = nullptr);
    ~CPictureStyle() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

// The live-view autofocus mode box: property CAM_PROP_EVF_AF_MODE, action "set_EvfAfMode".
class CEvfAfMode final : public CPropertyComboBox, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CEvfAfMode(QWidget* parent = nullptr);
    ~CEvfAfMode() override;
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;
    using QWidget::update;
};

} // namespace controls
