// The capture dialog: the modal window in which the operator sees live view or the last
// picture, the reference picture and the camera settings, takes pictures, adds them to the
// host's record and drives focus, zoom and the pan-tilt head. One class; each duty has its own
// source file (setup, notifications, capture, live view, disconnect, panner).
//
// Threading: a UI-thread widget. Only `update` runs on other threads (the command thread, the
// SDK's); it copies what it needs into a posted event and touches nothing else. The portrait
// checks run on the worker thread of PortraitCheckRunner (dialog/src), which reaches the
// dialog only through a queued call of OnPortraitOutcome on the UI thread.
#pragma once

#include "config/CaptureSettings.h"
#include "dialog/DialogTimings.h"
#include "panner/PtHubApi.h"

#include <automation/Variant.h>
#include <camera/ActionEvents.h>
#include <camera/CameraController.h>
#include <camera/CameraModel.h>
#include <camera/Observable.h>
#include <controls/RoundButtonStyle.h>

#include <QBasicTimer>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace imaging {
class CImageCtrl;
}

namespace controls {
class CActionButton;
class CAEMode;
class CAv;
class CEvfAfButton;
class CEvfAfMode;
class CEvfPictureBox;
class CExposureComp;
class CImageQuality;
class CIso;
class CMeteringMode;
class CPictureStyle;
class CPropertyComboBox;
class CRoundActionButton;
class CRoundButton;
class CTv;
class CWhiteBalance;
} // namespace controls

namespace dialog {

class PortraitCheckRunner;
class PortraitOverlay;
struct PortraitOutcome;

// Results of the modal run.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;       // Cancel or the close box
inline constexpr int kResultReconnect = 4;    // the reconnect countdown ran out

// The message line's warning colour (0x00BBGGRR, dark amber): findings that do not stop the
// operator, told apart from errors, which are drawn in the normal colour.
inline constexpr uint32_t kWarningColour = 0x000068B0;

class CCameraControlDlg : public QDialog, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    explicit CCameraControlDlg(QWidget* parent = nullptr);
    ~CCameraControlDlg() override;

    // Reads the dialog's settings from the host and the settings file; 0 on success.
    int ProcessConfig(automation::Variant& config, std::string_view parentGroupId);
    control::CaptureSettings& settings() { return m_settings; }

    // Set by the acquisition driver before the modal run.
    void SetMultiMode(bool multiMode) { m_multiMode = multiMode; }
    void SetViewName(std::string viewName) { m_viewName = std::move(viewName); }
    // The images the acquisition has added in earlier cycles (a reconnect starts a new
    // dialog): the count shown, OK's rule and the question before Cancel follow it.
    void SetImageCount(int32_t count);
    void SetCamera(std::shared_ptr<camera::CameraModel> model, camera::CameraController* controller);
    // The window that receives "UWM_FireAddImage-"; without one, the parent.
    void SetOwnerWindow(QWidget* owner) { m_owner = owner; }
    // Timer periods; tests shorten them.
    void SetTimings(const DialogTimings& timings) { m_timings = timings; }

    // The observer side: turns model notifications into events posted to the dialog.
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;

    // The dialog item with the identifier, or null (object name "item<ID>").
    QWidget* item(int id) const;

    // State, for the driver and for tests.
    bool isInitialised() const { return m_initialised; }
    bool isConnected() const { return m_connected; }
    bool liveViewOn() const { return m_liveViewOn; }
    bool liveViewToHost() const { return m_liveViewToHost; }
    bool imageReady() const { return m_imageReady; }
    int32_t imageCount() const { return m_imageCount; }
    int rotation() const { return m_rotation; }
    int32_t photoCount() const { return m_photoCount; }
    int32_t reconnectCountdown() const { return m_reconnectCountdown; }
    bool pannerConnected() const { return m_pannerConnected; }
    const std::string& tempImagePath() const { return m_tempImagePath; }
    QString messageText() const;
    QString statusText() const;
    uint32_t messageColour() const { return m_messageColour; }
    bool isTimerActive(int timerId) const;
    // The station's portrait checks: on for this dialog, the findings of the picture shown
    // (with the compression of its last save) once they are in, and the overlay showing them.
    bool portraitChecksOn() const;
    bool portraitChecked() const { return m_portraitApplied; }
    portrait::PortraitReport portraitReport() const;
    bool portraitOverlayShown() const;

