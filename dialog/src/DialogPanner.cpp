// The capture dialog's pan-tilt head: found through the hub library when configured, moved
// while a direction button is held at the speed of the slider, and released when the dialog
// ends.
//
// Threading: UI thread (the hub library is called from nowhere else).
#include "dialog/CameraControlDlg.h"

#include <controls/RoundButton.h>

#include <QSignalBlocker>
#include <QSlider>

#include <cstdio>

namespace dialog {
namespace {

// The PT_Move direction value of a direction code; 0 for any other code.
int32_t directionValue(int code)
{
    switch (code) {
    case 1:
        return 1;
    case 2:
        return 8;
    case 3:
        return 2;
    case 4:
        return 4;
    default:
        return 0;
    }
}

// Index into m_panDirection of a pan button: Up 1085, Down 1087, Left 1088, Right 1086.
int directionIndex(int id)
{
    switch (id) {
    case 1085:
        return 0;
    case 1087:
        return 1;
    case 1088:
        return 2;
    case 1086:
        return 3;
    default:
        return -1;
    }
}

} // namespace

void CCameraControlDlg::ShowBlinkingMessage(const char* text, int clearAfterMs)
{
    SetErrorMsg(text, true);
    m_blinkCount = 4;
    StartTimer(2, m_timings.blinkMs);
    StartTimer(3, clearAfterMs);
}

bool CCameraControlDlg::InitPanControl()
{
    m_pannerConnected = false;
    if (!m_settings.CC_PanTabVisible || !m_ptHub.Load()) {
        return false;
    }
    const char** serialCodes = nullptr;
    uint32_t count = 0;
    const int32_t status = m_ptHub.PT_ListDevices(&serialCodes, &count);
    const char* firstSerial = status == 0 && count >= 1 && serialCodes && serialCodes[0] ? serialCodes[0] : "";
    char text[512];
    std::snprintf(text, sizeof text, "InitPanControl: PT_ListDevices => status: %d  numDevices: %u  serialCode: %s",
                  status, count, status == 0 ? firstSerial : "");
    Log("DLG InitPanControl", text, 4);
    if (status == 0 && count >= 1) {
        const int32_t connected = m_ptHub.PT_ConnectDevice(firstSerial, &m_panHandle);
        std::snprintf(text, sizeof text, "InitPanControl: PT_ConnectDevice => status: %d  handle: %ld", connected,
                      static_cast<long>(m_panHandle));
        Log("DLG InitPanControl", text, 4);
        if (connected == 0 && m_panHandle != 0) {
            m_pannerConnected = true;
            uint32_t voltage = 0;
            if (m_ptHub.PT_GetBatteryVoltage(m_panHandle, &voltage) != 0 || voltage < 1000) {
                ShowBlinkingMessage("Please make sure that the panner has power", m_timings.pannerMessageClearMs);
            }
            m_ptHub.PT_SetSpeed(m_panHandle, 500);
            const QSignalBlocker quiet(m_panSpeed);
            m_panSpeed->setRange(0, 100);
            m_panSpeed->setValue(50);
        }
    } else {
        ShowBlinkingMessage("No panner detected", m_timings.pannerMessageClearMs);
    }
    SetPannerOrientation(m_settings.CC_PannerRotation, m_settings.CC_PannerInverted);
    return m_pannerConnected;
}

void CCameraControlDlg::SetPannerOrientation(int rotation, bool inverted)
{
    struct Orientation {
        int rotation;
        int up, down, left, right, leftInverted, rightInverted;
    };
    static constexpr Orientation table[] = {
        {0, 1, 3, 4, 2, 2, 4}, {90, 4, 2, 3, 1, 1, 3}, {180, 3, 1, 2, 4, 4, 2}, {270, 2, 4, 1, 3, 3, 1}};
    m_pannerRotation = rotation;
    m_pannerInverted = inverted;
    for (const Orientation& row : table) {
        if (row.rotation == rotation) {
            m_panDirection = {row.up, row.down, inverted ? row.leftInverted : row.left,
                              inverted ? row.rightInverted : row.right};
        }
    }
}

int CCameraControlDlg::PanSpeedFromSlider() const
{
    return ((100 - m_panSpeed->value()) * 1023) / 100;
}

void CCameraControlDlg::OnPanButtonDown(int id)
{
    StartPan(id);
    m_panButtonHeld = true;
}

void CCameraControlDlg::OnPanButtonUp(int id)
{
    StopPan(id);
    m_panButtonHeld = false;
}

bool CCameraControlDlg::StartPan(int id)
{
    if (m_activePanButton == id) {
        return true;
    }
    if (m_activePanButton != 0) {
        StopPan(m_activePanButton);
    }
    auto* button = static_cast<controls::CRoundButton*>(item(id));
    button->setDown(true);
    const int index = directionIndex(id);
    if (PanMove(index >= 0 ? m_panDirection[static_cast<size_t>(index)] : 0, PanSpeedFromSlider())) {
        m_activePanButton = id;
    }
    return true;
}

void CCameraControlDlg::StopPan(int id)
{
    if (id == 0 || id != m_activePanButton) {
        return;
    }
    if (m_panHandle != 0) {
        m_ptHub.PT_Move(m_panHandle, 0, -1);
    }
    m_activePanButton = 0;
    static_cast<controls::CRoundButton*>(item(id))->setDown(false);
}

bool CCameraControlDlg::PanMove(int code, int speed)
{
    if (m_panHandle == 0) {
        return true;
    }
    if (speed >= 0) {
        m_ptHub.PT_SetSpeed(m_panHandle, speed);
        if (code >= 1 && code <= 4) {
            m_ptHub.PT_Move(m_panHandle, directionValue(code), -1);
        }
    } else {
        m_ptHub.PT_Move(m_panHandle, 0, -1);
    }
    return true;
}

void CCameraControlDlg::OnPanSpeedChanged(int position)
{
    m_panSpeedShown = 100 - position;
    char text[64];
    std::snprintf(text, sizeof text, "Pan speed: %d", m_panSpeedShown);
    SetErrorMsg(text, true);
    StartTimer(3, m_timings.panSpeedMessageClearMs);
}

void CCameraControlDlg::ClosePanner()
{
    if (m_panHandle != 0) {
        m_ptHub.PT_CloseDevice(m_panHandle);
        m_ptHub.Unload();
        m_panHandle = 0;
        m_pannerConnected = false;
    }
}

} // namespace dialog
