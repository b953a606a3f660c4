// The acquisition control: a window that draws nothing but its centred status line, runs one
// whole acquisition in DoAcquire (configuration, camera SDK, camera search, the capture dialog,
// teardown, recycling) and relays every image the dialog adds as its AddImage event.
//
// Threading: UI thread. The camera framework's command thread and the SDK's threads run
// underneath while the dialog is open; they reach the control only through the dialog.
#pragma once

#include <automation/Variant.h>
#include <camsdk/CamSdk.h>

#include <QRect>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;

namespace dialog {
class CCameraControlDlg;
}

namespace control {

class DownloadFolder;

class CVeskCaptureCtrl final : public QWidget {
    Q_OBJECT

public:
    // The AddImage event: the path of the image the dialog saved and the dialog's image count,
    // which the handler may change (the host writes its own count back).
    using AddImageHandler = std::function<void(const std::string& filePath, int32_t& imageCount)>;

    // Consecutive cycles ended by an exception after which DoAcquire gives up.
    static constexpr int kExceptionCycleLimit = 3;
    static constexpr int kStatusId = 101;

    explicit CVeskCaptureCtrl(QWidget* parent = nullptr);
    ~CVeskCaptureCtrl() override;

    // Runs one acquisition; true when its last cycle's dialog ended with OK.
    bool DoAcquire(automation::Variant& config, const std::string& parentGroupId, bool multiMode);

    const std::string& ImageView() const { return m_imageView; }
    void SetImageView(std::string imageView) { m_imageView = std::move(imageView); }
    void SetAddImageHandler(AddImageHandler handler) { m_addImageHandler = std::move(handler); }

    // The status line: text (none clears it), logged at level 9, shown or hidden at once.
    void SetStatusMsg(const char* text, bool show);
    QString statusText() const;
    bool statusShown() const;

    // The pause between the steps of the recycling countdown (one second); tests shorten it.
    void SetRecycleStep(std::chrono::milliseconds step) { m_recycleStep = step; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class CycleEnd { Finished, ReturnNow };

    // One cycle of the acquisition; throws whatever escapes the cycle's work.
    CycleEnd RunCycle(automation::Variant& config, const std::string& parentGroupId, bool multiMode,
                      bool& retryAcquire, int32_t& returnCode);
    // Searches for the camera in up to five attempts; 0 once it is selected and modelled.
    CamError SearchCamera();
    // Terminates the SDK, deletes the model and the controller and removes the cycle's
    // download folder, as every cycle ends.
    void EndCycle(bool retryAcquire, int32_t returnCode);
    void RecycleCountdown();
    // DoAcquire's result: OK in the last cycle, or images added in any cycle and not discarded.
    bool Succeeded(int32_t returnCode) const;
    // Removes the dialog's saved image ("tmpCapture.jpg") once the dialog has ended.
    static void RemoveSavedImage(const std::string& path);

    std::string m_bodyId;
    bool m_sdkInitialized = false;
    CamCameraRef m_camera = nullptr;
    // Where the running cycle's pictures are downloaded; outlives the command thread.
    std::unique_ptr<DownloadFolder> m_downloadFolder;
    // Images the host has filed in this acquisition, across reconnect cycles.
    int32_t m_addedImages = 0;
    // The operator cancelled (and so discarded whatever had been added).
    bool m_discarded = false;
    QLabel* m_status = nullptr;
    QRect m_statusRect;
    std::string m_imageView;
    AddImageHandler m_addImageHandler;
    std::chrono::milliseconds m_recycleStep{1000};
};

// Fault injection for tests of the recycling: the next `count` acquisition cycles throw once
// the SDK has started, as a cycle whose work fails unexpectedly would.
void injectCycleFaults(int count);

} // namespace control
