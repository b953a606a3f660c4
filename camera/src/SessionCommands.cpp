// Opening and closing the camera session, the host's capacity and queued notifications.
//
// Threading: worker thread only.
#include "camera/SessionCommands.h"

#include "CameraCalls.h"
#include "camera/CameraModel.h"
#include "camera/PropertyCommands.h"

#include <utility>

namespace camera {
namespace {

// Room announced to a current camera so that it keeps shooting to the host.
constexpr CamCapacity hostCapacity{0x7FFFFFFF, 0x1000, 1};

} // namespace

bool OpenSessionCommand::execute()
{
    CameraModel& model = *m_model;
    CamError error = CamOpenSession(model.camera());
    if (error == CAM_ERR_OK) {
        error = calls::setProperty(model, CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST);
    }
    if (model.isLegacy()) {
        GetPropertyCommand(m_model, CAM_PROP_UNKNOWN, 0).execute();
        GetPropertyDescCommand(m_model, CAM_PROP_UNKNOWN).execute();
    } else {
        if (error == CAM_ERR_OK) {
            error = CamSendStatusCommand(model.camera(), CAM_STATUS_COMMAND_UI_LOCK, 0);
            if (error == CAM_ERR_OK) {
                error = CamSetCapacity(model.camera(), hostCapacity);
                CamSendStatusCommand(model.camera(), CAM_STATUS_COMMAND_UI_UNLOCK, 0);
            }
        }
        // Whatever happened above: prepare single shots and live view.
        calls::setProperty(model, CAM_PROP_DRIVE_MODE, 0);
        GetPropertyDescCommand(m_model, CAM_PROP_EVF_MODE).execute();
        GetPropertyCommand(m_model, CAM_PROP_EVF_MODE, 0).execute();
        GetPropertyCommand(m_model, CAM_PROP_EVF_OUTPUT_DEVICE, 0).execute();
        calls::setProperty(model, CAM_PROP_EVF_MODE, 1);
    }
    if (error == CAM_ERR_OK) {
        model.notifyObservers("CameraConnected");
    } else {
        calls::notifyError(model, error);
    }
    return true;
}

bool CloseSessionCommand::execute()
{
    CameraModel& model = *m_model;
    if (calls::currentOutputDevice(model) & CAM_EVF_OUTPUT_DEVICE_PC) {
        // The session closes whether or not live view could be ended.
        calls::switchLiveViewOutputOff(model);
    }
    if (const CamError error = CamCloseSession(model.camera()); error != CAM_ERR_OK) {
        calls::notifyError(model, error);
    }
    return true;
}

bool SetCapacityCommand::execute()
{
    if (m_model->isLegacy()) {
        return true;
    }
    if (const CamError error = CamSetCapacity(m_model->camera(), m_capacity); error != CAM_ERR_OK) {
        calls::notifyError(*m_model, error);
    }
    return true;
}

NotifyCommand::NotifyCommand(CameraModel* model, std::string name)
    : Command(model), m_event{std::move(name), nullptr}
{
}

NotifyCommand::NotifyCommand(CameraModel* model, std::string name, uint32_t errorCode)
    : Command(model), m_event{std::move(name), nullptr}, m_errorCode(errorCode)
{
    m_event.argument = &m_errorCode;
}

bool NotifyCommand::execute()
{
    m_model->notifyObservers(m_event);
    return true;
}

} // namespace camera
