// Property reads into the model and property writes to the camera.
//
// Threading: worker thread only.
#include "camera/PropertyCommands.h"

#include "CameraCalls.h"
#include "camera/CameraModel.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace camera {
namespace {

constexpr CamError lowBits(CamError error)
{
    return error & 0xFFFFu;
}

} // namespace

bool GetPropertyCommand::execute()
{
    CamError error = CAM_ERR_OK;
    {
        calls::LegacyUiLock uiLock(*m_model);
        error = uiLock.error();
        // A lock that fails is not a read and does not count as an attempt.
        if (error == CAM_ERR_OK) {
            error = read(m_property, m_parameter);
            ++m_attempts;
        }
    }
    if (error == CAM_ERR_OK) {
        return true;
    }
    if (lowBits(error) == CAM_ERR_DEVICE_BUSY && m_attempts <= busyAttemptLimit) {
        calls::notifyBusy(*m_model);
        return false;
    }
    if (lowBits(error) == CAM_ERR_PROPERTIES_UNAVAILABLE) {
        if (m_property == CAM_PROP_FOCUS_INFO) {
            return true;
        }
        if (m_attempts <= unavailableAttemptLimit) {
            return false;
        }
    }
    calls::notifyError(*m_model, error);
    return true;
}

CamError GetPropertyCommand::read(CamPropertyID property, int32_t parameter)
{
    if (property == CAM_PROP_UNKNOWN) {
        for (CamPropertyID shown : shownProperties) {
            if (CamError error = read(shown, 0); error != CAM_ERR_OK) {
                return error;
            }
        }
        return CAM_ERR_OK;
    }
    const CamCameraRef camera = m_model->camera();
    CamDataType dataType = CAM_DATATYPE_UNKNOWN;
    uint32_t size = 0;
    CamError error = CamGetPropertySize(camera, property, parameter, &dataType, &size);
    if (error != CAM_ERR_OK) {
        return error;
    }
    if (dataType == CAM_DATATYPE_UINT32 || dataType == CAM_DATATYPE_INT32) {
        uint32_t value = 0;
        error = CamGetPropertyData(camera, property, parameter, sizeof value, &value);
        if (error == CAM_ERR_OK) {
            m_model->setPropertyUInt32(property, value);
        }
    } else if (dataType == CAM_DATATYPE_STRING) {
        char text[CAM_MAX_NAME] = {};
        const uint32_t textSize = std::min<uint32_t>(size, CAM_MAX_NAME);
        error = CamGetPropertyData(camera, property, parameter, textSize, text);
        if (error == CAM_ERR_OK) {
            m_model->setPropertyString(property, std::string(text, strnlen(text, sizeof text)));
        }
    } else if (dataType == CAM_DATATYPE_FOCUS_INFO) {
        auto focusInfo = std::make_unique<CamFocusInfo>();
        error = CamGetPropertyData(camera, property, parameter, sizeof(CamFocusInfo), focusInfo.get());
        if (error != CAM_ERR_OK) {
            return error;
        }
        m_model->setFocusInfo(*focusInfo);
    }
    if (error == CAM_ERR_OK) {
        m_model->notifyObservers("PropertyChanged", &property);
    }
    return error;
}

bool GetPropertyDescCommand::execute()
{
    CamError error = CAM_ERR_OK;
    {
        calls::LegacyUiLock uiLock(*m_model);
        error = uiLock.error();
        if (error == CAM_ERR_OK) {
            error = read(m_property);
        }
    }
    if (error == CAM_ERR_OK) {
        return true;
    }
    if (lowBits(error) == CAM_ERR_DEVICE_BUSY) {
        calls::notifyBusy(*m_model);
        return false;
    }
    calls::notifyError(*m_model, error);
    return true;
}

CamError GetPropertyDescCommand::read(CamPropertyID property)
{
    if (property == CAM_PROP_UNKNOWN) {
        for (CamPropertyID shown : shownProperties) {
            if (CamError error = read(shown); error != CAM_ERR_OK) {
                return error;
            }
        }
        return CAM_ERR_OK;
    }
    CamPropertyDesc description{};
    const CamError error = CamGetPropertyDesc(m_model->camera(), property, &description);
    if (error == CAM_ERR_OK) {
        m_model->setPropertyDesc(property, description);
        m_model->notifyObservers("PropertyDescChanged", &property);
    }
    return error;
}

std::string propertySettingKey(CamPropertyID property)
{
    return "property " + std::to_string(property);
}

template <typename Value>
bool SetPropertyCommand<Value>::execute()
{
    CamError error = CAM_ERR_OK;
    {
        calls::LegacyUiLock uiLock(*m_model);
        error = uiLock.error();
        if (error == CAM_ERR_OK) {
            error = CamSetPropertyData(m_model->camera(), m_property, 0, sizeof m_value, &m_value);
        }
    }
    return calls::finishedUnlessBusy(*m_model, error);
}

template class SetPropertyCommand<uint32_t>;
template class SetPropertyCommand<CamPoint>;

} // namespace camera
