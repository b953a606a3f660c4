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
    const CamError error = advance();
    if ((error == CAM_ERR_DEVICE_BUSY || error == CAM_ERR_OBJECT_NOTREADY) && m_retries < transientRetryLimit) {
        ++m_retries;
        if (error == CAM_ERR_DEVICE_BUSY) {
            calls::notifyBusy(model);
        }
        return false;
    }
    prepare();
    if (error == CAM_ERR_OK) {
        model.notifyObservers("CameraConnected");
    } else {
        calls::notifyError(model, error);
    }
    return true;
}

CamError OpenSessionCommand::advance()
{
    CameraModel& model = *m_model;
    if (m_step == Step::OpenSession) {
        // Opening again an open session would make the camera report all its settings twice.
        if (const CamError error = CamOpenSession(model.camera())) {
            return error;
        }
        m_step = Step::SaveToHost;
    }
    if (m_step == Step::SaveToHost) {
        if (const CamError error = calls::setProperty(model, CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST)) {
            return error;
        }
        m_step = model.isLegacy() ? Step::Done : Step::HostCapacity;
    }
    if (m_step == Step::HostCapacity) {
        if (const CamError error = CamSendStatusCommand(model.camera(), CAM_STATUS_COMMAND_UI_LOCK, 0)) {
            return error;
        }
        const CamError error = CamSetCapacity(model.camera(), hostCapacity);
        CamSendStatusCommand(model.camera(), CAM_STATUS_COMMAND_UI_UNLOCK, 0);
        if (error != CAM_ERR_OK) {
            return error;
        }
        m_step = Step::Done;
    }
    return CAM_ERR_OK;
}

void OpenSessionCommand::prepare()
{
    if (m_model->isLegacy()) {
        GetPropertyCommand(m_model, CAM_PROP_UNKNOWN, 0).execute();
        GetPropertyDescCommand(m_model, CAM_PROP_UNKNOWN).execute();
        return;
    }
    // Whatever happened before: prepare single shots and live view.
    CameraModel& model = *m_model;
    calls::setProperty(model, CAM_PROP_DRIVE_MODE, 0);
    GetPropertyDescCommand(m_model, CAM_PROP_EVF_MODE).execute();
    GetPropertyCommand(m_model, CAM_PROP_EVF_MODE, 0).execute();
    GetPropertyCommand(m_model, CAM_PROP_EVF_OUTPUT_DEVICE, 0).execute();
    calls::setProperty(model, CAM_PROP_EVF_MODE, 1);
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
