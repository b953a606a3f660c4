// The system's copy of the connected camera's state: settings, their allowed values, live-view
// geometry and focus information, announced to observers as they change.
//
// Threading: written on the worker thread, read from any thread; each access takes the
// model's own field lock, so getters return copies.
#pragma once

#include "camera/Observable.h"

#include <camsdk/CamSdk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace camera {

class CameraModel : public Observable {
public:
    explicit CameraModel(CamCameraRef camera);
    ~CameraModel() override = default;

    virtual bool isLegacy() const { return false; }

    CamCameraRef camera() const { return m_camera; }

    // Store into the field of the property ID; IDs without a field are ignored.
    void setPropertyUInt32(CamPropertyID property, uint32_t value);
    void setPropertyString(CamPropertyID property, const std::string& text);
    void setPropertyDesc(CamPropertyID property, const CamPropertyDesc& description);
    void setFocusInfo(const CamFocusInfo& focusInfo);

    // The 32-bit value of a property with a field, 0 for other IDs.
    uint32_t propertyUInt32(CamPropertyID property) const;
    // The allowed values of a kept list (0x436, 0x405, 0x406, 0x402, 0x403, 0x407, 0x100,
    // 0x50E, 0x106, 0x107, 0x114); an empty record for other IDs.
    CamPropertyDesc propertyDesc(CamPropertyID property) const;
    CamFocusInfo focusInfo() const { return read(*m_focusInfo); }

    std::string modelName() const { return read(m_modelName); }
    std::string bodyId() const { return read(m_bodyId); }
    uint32_t aeMode() const { return propertyUInt32(CAM_PROP_AE_MODE); }
    uint32_t av() const { return propertyUInt32(CAM_PROP_AV); }
    uint32_t tv() const { return propertyUInt32(CAM_PROP_TV); }
    uint32_t isoSpeed() const { return propertyUInt32(CAM_PROP_ISO_SPEED); }
    uint32_t meteringMode() const { return propertyUInt32(CAM_PROP_METERING_MODE); }
    uint32_t exposureCompensation() const { return propertyUInt32(CAM_PROP_EXPOSURE_COMPENSATION); }
    uint32_t imageQuality() const { return propertyUInt32(CAM_PROP_IMAGE_QUALITY); }
    uint32_t evfMode() const { return propertyUInt32(CAM_PROP_EVF_MODE); }
    uint32_t evfOutputDevice() const { return propertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE); }
    uint32_t evfDepthOfFieldPreview() const { return propertyUInt32(CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW); }
    uint32_t evfAfMode() const { return propertyUInt32(CAM_PROP_EVF_AF_MODE); }
    uint32_t whiteBalance() const { return propertyUInt32(CAM_PROP_WHITE_BALANCE); }
    uint32_t colorTemperature() const { return propertyUInt32(CAM_PROP_COLOR_TEMPERATURE); }
    uint32_t batteryLevel() const { return propertyUInt32(CAM_PROP_BATTERY_LEVEL); }
    uint32_t pictureStyle() const { return propertyUInt32(CAM_PROP_PICTURE_STYLE); }

    // Live-view geometry, stored from each live-view frame.
    uint32_t evfZoom() const { return read(m_evfZoom); }
    void setEvfZoom(uint32_t zoom) { write(m_evfZoom, zoom); }
    CamPoint evfZoomPosition() const { return read(m_evfZoomPosition); }
    void setEvfZoomPosition(CamPoint position) { write(m_evfZoomPosition, position); }
    CamRect evfZoomRect() const { return read(m_evfZoomRect); }
    void setEvfZoomRect(CamRect rect) { write(m_evfZoomRect, rect); }
    CamSize evfCoordinateSystem() const { return read(m_evfCoordinateSystem); }
    void setEvfCoordinateSystem(CamSize size) { write(m_evfCoordinateSystem, size); }

private:
    // A copy of a field, or a new value for it, under the field lock.
    template <typename Field>
    Field read(const Field& field) const
    {
        std::lock_guard guard(m_fieldsMutex);
        return field;
    }
    template <typename Field>
    void write(Field& field, const Field& value)
    {
        std::lock_guard guard(m_fieldsMutex);
        field = value;
    }

    CamCameraRef m_camera;
    mutable std::mutex m_fieldsMutex;
    std::string m_modelName;
    std::string m_bodyId;
    std::map<CamPropertyID, uint32_t> m_values;
    std::map<CamPropertyID, CamPropertyDesc> m_descriptions;
    std::unique_ptr<CamFocusInfo> m_focusInfo;
    uint32_t m_evfZoom = 0;
    CamPoint m_evfZoomPosition{};
    CamRect m_evfZoomRect{};
    CamSize m_evfCoordinateSystem{};
};

// An older body: its user interface is locked around property reads, writes and shots, and
// the session is opened the older way.
class CameraModelLegacy final : public CameraModel {
public:
    using CameraModel::CameraModel;
    bool isLegacy() const override { return true; }
};

// A legacy model for device subtype 0, else a current one. The camera handle is not owned.
std::shared_ptr<CameraModel> createCameraModel(CamCameraRef camera, const CamDeviceInfo& deviceInfo);

} // namespace camera
