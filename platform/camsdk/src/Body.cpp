// Property storage and live-view geometry of one simulated body.
// Threading: guarded by the SDK's state lock.
#include "Body.h"

#include <algorithm>
#include <cstring>

namespace camsdk::detail {
namespace {

std::vector<uint8_t> bytesOf(const void* data, size_t size)
{
    const auto* begin = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(begin, begin + size);
}

std::vector<uint8_t> textBytes(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (bytes.size() > CAM_MAX_NAME - 1) {
        bytes.resize(CAM_MAX_NAME - 1);
    }
    bytes.push_back(0);
    return bytes;
}

} // namespace

Body::Body(sim::BodyConfig config) : m_config(std::move(config))
{
    const CamSize coordinates = coordinateSystem();
    const CamSize zoom = zoomSize();
    m_zoomPosition = {(coordinates.width - zoom.width) / 2, (coordinates.height - zoom.height) / 2};
}

std::optional<PropertyBytes> Body::read(CamPropertyID property) const
{
    switch (property) {
    case CAM_PROP_PRODUCT_NAME:
        return PropertyBytes{CAM_DATATYPE_STRING, textBytes(m_config.modelName)};
    case CAM_PROP_BODY_ID:
        return PropertyBytes{CAM_DATATYPE_STRING, textBytes(m_config.bodyId)};
    case CAM_PROP_FOCUS_INFO: {
        const CamFocusInfo info = focusInfo();
        return PropertyBytes{CAM_DATATYPE_FOCUS_INFO, bytesOf(&info, sizeof info)};
    }
    case CAM_PROP_EVF_ZOOM_POSITION:
        return PropertyBytes{CAM_DATATYPE_POINT, bytesOf(&m_zoomPosition, sizeof m_zoomPosition)};
    default:
        break;
    }
    const auto found = m_config.properties.find(property);
    if (found == m_config.properties.end()) {
        return std::nullopt;
    }
    const uint32_t value = found->second.value;
    return PropertyBytes{CAM_DATATYPE_UINT32, bytesOf(&value, sizeof value)};
}

CamError Body::write(CamPropertyID property, const void* data, uint32_t size)
{
    switch (property) {
    case CAM_PROP_PRODUCT_NAME:
    case CAM_PROP_BODY_ID:
    case CAM_PROP_FOCUS_INFO:
        return CAM_ERR_NOT_SUPPORTED;
    case CAM_PROP_EVF_ZOOM_POSITION: {
        if (size != sizeof(CamPoint)) {
            return CAM_ERR_INVALID_LENGTH;
        }
        CamPoint point{};
        std::memcpy(&point, data, sizeof point);
        m_zoomPosition = clampZoomPosition(point);
        return CAM_ERR_OK;
    }
    default:
        break;
    }
    const auto found = m_config.properties.find(property);
    if (found == m_config.properties.end()) {
        return CAM_ERR_PROPERTIES_UNAVAILABLE;
    }
    if (size != sizeof(uint32_t)) {
        return CAM_ERR_INVALID_LENGTH;
    }
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    const std::vector<uint32_t>& allowed = found->second.allowed;
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        return CAM_ERR_DEVICE_INVALID_PARAMETER;
    }
    found->second.value = value;
    return CAM_ERR_OK;
}

bool Body::describe(CamPropertyID property, CamPropertyDesc& desc) const
{
    desc = CamPropertyDesc{};
    if (!read(property)) {
        return false;
    }
    const auto found = m_config.properties.find(property);
    const bool writable = found != m_config.properties.end() || property == CAM_PROP_EVF_ZOOM_POSITION;
    desc.access = writable ? 1 : 0;
    if (found == m_config.properties.end()) {
        return true;
    }
    const std::vector<uint32_t>& allowed = found->second.allowed;
    const size_t count = std::min<size_t>(allowed.size(), CAM_MAX_PROPERTY_VALUES);
    desc.form = count > 0 ? 1 : 0;
    desc.numElements = static_cast<int32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        desc.propDesc[i] = static_cast<int32_t>(allowed[i]);
    }
    return true;
}

uint32_t Body::value(CamPropertyID property) const
{
    const auto found = m_config.properties.find(property);
    return found == m_config.properties.end() ? 0 : found->second.value;
}

bool Body::hasProperty(CamPropertyID property) const
{
    return read(property).has_value();
}

void Body::setValue(CamPropertyID property, uint32_t value)
{
    m_config.properties[property].value = value;
}

void Body::setAllowed(CamPropertyID property, std::vector<uint32_t> allowed)
{
    m_config.properties[property].allowed = std::move(allowed);
}

CamSize Body::coordinateSystem() const
{
    return {m_config.shotWidth, m_config.shotHeight};
}

CamSize Body::zoomSize() const
{
    const CamSize coordinates = coordinateSystem();
    return {coordinates.width / 5, coordinates.height / 5};
}

CamRect Body::zoomRect() const
{
    return {m_zoomPosition, zoomSize()};
}

CamPoint Body::clampZoomPosition(CamPoint point) const
{
    const CamSize coordinates = coordinateSystem();
    const CamSize zoom = zoomSize();
    return {std::clamp(point.x, 0, std::max(0, coordinates.width - zoom.width)),
            std::clamp(point.y, 0, std::max(0, coordinates.height - zoom.height))};
}

// A 3 x 3 grid of autofocus points over the middle of the frame; the centre one is selected.
CamFocusInfo Body::focusInfo() const
{
    CamFocusInfo info{};
    const CamSize coordinates = coordinateSystem();
    info.imageRect = {{0, 0}, coordinates};
    const int32_t width = coordinates.width / 12;
    const int32_t height = coordinates.height / 10;
    uint32_t index = 0;
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 3; ++column) {
            CamFocusPoint& point = info.focusPoint[index];
            point.valid = 1;
            point.selected = index == 4 ? 1 : 0;
            point.justFocus = (index == 4 && m_justFocus) ? 1 : 0;
            point.rect = {{coordinates.width * column / 4 - width / 2,
                           coordinates.height * row / 4 - height / 2},
                          {width, height}};
            ++index;
        }
    }
    info.pointNumber = index;
    info.executeMode = 0;
    return info;
}

} // namespace camsdk::detail
