// The camera model's fields and setters.
//
// Threading: see CameraModel.h.
#include "camera/CameraModel.h"

#include <cstdlib>

namespace camera {
namespace {

constexpr std::size_t maxTextLength = CAM_MAX_NAME - 1;

constexpr CamPropertyID valueProperties[] = {
    CAM_PROP_AE_MODE, CAM_PROP_AV, CAM_PROP_TV, CAM_PROP_ISO_SPEED, CAM_PROP_METERING_MODE,
    CAM_PROP_EXPOSURE_COMPENSATION, CAM_PROP_IMAGE_QUALITY, CAM_PROP_EVF_MODE,
    CAM_PROP_EVF_OUTPUT_DEVICE, CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, CAM_PROP_EVF_AF_MODE,
    CAM_PROP_WHITE_BALANCE, CAM_PROP_COLOR_TEMPERATURE, CAM_PROP_BATTERY_LEVEL,
    CAM_PROP_PICTURE_STYLE};

constexpr CamPropertyID descriptionProperties[] = {
    CAM_PROP_AE_MODE, CAM_PROP_AV, CAM_PROP_TV, CAM_PROP_ISO_SPEED, CAM_PROP_METERING_MODE,
    CAM_PROP_EXPOSURE_COMPENSATION, CAM_PROP_IMAGE_QUALITY, CAM_PROP_EVF_AF_MODE,
    CAM_PROP_WHITE_BALANCE, CAM_PROP_COLOR_TEMPERATURE, CAM_PROP_PICTURE_STYLE};

// A body ID reported as a negative number is kept as the same 32-bit pattern read unsigned.
std::string unsignedBodyId(const std::string& text)
{
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    return std::to_string(static_cast<uint32_t>(static_cast<int32_t>(number)));
}

} // namespace

CameraModel::CameraModel(CamCameraRef camera)
    : m_camera(camera), m_focusInfo(std::make_unique<CamFocusInfo>())
{
    for (CamPropertyID property : valueProperties) {
        m_values[property] = 0;
    }
    for (CamPropertyID property : descriptionProperties) {
        m_descriptions[property] = CamPropertyDesc{};
    }
}

void CameraModel::setPropertyUInt32(CamPropertyID property, uint32_t value)
{
    std::lock_guard guard(m_fieldsMutex);
    if (auto field = m_values.find(property); field != m_values.end()) {
        field->second = value;
    }
}

void CameraModel::setPropertyString(CamPropertyID property, const std::string& text)
{
    const std::string stored = text.substr(0, maxTextLength);
    std::lock_guard guard(m_fieldsMutex);
    if (property == CAM_PROP_PRODUCT_NAME) {
        m_modelName = stored;
    } else if (property == CAM_PROP_BODY_ID) {
        m_bodyId = stored.starts_with('-') ? unsignedBodyId(stored) : stored;
    }
}

void CameraModel::setPropertyDesc(CamPropertyID property, const CamPropertyDesc& description)
{
    std::lock_guard guard(m_fieldsMutex);
    if (auto field = m_descriptions.find(property); field != m_descriptions.end()) {
        field->second = description;
    }
}

void CameraModel::setFocusInfo(const CamFocusInfo& focusInfo)
{
    write(*m_focusInfo, focusInfo);
}

uint32_t CameraModel::propertyUInt32(CamPropertyID property) const
{
    std::lock_guard guard(m_fieldsMutex);
    const auto field = m_values.find(property);
    return field != m_values.end() ? field->second : 0;
}

CamPropertyDesc CameraModel::propertyDesc(CamPropertyID property) const
{
    std::lock_guard guard(m_fieldsMutex);
    const auto field = m_descriptions.find(property);
    return field != m_descriptions.end() ? field->second : CamPropertyDesc{};
}

std::shared_ptr<CameraModel> createCameraModel(CamCameraRef camera, const CamDeviceInfo& deviceInfo)
{
    if (deviceInfo.deviceSubType == 0) {
        return std::make_shared<CameraModelLegacy>(camera);
    }
    return std::make_shared<CameraModel>(camera);
}

} // namespace camera
