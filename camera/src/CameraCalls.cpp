// Functions shared by the commands.
//
// Threading: worker thread only.
#include "CameraCalls.h"

namespace camera::calls {

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
