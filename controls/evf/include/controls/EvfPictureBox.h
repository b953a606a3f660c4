// CEvfPictureBox: the capture dialog's live view. Each frame the camera model announces is
// copied and posted to the box, decoded and shown through an imaging child, overlaid with the
// zoom rectangle and the autofocus frames, turned by the rotation; then the next frame is
// asked for, so that exactly one request is outstanding while live view runs.
//
// Threading: a UI-thread widget, except `update`, which runs on the camera's notifying thread:
// there it only copies (frame record, focus information, autofocus mode, started flag), posts
// to the box and may fire "downloadEVF"; it never touches a widget.
//
// Focus information: the notifying thread copies the model's focus information into the box
// under a small mutex; the window thread takes a snapshot of it under the same mutex before
// drawing, so a frame is never drawn from a half-written record. The snapshot is the latest
// record the model announced, which may be newer than the frame.
//
// Frames: a posted frame event owns its copy of the record and the record's stream; whatever
// happens to the event (handled, dropped by Qt, removed when the box is destroyed) the stream
// is released exactly once and the record freed.
#pragma once

#include <camera/ActionEvents.h>
#include <camera/CameraModel.h>
#include <camera/EvfCommands.h>
#include <camera/Observable.h>
#include <camsdk/CamSdk.h>

#include <QEvent>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace imaging {
class CImageCtrl;
}

namespace controls {

class EvfFrameEvent;
class FrozenFrameMark;

class CEvfPictureBox final : public QWidget, public camera::ActionSource, public camera::Observer {
    Q_OBJECT

public:
    // Identifier of the imaging child that shows the frames of a box attached to the
    // dialog's item, and of the one a box with a window of its own creates at once.
    static constexpr int imagingChildId = 201;
    static constexpr int ownWindowImagingChildId = 0;
    // The action fired to ask for the next frame; also the box's action command until the
    // dialog sets one.
    static constexpr const char* downloadAction = "downloadEVF";
    // Autofocus mode in which focus points are drawn as corner marks (face detection).
    static constexpr int32_t faceDetectionMode = 2;

    // How the box's window came to be: attached to the dialog's live-view item (the
    // imaging child is made when the first frame arrives), or made by the box itself (the
    // child is made at once, on a red back colour).
    enum class WindowOrigin { DialogItem, OwnWindow };

    explicit CEvfPictureBox(QWidget* parent = nullptr, WindowOrigin origin = WindowOrigin::DialogItem);
    // Stops observing the model given to SetCameraModel and releases every frame still
    // posted. A model the box was added to directly must drop the box before it dies.
    ~CEvfPictureBox() override;

    // QWidget's repaint requests stay reachable beside the observer's `update`.
    using QWidget::update;
    // Notifying thread: "EvfDataChanged", and "PropertyChanged" for 0x500, 0x104 and 0x50E.
    void update(camera::Observable* observable, const camera::ModelEvent& event) override;

    // Observes the model until the box is destroyed or another model is set.
    void SetCameraModel(const std::shared_ptr<camera::CameraModel>& model);

    // While off, frames are shown without the zoom rectangle and focus frames.
    void SetOverlayEnabled(bool on) { m_overlayEnabled = on; }
    bool overlayEnabled() const { return m_overlayEnabled; }
    // Degrees (0, 90, 180 or 270) by which each frame is turned, overlays included.
    void SetRotation(int degrees) { m_rotation = degrees; }
    int rotation() const { return m_rotation; }

    // Marks the frame shown as no longer live (greyed, "Not live") or clears the mark; a
    // frame shown later clears it too.
    void SetFrozen(bool frozen);
    bool isFrozen() const;

    // True while the camera sends live view to the host and the box runs its frame loop.
    bool isStarted() const { return m_started.load(); }
    // Frames posted to the box and not handled yet.
    int32_t pendingFrames() const { return m_pendingFrames.load(); }
    // The camera's live-view autofocus mode, -1 until the camera reported it.
    int32_t autofocusMode() const { return m_autofocusMode.load(); }
    // The live-view coordinate system of the last frame shown.
    CamSize coordinateSystem() const { return m_coordinateSystem; }
    // The imaging child, null until the first frame arrived (or the box made its own window).
    imaging::CImageCtrl* imagingChild() const { return m_imaging; }

    // The registered message that carries a frame to the box.
    static QEvent::Type frameMessage();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PostFrame(camera::CameraModel* model, camera::EvfFrameData& frame);
    void CopyFocusInfo(const camera::CameraModel& model);
    void OnOutputDeviceChanged(uint32_t outputDevice);
    void StopObserving();

    // Window thread: one frame from the message to the next request.
    void OnEvfDataChanged(EvfFrameEvent& frameEvent);
    void LoadFrame(const void* address, int32_t length);
    void KeepShownFrame();
    void CreateImagingChild(int id);
    void DrawOverlays(float left, float top, float right, float bottom, CamSize coordinateSystem);
    void DrawFocusPoint(const CamFocusPoint& point, const CamRect& imageRect, float width, float height);
    void DrawZoomRectangle(float left, float top, float right, float bottom, float scaleX, float scaleY);
    // Image pixel to the imaging child's drawing coordinates.
    void ToDrawing(float x, float y, float& drawX, float& drawY);

    bool m_overlayEnabled = true;
    // Written on the notifying thread, read on the window thread.
    std::mutex m_focusInfoMutex;
    std::unique_ptr<CamFocusInfo> m_focusInfo;
    // The window thread's snapshot of m_focusInfo for the frame being drawn.
    std::unique_ptr<CamFocusInfo> m_drawnFocusInfo;
    std::atomic<int32_t> m_autofocusMode{-1};
    std::atomic<bool> m_started{false};
    std::atomic<int32_t> m_pendingFrames{0};
    imaging::CImageCtrl* m_imaging = nullptr;
    CamSize m_coordinateSystem{};
    int m_rotation = 0;
    std::weak_ptr<camera::CameraModel> m_model;
    // The last frame shown, with its overlays and turn applied (shared with the imaging child).
    QImage m_shownFrame;
    // Over the imaging child while the frame shown is not live; null until first needed.
    FrozenFrameMark* m_frozenMark = nullptr;
};

} // namespace controls
