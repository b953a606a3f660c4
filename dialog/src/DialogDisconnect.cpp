// The capture dialog's disconnect handling: when the camera is lost the dialog disables
// itself, ends its use of the camera, counts down in its message line and ends with the
// reconnect result, on which the acquisition starts again.
//
// Threading: UI thread.
#include <hosting/WaitCursor.h>
#include "dialog/CameraControlDlg.h"

#include <controls/EvfPictureBox.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace dialog {

void CCameraControlDlg::OnCameraDisconnected()
{
    hosting::WaitCursor waitCursor;
    m_connected = false;
    m_liveViewOn = false;
    m_liveViewToHost = false;
    // The last frame stays in view, but nobody may take it for the live picture.
    m_liveView->SetFrozen(true);
    UpdateControls();
    for (const int timerId : {2, 3, 1, 101}) {
        KillTimer(timerId);
    }
    Log("DLG OnCameraDisconnected", m_closing ? "" : "fireEvent(closing)", 1);
    FireClosingOnce();
    // Computed wide: the setting may hold any 32-bit value when set other than by the reader.
    m_reconnectCountdown = static_cast<int32_t>(std::clamp<int64_t>(int64_t{m_settings.ED_DisconnectTimer} + 1, 1,
                                                                    std::numeric_limits<int32_t>::max()));
    StartTimer(4, 0);
}

void CCameraControlDlg::OnReconnectTick()
{
    KillTimer(4);
    --m_reconnectCountdown;
    if (m_reconnectCountdown <= 0) {
        done(kResultReconnect);
        return;
    }
    const auto showCountdown = [this] {
        char text[96];
        std::snprintf(text, sizeof text, "Camera disconnected\r\nAttempting to reconnect in %d", m_reconnectCountdown);
        SetErrorMsg(text, true);
    };
    showCountdown();
    if (int64_t{m_reconnectCountdown} == int64_t{m_settings.ED_DisconnectTimer} - 1) {
        --m_reconnectCountdown;
        showCountdown();
    }
    StartTimer(4, m_timings.reconnectTickMs);
}

} // namespace dialog
