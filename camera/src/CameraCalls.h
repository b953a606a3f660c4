// Small functions shared by the commands: property writes, the legacy user-interface lock and
// the failure notifications.
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
