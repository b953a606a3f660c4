// Functions shared by the commands.
//
// Threading: worker thread only.
#include "CameraCalls.h"

#include <chrono>
#include <thread>

namespace camera::calls {
namespace {

constexpr std::chrono::milliseconds depthOfFieldSettle{500};

} // namespace

CamError setProperty(CameraModel& model, CamPropertyID property, uint32_t value)
{
    return CamSetPropertyData(model.camera(), property, 0, sizeof value, &value);
}

void notifyError(CameraModel& model, CamError error)
{
    model.notifyObservers("error", &error);
}

void notifyBusy(CameraModel& model)
{
    model.notifyObservers("DeviceBusy");
}

void reportFailure(CameraModel& model, CamError error)
{
    if (error == CAM_ERR_DEVICE_BUSY) {
        notifyBusy(model);
    } else if (error != CAM_ERR_OK) {
        notifyError(model, error);
    }
}

bool finishedUnlessBusy(CameraModel& model, CamError error)
{
    reportFailure(model, error);
    return error != CAM_ERR_DEVICE_BUSY;
}

uint32_t currentOutputDevice(CameraModel& model)
{
    uint32_t device = 0;
    if (CamGetPropertyData(model.camera(), CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof device, &device) != CAM_ERR_OK) {
        return model.evfOutputDevice();
    }
    return device;
}

bool mayClearByWaiting(CamError error)
{
    switch (error) {
    case CAM_ERR_SESSION_NOT_OPEN:
    case CAM_ERR_COMM_DISCONNECTED:
    case CAM_ERR_DEVICE_NOT_FOUND:
    case CAM_ERR_INVALID_HANDLE:
    case CAM_ERR_NOT_SUPPORTED:
    case CAM_ERR_UNIMPLEMENTED:
        return false;
    default:
        return true;
    }
}

CamError switchLiveViewOutputOff(CameraModel& model)
{
    if (model.evfDepthOfFieldPreview() != 0) {
        if (const CamError error = setProperty(model, CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 0); error != CAM_ERR_OK) {
            return error;
        }
        std::this_thread::sleep_for(depthOfFieldSettle);
    }
    return setProperty(model, CAM_PROP_EVF_OUTPUT_DEVICE, 0);
}

LegacyUiLock::LegacyUiLock(CameraModel& model) : m_model(model)
{
    if (model.isLegacy()) {
        m_error = CamSendStatusCommand(model.camera(), CAM_STATUS_COMMAND_UI_LOCK, 0);
        m_locked = m_error == CAM_ERR_OK;
    }
}

LegacyUiLock::~LegacyUiLock()
{
    if (m_locked) {
        CamSendStatusCommand(m_model.camera(), CAM_STATUS_COMMAND_UI_UNLOCK, 0);
    }
}

} // namespace camera::calls
