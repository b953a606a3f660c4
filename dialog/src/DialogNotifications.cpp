// The capture dialog's notification routing: `update` turns each model notification into a
// registered message posted to the dialog, and the handlers do the work on the dialog's
// thread: connection (with the configured camera values), property changes, download start
// and progress, and capture errors.
//
// Threading: `update` on any thread (posts only); everything else on the UI thread.
#include "DialogMessages.h"
#include <hosting/WaitCursor.h>
#include "dialog/CameraControlDlg.h"

#include <camera/ErrorText.h>
#include <config/LogFile.h>
#include <controls/EvfPictureBox.h>
#include <controls/RoundButton.h>
#include <controls/SettingComboBoxes.h>
#include <imaging/ImageCtrl.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <cstdio>

namespace dialog {
namespace {

void post(QObject* receiver, const char* name, uint32_t value, std::string text = {})
{
    QCoreApplication::postEvent(receiver, new DialogMessage(controls::registeredMessage(name), value, std::move(text)));
}

const uint32_t* numberOf(const camera::ModelEvent& event)
{
    return static_cast<const uint32_t*>(event.argument);
}

std::string textOf(const camera::ModelEvent& event)
{
    return event.argument ? std::string(static_cast<const char*>(event.argument)) : std::string();
}

} // namespace

DialogMessage::DialogMessage(QEvent::Type type, uint32_t value, std::string text)
    : QEvent(type), m_value(value), m_text(std::move(text))
{
}

void CCameraControlDlg::update(camera::Observable* /*observable*/, const camera::ModelEvent& event)
{
    using namespace controls::message;
    const std::string& name = event.name;
    if (name == "PropertyChanged" && numberOf(event)) {
        post(this, propertyChanged, *numberOf(event));
    }
    if (name == "DownloadStart") {
        Log("DLG update", "DownloadStart", 5);
        post(this, downloadStart, 0, textOf(event));
    }
    if (name == "DownloadComplete") {
        post(this, downloadComplete, 0, textOf(event));
        Log("DLG update", "DownloadComplete", 5);
    }
    if (name == "ProgressReport" && numberOf(event)) {
        post(this, progressReport, *numberOf(event));
    }
    if (name == "shutDown") {
        post(this, cameraDisconnected, 0);
        Log("DLG update", "shutDown", 5);
    }
    if (name == "CameraConnected") {
        post(this, cameraConnected, 0);
        Log("DLG update", "CameraConnected", 5);
    }
    if (name == "error" && numberOf(event)) {
        const uint32_t code = *numberOf(event);
        post(this, captureError, code);
        char text[32];
        std::snprintf(text, sizeof text, "error [%X]", code & 0xFFFFu);
        Log("DLG update", text, 5);
    }
}

bool CCameraControlDlg::event(QEvent* event)
{
    using namespace controls::message;
    const QEvent::Type type = event->type();
    if (type == controls::ButtonNotifyEvent::eventType()) {
        const auto* notify = static_cast<controls::ButtonNotifyEvent*>(event);
        const int id = notify->controlId();
        const bool pressed = notify->code() == controls::ButtonNotifyEvent::pressed;
        if (id >= 1076 && id <= 1079) {
            pressed ? OnFocusBoxButtonDown(id) : OnFocusBoxButtonUp(id);
        } else if (id >= 1085 && id <= 1088) {
            pressed ? OnPanButtonDown(id) : OnPanButtonUp(id);
        }
        return true;
    }
    if (HandlePortraitEvent(event)) {
        return true;
    }
    const auto* message = dynamic_cast<DialogMessage*>(event);
    if (!message) {
        return QDialog::event(event);
    }
    if (m_ended) {
        // Queued before the dialog ended: a picture that arrives now is not the operator's to
        // add (the acquisition removes its file), and nothing may end the dialog twice.
        return true;
    }
    if (type == controls::registeredMessage(downloadStart)) {
        OnDownloadStart(message->text());
    } else if (type == controls::registeredMessage(downloadComplete)) {
        OnDownloadComplete(message->text());
    } else if (type == controls::registeredMessage(progressReport)) {
        OnProgressReport(static_cast<int>(message->value()));
    } else if (type == controls::registeredMessage(cameraConnected)) {
        OnCameraConnected();
    } else if (type == controls::registeredMessage(cameraDisconnected)) {
        OnCameraDisconnected();
    } else if (type == controls::registeredMessage(propertyChanged)) {
        OnPropertyChanged(message->value());
    } else if (type == controls::registeredMessage(captureError)) {
        OnCaptureError(message->value());
    } else {
        return QDialog::event(event);
    }
    return true;
}

void CCameraControlDlg::ApplyConfiguredValue(const std::string& setting, controls::CPropertyComboBox* combo,
                                             const char* action)
{
    uint32_t value = 0;
    if (setting.empty() || !m_controller || !combo->FindValue(QString::fromStdString(setting), value)) {
        return;
    }
    m_controller->actionPerformed(camera::ActionEvent(action, &value));
}

void CCameraControlDlg::OnCameraConnected()
{
    hosting::WaitCursor waitCursor;
    Log("DLG OnCameraConnected", "", 4);
    const control::CaptureSettings& s = m_settings;
    ApplyConfiguredValue(s.ED_EvfAfMode, m_evfAfMode, "set_EvfAfMode");
    ApplyConfiguredValue(s.ED_Av, m_av, "set_Av");
    ApplyConfiguredValue(s.ED_Tv, m_tv, "set_Tv");
    ApplyConfiguredValue(s.ED_Iso, m_iso, "set_ISOSpeed");
    ApplyConfiguredValue(s.ED_WhiteBalance, m_whiteBalance, "set_WhiteBalance");
    ApplyConfiguredValue(s.ED_MeteringMode, m_meteringMode, "set_MeteringMode");
    ApplyConfiguredValue(s.ED_ExposureComp, m_exposureComp, "set_ExposureCompensation");
    ApplyConfiguredValue(s.ED_ImageQuality, m_imageQuality, "set_ImageQuality");
    ApplyConfiguredValue(s.ED_PictureStyle, m_pictureStyle, "set_PictureStyle");
    m_connected = true;
    UpdateControls();
    if (m_takePicture->isVisible() && m_takePicture->isEnabled()) {
        m_takePicture->setFocus();
    }
}

void CCameraControlDlg::OnPropertyChanged(uint32_t property)
{
    if (m_model && (property == CAM_PROP_PRODUCT_NAME || property == CAM_PROP_BODY_ID)) {
        SetCaptionsFromModel();
    }
    if (m_model && (property == CAM_PROP_EVF_OUTPUT_DEVICE || property == CAM_PROP_EVF_MODE)) {
        UpdateLiveViewState();
    }
    UpdateControls();
}

void CCameraControlDlg::OnProgressReport(int percent)
{
    SetProgress(percent);
}

void CCameraControlDlg::OnDownloadStart(const std::string& fileName)
{
    Log("DLG OnDownloadStart", fileName, 4);
    m_downloading = true;
    SetStatusMsg("Downloading image", true);
    SetProgress(0);
    SetErrorMsg("", true);
}

void CCameraControlDlg::OnCaptureError(uint32_t code)
{
    const uint32_t lowBits = code & 0xFFFFu;
    const std::string_view text = camera::cameraErrorText(lowBits);
    if (m_downloading) {
        // The download under way has failed: its status and progress go with it.
        m_downloading = false;
        SetStatusMsg("", false);
        m_progress->setValue(0);
        m_progress->hide();
    }
    if (lowBits == CAM_ERR_TAKE_PICTURE_AF_NG) {
        m_liveView->show();
        if (m_preview) {
            m_preview->hide();
        }
        fireAction("startEVF", nullptr);
    }
    if (m_reconnectCountdown != 0) {
        return;
    }
    char line[160];
    if (!text.empty()) {
        std::snprintf(line, sizeof line, "[%X] %.*s", lowBits, static_cast<int>(text.size()), text.data());
        SetErrorMsg(line, true);
        Log("DLG OnCaptureError", line, 1);
        m_blinkCount = 6;
        StartTimer(2, m_timings.blinkMs);
    } else {
        std::snprintf(line, sizeof line, "[%X] Unknown error", lowBits);
        Log("DLG OnCaptureError", line, 1);
    }
}

} // namespace dialog