    // The window operations of the design.
    virtual void SetDefaults();
    virtual void LoadReferenceImage();
    virtual void UpdateControls();
    virtual void UpdateCameraSettingsGroup();
    virtual void UpdateLiveViewGroup();
    virtual void AddImage();

    // OK and Cancel as the keyboard and the framework ask for them.
    void accept() override;
    void reject() override;
    // Every way the dialog ends goes through here; from then on no notification still queued
    // for the dialog saves, adds or ends anything.
    void done(int result) override;
    bool hasEnded() const { return m_ended; }

    void SetErrorMsg(const char* text, bool show);
    // A finding the operator should heed, in the warning colour; not logged as an error.
    void SetWarningMsg(const char* text, bool show);
    void SetStatusMsg(const char* text, bool show);
    void SetProgress(int percent);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // Setup (DialogSetup.cpp, DialogLayout.cpp).
    void CreateItems();
    void OnInitDialog();
    void SetUpImagingControl(imaging::CImageCtrl* control, bool reference);
    void ConnectItems();
    void ApplyButtonLook();
    void SetCaptionsFromModel();
    void ReadPhotoCount();
    void WritePhotoCount();
    QString GetTakePictureLabel() const;
    void ShowItem(int id, bool shown);
    void EnableItem(int id, bool enabled);
    void SetItem(int id, bool shown, bool enabled);
    void StartTimer(int timerId, int milliseconds);
    void KillTimer(int timerId);
    void OnBlinkTimer();
    void OnMessageClearTimer();
    void ApplyMessageColour();
    void ShowMessage(const QString& text, uint32_t colour);
    void RepaintNow(QWidget* widget);

    // Notifications (DialogNotifications.cpp).
    void OnCameraConnected();
    void OnPropertyChanged(uint32_t property);
    void OnProgressReport(int percent);
    void OnDownloadStart(const std::string& fileName);
    void OnCaptureError(uint32_t code);
    void ApplyConfiguredValue(const std::string& setting, controls::CPropertyComboBox* combo, const char* action);

    // Capture (DialogCapture.cpp).
    void OnTakePicture();
    void OnDownloadComplete(const std::string& fileName);
    // Loads, turns, scales and describes the picture; false when it could not be loaded.
    bool ProcessDownloadedFile(const std::string& fileName);
    void OnOK();
    void OnCancel();
    void OnClose();
    // Fires "closing" once; the log text of the ending handler.
    std::string FireClosingOnce();
    // Saves the ready picture and hands it to the owner; false when the save failed or the
    // operator kept a picture that failed its portrait checks.
    bool SaveAndHandOver();
    bool SendAddImage();

    // Portrait checks (DialogPortrait.cpp).
    void SetUpPortraitChecks();
    bool HandlePortraitEvent(QEvent* event);
    void ForgetPortraitCheck();
    void SchedulePortraitCheck();
    void StartPortraitCheck(uint64_t generation);
    void OnPortraitOutcome(const PortraitOutcome& outcome);
    void ApplyPortraitFindings(const PortraitOutcome& outcome);
    void ApplyCompressionFinding(const PortraitOutcome& outcome);
    void ShowPortraitFindings();
    // After the ready picture is saved: its compression is checked and, when the station asks
    // before Add, a picture that fails is added only if the operator says so.
    bool ConfirmPortraitBeforeHandOver();

    // Live view and focus (DialogLiveView.cpp).
    void UpdateLiveViewState();
    void OnLiveViewAutoOff();
    void OnRotationChanged();
    void ApplyFocusBoxRotation(int degrees);
    void OnFocusBoxButtonDown(int id);
    void OnFocusBoxButtonUp(int id);
    void OnFocusBoxRepeat();

    // Disconnect (DialogDisconnect.cpp).
    void OnCameraDisconnected();
    void OnReconnectTick();

    // Panner (DialogPanner.cpp).
    bool InitPanControl();
    void SetPannerOrientation(int rotation, bool inverted);
    void OnPanButtonDown(int id);
    void OnPanButtonUp(int id);
    bool StartPan(int id);
    void StopPan(int id);
    bool PanMove(int code, int speed);
    void OnPanSpeedChanged(int position);
    void ClosePanner();
    int PanSpeedFromSlider() const;
    void ShowBlinkingMessage(const char* text, int clearAfterMs);

