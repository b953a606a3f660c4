// Small functions shared by the commands: property writes, the end of live-view output, the
// legacy user-interface lock and the failure notifications.
//
// Threading: used on the processor's worker thread only.
#pragma once

#include "camera/CameraModel.h"

#include <camsdk/CamSdk.h>

#include <cstdint>

namespace camera::calls {

CamError setProperty(CameraModel& model, CamPropertyID property, uint32_t value);

void notifyError(CameraModel& model, CamError error);
void notifyBusy(CameraModel& model);

// Announces a failure: "DeviceBusy" when the whole code is busy, else "error"; nothing for 0.
void reportFailure(CameraModel& model, CamError error);
// Reports a failure and tells whether the command is finished: busy asks to run again.
bool finishedUnlessBusy(CameraModel& model, CamError error);

// The live-view output device as the camera holds it now: the model's copy lags behind a write
// until the camera's change event has come back. The model's copy when the camera cannot say.
uint32_t currentOutputDevice(CameraModel& model);

// Whether a failure can clear by waiting: not for a closed session, a camera that is gone, a
// dead handle or something the camera does not do.
bool mayClearByWaiting(CamError error);

// Switches the depth-of-field preview off when it is on (then lets the camera settle for
// 500 ms) and, if that worked, the live-view output. Returns the first failure.
CamError switchLiveViewOutputOff(CameraModel& model);

// Locks the user interface of a legacy camera for its lifetime; does nothing for other models.
// The unlock is sent only when the lock succeeded.
class LegacyUiLock final {
public:
    explicit LegacyUiLock(CameraModel& model);
    ~LegacyUiLock();
    LegacyUiLock(const LegacyUiLock&) = delete;
    LegacyUiLock& operator=(const LegacyUiLock&) = delete;

    // The lock's result; 0 also when no lock was needed.
    CamError error() const { return m_error; }

private:
    CameraModel& m_model;
    bool m_locked = false;
    CamError m_error = CAM_ERR_OK;
};

} // namespace camera::calls
