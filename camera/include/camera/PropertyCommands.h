// Commands that read camera properties and their allowed values into the model, and write
// properties to the camera.
//
// Threading: executed on the processor's worker thread only.
#pragma once

#include "camera/Command.h"

#include <camsdk/CamSdk.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace camera {

// 0xFFFF as a property ID: every shown property, in this order.
inline constexpr std::array<CamPropertyID, 8> shownProperties{
    CAM_PROP_AE_MODE, CAM_PROP_TV, CAM_PROP_AV, CAM_PROP_ISO_SPEED,
    CAM_PROP_METERING_MODE, CAM_PROP_EXPOSURE_COMPENSATION, CAM_PROP_IMAGE_QUALITY,
    CAM_PROP_WHITE_BALANCE};

class GetPropertyCommand final : public Command {
public:
    static constexpr int32_t busyAttemptLimit = 10;
    static constexpr int32_t unavailableAttemptLimit = 5;

    GetPropertyCommand(CameraModel* model, CamPropertyID property, int32_t parameter)
        : Command(model), m_property(property), m_parameter(parameter) {}
    bool execute() override;

    int32_t attempts() const { return m_attempts; }

private:
    CamError read(CamPropertyID property, int32_t parameter);

    CamPropertyID m_property;
    int32_t m_parameter;
    int32_t m_attempts = 0;
};

class GetPropertyDescCommand final : public Command {
public:
    GetPropertyDescCommand(CameraModel* model, CamPropertyID property)
        : Command(model), m_property(property) {}
    bool execute() override;

private:
    CamError read(CamPropertyID property);

    CamPropertyID m_property;
};

// Writes a 32-bit value (4 bytes) or a point (8 bytes); the model learns the new value only
// from the camera's property event. A later write of the same property cancels a pending
// retry of this one.
// The setting key of writes to one property.
std::string propertySettingKey(CamPropertyID property);

template <typename Value>
class SetPropertyCommand final : public Command {
public:
    SetPropertyCommand(CameraModel* model, CamPropertyID property, Value value)
        : Command(model), m_property(property), m_value(value) {}
    bool execute() override;
    std::optional<std::string> settingKey() const override { return propertySettingKey(m_property); }

    CamPropertyID property() const { return m_property; }
    Value value() const { return m_value; }

private:
    CamPropertyID m_property;
    Value m_value;
};

extern template class SetPropertyCommand<uint32_t>;
extern template class SetPropertyCommand<CamPoint>;

} // namespace camera
