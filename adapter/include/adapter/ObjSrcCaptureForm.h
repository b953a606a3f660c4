// frmObjSrcCapture, the window of the camera object source: it keeps the settings of the last
// SetConfig, and for each Acquire carries the capture control, shows itself modally, starts
// the control's DoAcquire from a one-shot timer and files every image the control announces
// through AddImage into the host's object set.
//
// Threading: user-interface thread only; the control's events arrive on it synchronously.
#pragma once

#include "adapter/AdapterConfig.h"
#include "automation/Dispatch.h"
#include "hosting/ConnectionPoints.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <string>

class QVBoxLayout;

namespace adapter {

class CaptureEvents;

class frmObjSrcCapture final : public QDialog {
public:
    static constexpr const char* kCaption = "Camera - Acquire Image";

    explicit frmObjSrcCapture(QWidget* owner = nullptr);
    ~frmObjSrcCapture() override;

    // False when cConfig holds no object; otherwise stores the configuration and the station
    // group and returns what ProcessConfig returns.
    bool SetConfig(const automation::Variant& cConfig, const std::string& sParentGroupId);
    // Reads the form's settings from the host (see AdapterConfig.h).
    bool ProcessConfig(automation::Variant& cConfig, const std::string& sParentGroupId);
    // Runs one acquisition into oObjectSet (a new set when it holds none): 0 success, 2
    // cancelled (the caller then gets a new, empty set), 255 after an error shown in a box.
    int32_t Acquire(automation::Variant& oObjectSet, bool fMultiMode);
    // Files one image into m_oObjectSet: 0, or 255 after an error shown in a box.
    int32_t AddImage(const std::string& sFilePath);

    // The window the form belongs to (the host's window that was active when the form was
    // created or last acquired); the one-time position correction looks at its height.
    void setOwnerWindow(QWidget* owner);
    QWidget* ownerWindow() const { return m_owner; }

    const AdapterSettings& settings() const { return m_settings; }
    // The sink advised on the control's events: AddImage (path, count by reference).
    automation::DispatchPtr captureEvents() const;

    // The view name handed over by the object source.
    std::string m_ImageView;
    // The set that AddImage fills; Acquire sets it.
    automation::DispatchPtr m_oObjectSet;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void oInitTimer_Timer();
    void m_oCapture_AddImage(const std::string& bstrFilePath, automation::Variant& plImageCount);

    automation::Variant m_oConfig;
    std::string m_sParentGroupId;
    AdapterSettings m_settings;
    std::string m_sExtension;
    bool m_fMultiMode = false;
    int16_t m_nAcquireResult = 2;
    bool m_bMoved = false;

    QTimer oInitTimer;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_owner;
    automation::DispatchPtr m_oCapture;
    QPointer<QWidget> m_captureWindow;
    automation::Ref<CaptureEvents> m_captureEvents;
    hosting::EventConnection m_captureConnection;
    bool m_acquiring = false;
    bool m_doAcquireRunning = false;
    // An error raised by DoAcquire; Acquire reports it after the modal show.
    std::optional<automation::AutomationError> m_timerError;
};

} // namespace adapter
