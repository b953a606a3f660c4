// The capture dialog's live view and focus: following the camera's live-view state, the
// ten-minute auto-off, the image rotation and the focus-box buttons, which repeat while held
// and move the focus box in the direction the operator sees in the turned picture.
//
// Threading: UI thread.
#include "dialog/CameraControlDlg.h"

#include <controls/EvfPictureBox.h>
#include <controls/RoundButton.h>
#include <controls/ActionButtons.h>
#include <imaging/ImageCtrl.h>

#include <QComboBox>

#include <cstdio>

namespace dialog {
namespace {

// The action each focus-box button fires (Up, Left, Right, Down) for a rotation of the picture.
// The picture box turns a frame by its rotation against the clock, as the imaging control
// turns pictures: at 90 the camera's right edge is at the top of the screen, so Up moves the
// box to the camera's right.
struct FocusBoxActions {
    int rotation;
    const char* up;
    const char* left;
    const char* right;
    const char* down;
};
constexpr FocusBoxActions kFocusBoxActions[] = {
    {0, "evfFocusBox_Up", "evfFocusBox_Left", "evfFocusBox_Right", "evfFocusBox_Down"},
    {90, "evfFocusBox_Right", "evfFocusBox_Up", "evfFocusBox_Down", "evfFocusBox_Left"},
    {180, "evfFocusBox_Down", "evfFocusBox_Right", "evfFocusBox_Left", "evfFocusBox_Up"},
    {270, "evfFocusBox_Left", "evfFocusBox_Down", "evfFocusBox_Up", "evfFocusBox_Right"},
};

} // namespace

void CCameraControlDlg::UpdateLiveViewState()
{
    const uint32_t mode = m_model->evfMode();
    const uint32_t device = m_model->evfOutputDevice();
    bool toHost = false;
    if (mode != 0) {
        m_liveViewOn = true;
        toHost = (device & CAM_EVF_OUTPUT_DEVICE_PC) != 0;
        if (toHost) {
            m_liveViewToHost = true;
            m_showLiveViewLabel = false;
            StartTimer(1, m_timings.liveViewAutoOffMs);
        }
    } else {
        m_liveViewOn = false;
        SetErrorMsg("Live View must be enabled!", true);
    }
    if (!toHost) {
        KillTimer(1);
        m_liveViewToHost = false;
        m_showLiveViewLabel = true;
    }
    m_liveView->setVisible(m_liveViewToHost);
}

void CCameraControlDlg::OnLiveViewAutoOff()
{
    KillTimer(1);
    fireAction("evfAfOff", nullptr);
    fireAction("endEVF", nullptr);
    if (m_connected) {
        char text[400];
        std::snprintf(text, sizeof text,
                      "Live View was turned off after %d minutes to protect the camera sensor. You may resume Live "
                      "View when you are ready to take a picture via the %s button.",
                      10, m_settings.ED_TPLabel_LV.c_str());
        SetErrorMsg(text, true);
    }
    UpdateControls();
}

void CCameraControlDlg::OnRotationChanged()
{
    static constexpr int rotations[] = {0, 90, 180, 270};
    const int index = m_rotationCombo->currentIndex();
    m_rotation = index >= 1 && index <= 3 ? rotations[index] : 0;
    ApplyFocusBoxRotation(m_rotation);
}

void CCameraControlDlg::ApplyFocusBoxRotation(int degrees)
{
    for (const FocusBoxActions& actions : kFocusBoxActions) {
        if (actions.rotation != degrees) {
            continue;
        }
        const std::pair<int, const char*> buttons[] = {
            {1076, actions.up}, {1077, actions.left}, {1078, actions.right}, {1079, actions.down}};
        for (const auto& [id, action] : buttons) {
            static_cast<controls::CRoundActionButton*>(item(id))->setActionCommand(action);
        }
    }
    m_liveView->SetRotation(degrees);
}

void CCameraControlDlg::OnFocusBoxButtonDown(int id)
{
    m_focusBoxButton = id;
    m_focusBoxRepeat = true;
    StartTimer(101, 0);
}

void CCameraControlDlg::OnFocusBoxButtonUp(int /*id*/)
{
    KillTimer(101);
    m_focusBoxRepeat = false;
}

void CCameraControlDlg::OnFocusBoxRepeat()
{
    KillTimer(101);
    // The buttons have no listener of their own, so that their click on release moves nothing:
    // the dialog fires the held button's action for it.
    if (auto* button = dynamic_cast<controls::CRoundActionButton*>(item(m_focusBoxButton))) {
        fireAction(button->actionCommand(), nullptr);
    }
    StartTimer(101, m_timings.focusBoxRepeatMs);
}

} // namespace dialog