    void Log(const char* tag, std::string_view message, int32_t level) const;

    control::CaptureSettings m_settings;
    DialogTimings m_timings;
    std::shared_ptr<camera::CameraModel> m_model;
    camera::CameraController* m_controller = nullptr;
    QWidget* m_owner = nullptr;

    bool m_initialised = false;
    bool m_initStarted = false;
    bool m_connected = false;
    bool m_liveViewOn = false;
    bool m_liveViewToHost = false;
    bool m_showLiveViewLabel = true;
    bool m_imageReady = false;
    int32_t m_imageCount = 0;
    bool m_multiMode = true;
    std::string m_viewName;
    bool m_closing = false;
    bool m_ended = false;
    // Between "DownloadStart" and the end of that download, good or failed.
    bool m_downloading = false;
    int m_rotation = 0;
    int32_t m_photoCount = 0;
    int32_t m_reconnectCountdown = 0;
    int32_t m_blinkCount = 0;
    uint32_t m_messageColour = 0;
    std::string m_tempImagePath;

    // Focus box.
    int m_focusBoxButton = 0;
    bool m_focusBoxRepeat = false;

    // Panner.
    CPtHubApi m_ptHub;
    bool m_pannerConnected = false;
    int32_t m_panHandle = 0;
    int m_activePanButton = 0;
    bool m_panButtonHeld = false;
    int32_t m_panSpeedShown = 500;
    std::array<int, 4> m_panDirection{}; // codes of Up, Down, Left, Right
    int m_pannerRotation = 0;
    bool m_pannerInverted = false;

    // Window timers by design identifier: 1, 2, 3, 4, 101.
    std::map<int, QBasicTimer> m_timers;

    // Round-button looks: style A (large) and B (small).
    controls::CRoundButtonStyle m_styleA;
    controls::CRoundButtonStyle m_styleB;
    QFont m_messageFont;

    // Items by identifier, and the ones the dialog drives.
    std::map<int, QWidget*> m_items;
    imaging::CImageCtrl* m_preview = nullptr;
    imaging::CImageCtrl* m_reference = nullptr;
    controls::CEvfPictureBox* m_liveView = nullptr;
    controls::CRoundButton* m_takePicture = nullptr;
    controls::CRoundButton* m_addImageButton = nullptr;
    controls::CRoundButton* m_okButton = nullptr;
    controls::CRoundButton* m_cancelButton = nullptr;
    QLineEdit* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_countText = nullptr;
    QLabel* m_message = nullptr;
    QCheckBox* m_useEvfFocus = nullptr;
    QComboBox* m_rotationCombo = nullptr;
    QSlider* m_panSpeed = nullptr;
    controls::CEvfAfButton* m_evfAfButton = nullptr;
    controls::CActionButton* m_fullFrame = nullptr;
    controls::CActionButton* m_focusBox = nullptr;
    controls::CAEMode* m_aeMode = nullptr;
    controls::CTv* m_tv = nullptr;
    controls::CAv* m_av = nullptr;
    controls::CIso* m_iso = nullptr;
    controls::CWhiteBalance* m_whiteBalance = nullptr;
    controls::CMeteringMode* m_meteringMode = nullptr;
    controls::CExposureComp* m_exposureComp = nullptr;
    controls::CImageQuality* m_imageQuality = nullptr;
    controls::CPictureStyle* m_pictureStyle = nullptr;
    controls::CEvfAfMode* m_evfAfMode = nullptr;

    // Portrait checks: the runner exists only when the station turns them on. The generation
    // changes with every picture, so that a start or an outcome for an older one is dropped.
    std::unique_ptr<PortraitCheckRunner> m_portraitRunner;
    PortraitOverlay* m_portraitOverlay = nullptr;
    uint64_t m_portraitGeneration = 0;
    bool m_portraitAwaitingStart = false;
    uint64_t m_portraitJob = 0;
    bool m_portraitApplied = false;
    portrait::PortraitReport m_portraitReport;
    QImage m_portraitPicture;
    uint64_t m_compressionJob = 0;
    bool m_compressionApplied = false;
    std::optional<portrait::Finding> m_compressionFinding;
};

} // namespace dialog
