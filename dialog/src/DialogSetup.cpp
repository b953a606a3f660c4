// The capture dialog's setup: construction, OnInitDialog, the reference picture, the rules that
// show and enable the items, the status, progress and message lines, the window timers and the
// photo-count file.
//
// Threading: UI thread.
#include "DialogTemplate.h"
#include "PortraitCheckRunner.h"
#include <hosting/WaitCursor.h>
#include "dialog/CameraControlDlg.h"

#include <config/DialogConfig.h>
#include <config/LogFile.h>
#include <controls/ActionButtons.h>
#include <controls/EvfPictureBox.h>
#include <controls/RoundButton.h>
#include <controls/SettingComboBoxes.h>
#include <imaging/ImageCtrl.h>
#include <profile/Profile.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimerEvent>

#include <cstdlib>
#include <filesystem>

namespace dialog {
namespace {

constexpr int kSettingCombos[] = {1002, 1003, 1004, 1005, 1037, 1006, 1007, 1023, 1038};
constexpr int kSettingLabels[] = {1074, 1052, 1056, 1047, 1048, 1049, 1050, 1043, 1044, 1045, 1046, 1055, 1054, 1053};

uint32_t toColorRef(const QColor& colour)
{
    return static_cast<uint32_t>(colour.red()) | (static_cast<uint32_t>(colour.green()) << 8) |
           (static_cast<uint32_t>(colour.blue()) << 16);
}

QColor fromColorRef(uint32_t colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

CCameraControlDlg::CCameraControlDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CCameraControlDlg"));
    setWindowTitle(QString::fromUtf8(kDialogCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(dialogFont());
    SetDefaults();
    CreateItems();
}

CCameraControlDlg::~CCameraControlDlg()
{
    // The check under way finishes first; no outcome is delivered after this.
    m_portraitRunner.reset();
    // No notification may reach a dialog on its way out, nor an event posted to it.
    if (m_model) {
        m_model->removeObserver(this);
        m_model->removeObserver(m_evfAfButton);
    }
    for (auto& [id, timer] : m_timers) {
        timer.stop();
    }
    ClosePanner();
    QCoreApplication::removePostedEvents(this);
}

void CCameraControlDlg::SetDefaults()
{
    m_settings.SetDefaults();
}

int CCameraControlDlg::ProcessConfig(automation::Variant& config, std::string_view parentGroupId)
{
    return control::ProcessConfig(m_settings, config, parentGroupId);
}

void CCameraControlDlg::SetCamera(std::shared_ptr<camera::CameraModel> model, camera::CameraController* controller)
{
    if (m_model) {
        m_model->removeObserver(this);
    }
    m_model = std::move(model);
    m_controller = controller;
    if (m_model) {
        m_model->addObserver(this);
    }
}

QWidget* CCameraControlDlg::item(int id) const
{
    const auto found = m_items.find(id);
    return found != m_items.end() ? found->second : nullptr;
}

void CCameraControlDlg::Log(const char* tag, std::string_view message, int32_t level) const
{
    control::logFile().Write(tag, message, level);
}

void CCameraControlDlg::showEvent(QShowEvent* event)
{
    // The first show of the modal run is the dialog's initialisation.
    if (!m_initStarted) {
        m_initStarted = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CCameraControlDlg::SetUpImagingControl(imaging::CImageCtrl* control, bool reference)
{
    if (!control) {
        return;
    }
    control->SetDrawingEnabled(false);
    control->SetFitMode(3);
    control->SetBusyCursor(true);
    control->SetKeepAspect(true);
    control->SetAutoRepaint(reference);
    control->SetBorderStyle(0);
    control->SetBackColor(toColorRef(palette().color(QPalette::Button)));
}

void CCameraControlDlg::OnInitDialog()
{
    hosting::WaitCursor waitCursor;
    m_message->setFrameShadow(QFrame::Plain);

    m_tempImagePath = m_settings.ImportTempPath + "tmpCapture.jpg";
    Log("DLG OnInitDialog", "", 5);

    SetUpImagingControl(m_preview, false);
    SetUpImagingControl(m_reference, true);

    // Actions go to the controller; the combos, the live view and the autofocus button also
    // follow the model.
    const std::pair<controls::CPropertyComboBox*, const char*> combos[] = {
        {m_aeMode, "set_AEMode"}, {m_tv, "set_Tv"}, {m_av, "set_Av"}, {m_iso, "set_ISOSpeed"},
        {m_meteringMode, "set_MeteringMode"}, {m_exposureComp, "set_ExposureCompensation"},
        {m_imageQuality, "set_ImageQuality"}, {m_evfAfMode, "set_EvfAfMode"},
        {m_pictureStyle, "set_PictureStyle"}, {m_whiteBalance, "set_WhiteBalance"}};
    const std::pair<int, const char*> buttons[] = {
        {1012, "focus_Near3"}, {1013, "focus_Near2"}, {1014, "focus_Near1"}, {1020, "focus_Far1"},
        {1021, "focus_Far2"},  {1022, "focus_Far3"},  {1030, "evfFocusBox_Center"}};
    if (m_controller) {
        addActionListener(m_controller);
        for (const auto& [combo, action] : combos) {
            auto* source = dynamic_cast<camera::ActionSource*>(combo);
            source->setActionCommand(action);
            source->addActionListener(m_controller);
        }
        for (const auto& [id, action] : buttons) {
            auto* button = static_cast<controls::CRoundActionButton*>(item(id));
            button->setActionCommand(action);
            button->addActionListener(m_controller);
        }
        m_fullFrame->setActionCommand("evfZoom_Full");
        m_fullFrame->addActionListener(m_controller);
        m_focusBox->setActionCommand("evfZoom_Focus");
        m_focusBox->addActionListener(m_controller);
        m_evfAfButton->addActionListener(m_controller);
        m_liveView->setActionCommand("downloadEVF");
        m_liveView->addActionListener(m_controller);
    }
    if (m_model) {
        for (const auto& [combo, action] : combos) {
            combo->SetCameraModel(m_model);
        }
        m_liveView->SetCameraModel(m_model);
        m_model->addObserver(m_evfAfButton);
    }

    m_rotationCombo->addItems({QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180"), QStringLiteral("270")});
    m_rotationCombo->setCurrentIndex(
        m_rotationCombo->findText(QString::fromStdString(m_settings.OSRotation), Qt::MatchStartsWith));
    OnRotationChanged();

    m_liveView->SetOverlayEnabled(true);
    m_useEvfFocus->setChecked(m_settings.ED_UseEvfFocus);

    ApplyButtonLook();
    m_fullFrame->setChecked(true);

    LoadReferenceImage();
    SetUpPortraitChecks();
    if (m_controller) {
        m_controller->run();
    }
    fireAction("startEVF", nullptr);

    SetCaptionsFromModel();
    if (m_settings.ED_LogPhotoCount) {
        ReadPhotoCount();
    }
    InitPanControl();
    m_initialised = true;
    UpdateControls();
}

void CCameraControlDlg::SetCaptionsFromModel()
{
    if (!m_model) {
        return;
    }
    const QString name = QString::fromStdString(m_model->modelName());
    const QString bodyId = QString::fromStdString(m_model->bodyId());
    static_cast<QGroupBox*>(item(1059))->setTitle(QStringLiteral("%1 [%2]").arg(name, bodyId));
    static_cast<QLineEdit*>(item(1084))->setText(name);
    static_cast<QLineEdit*>(item(1083))->setText(bodyId);
}

void CCameraControlDlg::ReadPhotoCount()
{
    const std::string bodyId = m_model ? m_model->bodyId() : std::string();
    const std::string text = vesk::profile::readString(m_settings.photoCountPath, bodyId, "PhotoCount", "0", 20);
    m_photoCount = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
    if (m_photoCount == 0) {
        vesk::profile::writeString(m_settings.photoCountPath, bodyId, "ModelName", m_model ? m_model->modelName() : "");
    }
}

void CCameraControlDlg::WritePhotoCount()
{
    const std::string bodyId = m_model ? m_model->bodyId() : std::string();
    vesk::profile::writeString(m_settings.photoCountPath, bodyId, "PhotoCount", std::to_string(m_photoCount));
}

void CCameraControlDlg::LoadReferenceImage()
{
    if (!m_reference) {
        return;
    }
    m_reference->SetImageHandle(0);
    std::string path = m_settings.OSReferenceImagePath;
    if (path.empty() && !m_viewName.empty()) {
        if (const auto found = m_settings.referenceImages.find(m_viewName); found != m_settings.referenceImages.end()) {
            path = found->second;
        }
    }
    std::error_code error;
    if (!path.empty() && std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
        m_reference->LoadFile(QString::fromStdString(path), 0, 0, 1);
    }
}

QString CCameraControlDlg::GetTakePictureLabel() const
{
    if (m_showLiveViewLabel) {
        return QString::fromStdString(m_settings.ED_TPLabel_LV);
    }
    return QString::fromStdString(m_useEvfFocus->isChecked() ? m_settings.ED_TPLabel_TPLVF : m_settings.ED_TPLabel_TPAF);
}

void CCameraControlDlg::ShowItem(int id, bool shown)
{
    if (QWidget* widget = item(id)) {
        widget->setVisible(shown);
    }
}

void CCameraControlDlg::EnableItem(int id, bool enabled)
{
    if (QWidget* widget = item(id)) {
        widget->setEnabled(enabled);
    }
}

void CCameraControlDlg::SetItem(int id, bool shown, bool enabled)
{
    ShowItem(id, shown);
    EnableItem(id, enabled);
}

void CCameraControlDlg::UpdateControls()
{
    if (!m_initialised) {
        return;
    }
    m_takePicture->setText(GetTakePictureLabel());
    m_okButton->setText(QString::fromStdString(m_settings.ED_OkLabel));
    m_cancelButton->setText(QString::fromStdString(m_settings.ED_CancelLabel));
    UpdateLiveViewGroup();
    UpdateCameraSettingsGroup();

    SetItem(1000, m_connected, m_connected);
    SetItem(1061, m_multiMode, m_imageReady && m_multiMode && !m_liveViewToHost);
    SetItem(1063, m_multiMode, m_multiMode);
    SetItem(1075, m_multiMode, m_multiMode);
    SetItem(1, true, (m_imageReady || m_imageCount >= 1) && !m_liveViewToHost);
    SetItem(1060, m_reference && m_reference->GetImageHandle() != 0, true);
}

void CCameraControlDlg::UpdateCameraSettingsGroup()
{
    if (!m_initialised) {
        return;
    }
    const bool shown = m_connected && m_settings.ED_ShowCamSettings;
    const bool enabled = m_connected && m_settings.ED_EnableCamSettings;
    for (const int id : kSettingLabels) {
        SetItem(id, shown, enabled);
    }
    SetItem(1083, shown, true);
    SetItem(1084, shown, true);
    for (const int id : kSettingCombos) {
        auto* combo = static_cast<controls::CPropertyComboBox*>(item(id));
        SetItem(id, shown, enabled && combo->HasEntries());
    }
}

void CCameraControlDlg::UpdateLiveViewGroup()
{
    if (!m_initialised) {
        return;
    }
    const control::CaptureSettings& s = m_settings;
    const bool base = m_liveViewOn && m_connected;
    const bool active = base && m_liveViewToHost;
    const bool afModes = m_model && m_model->propertyDesc(CAM_PROP_EVF_AF_MODE).numElements > 0;
    const bool boxUsable = !m_model || m_model->evfAfMode() != 2;

    SetItem(1039, base && (s.ED_ShowEvfAf || (s.ED_ShowEvfMf && s.ED_ShowEvfFocusBox && s.ED_ShowUseEvfFocus)), active);
    SetItem(1080, base && s.ED_ShowUseEvfFocus, active && s.ED_EnableUseEvfFocus);
    SetItem(1051, false, false);
    SetItem(1032, base && s.ED_ShowEvfAf && s.ED_ShowEvfAfMode, active && s.ED_ShowEvfAf && afModes && s.ED_EnableEvfAfMode);
    SetItem(1035, base && s.ED_ShowEvfAf, active && s.ED_ShowEvfAf && afModes);
    for (const int id : {1071, 1072, 1073, 1012, 1013, 1014, 1020, 1021, 1022}) {
        SetItem(id, base && s.ED_ShowEvfMf, active && s.ED_ShowEvfMf);
    }
    for (const int id : {1065, 1066, 1076, 1077, 1030, 1078, 1079}) {
        SetItem(id, base && s.ED_ShowEvfFocusBox && boxUsable, active && s.ED_ShowEvfFocusBox && boxUsable);
    }
    SetItem(1070, base && s.ED_ShowEvfFocusBox && boxUsable, active && s.ED_ShowEvfFocusBox);
    for (const int id : {1089, 1085, 1086, 1087, 1088, 1091}) {
        SetItem(id, base && m_pannerConnected, active && m_pannerConnected);
    }
}

QString CCameraControlDlg::messageText() const
{
    return m_message->text();
}

QString CCameraControlDlg::statusText() const
{
    return m_status->text();
}

void CCameraControlDlg::RepaintNow(QWidget* widget)
{
    if (widget->isVisible()) {
        widget->repaint();
    }
}

void CCameraControlDlg::SetErrorMsg(const char* text, bool show)
{
    if (text) {
        Log("DLG SetErrorMsg", text, 1);
    }
    // A new message ends any blink of the old one: it is drawn in the normal colour.
    KillTimer(2);
    if (m_messageColour != 0) {
        m_messageColour = 0;
        ApplyMessageColour();
    }
    // Line breaks are written as the log and the design have them, "\r\n".
    m_message->setText(text ? QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) : QString());
    m_message->setVisible(show);
    RepaintNow(m_message);
}

void CCameraControlDlg::SetWarningMsg(const char* text, bool show)
{
    ShowMessage(text ? QString::fromUtf8(text) : QString(), kWarningColour);
    m_message->setVisible(show);
}

void CCameraControlDlg::ShowMessage(const QString& text, uint32_t colour)
{
    KillTimer(2);
    if (m_messageColour != colour) {
        m_messageColour = colour;
        ApplyMessageColour();
    }
    m_message->setText(text);
    m_message->setVisible(true);
    RepaintNow(m_message);
}

void CCameraControlDlg::SetStatusMsg(const char* text, bool show)
{
    if (text) {
        Log("DLG SetStatusMsg", text, 9);
    }
    m_status->setText(text ? QString::fromUtf8(text) : QString());
    m_status->setVisible(show);
    RepaintNow(m_status);
}

void CCameraControlDlg::SetProgress(int percent)
{
    m_progress->setValue(percent);
    m_progress->setVisible(true);
    RepaintNow(m_progress);
}

void CCameraControlDlg::ApplyMessageColour()
{
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, fromColorRef(m_messageColour));
    m_message->setPalette(palette);
    RepaintNow(m_message);
}

void CCameraControlDlg::StartTimer(int timerId, int milliseconds)
{
    m_timers[timerId].start(milliseconds, this);
}

void CCameraControlDlg::KillTimer(int timerId)
{
    if (const auto found = m_timers.find(timerId); found != m_timers.end()) {
        found->second.stop();
    }
}

bool CCameraControlDlg::isTimerActive(int timerId) const
{
    const auto found = m_timers.find(timerId);
    return found != m_timers.end() && found->second.isActive();
}

void CCameraControlDlg::timerEvent(QTimerEvent* event)
{
    for (auto& [id, timer] : m_timers) {
        if (timer.timerId() != event->timerId()) {
            continue;
        }
        switch (id) {
        case 1:
            OnLiveViewAutoOff();
            break;
        case 2:
            OnBlinkTimer();
            break;
        case 3:
            OnMessageClearTimer();
            break;
        case 4:
            OnReconnectTick();
            break;
        case 101:
            OnFocusBoxRepeat();
            break;
        default:
            break;
        }
        return;
    }
    QDialog::timerEvent(event);
}

void CCameraControlDlg::OnBlinkTimer()
{
    if (--m_blinkCount <= 0) {
        // However the blink went, it ends with the text readable.
        KillTimer(2);
        m_messageColour = 0;
    } else {
        m_messageColour = m_messageColour == 0 ? toColorRef(palette().color(QPalette::Button)) : 0;
    }
    ApplyMessageColour();
}

void CCameraControlDlg::OnMessageClearTimer()
{
    KillTimer(3);
    SetErrorMsg(nullptr, false);
}

} // namespace dialog
