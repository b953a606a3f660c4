// The live-view picture box: the observer side (frames copied and posted, focus information,
// autofocus mode, the start of the frame loop) and the frame message (load, overlays, turn,
// redisplay, next request).
//
// Threading: see EvfPictureBox.h.
#include "controls/EvfPictureBox.h"

#include "EvfFrameEvent.h"
#include "FrozenFrameMark.h"
#include "controls/RegisteredMessages.h"

#include <camera/EvfCommands.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <QCoreApplication>
#include <QResizeEvent>

#include <limits>
#include <new>

namespace controls {
namespace {

// Colours are 0x00BBGGRR.
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t red = 0x0000FF;

} // namespace

QEvent::Type CEvfPictureBox::frameMessage()
{
    static const QEvent::Type type = registeredMessage(message::evfDataChanged);
    return type;
}

CEvfPictureBox::CEvfPictureBox(QWidget* parent, WindowOrigin origin)
    : QWidget(parent), m_focusInfo(std::make_unique<CamFocusInfo>()),
      m_drawnFocusInfo(std::make_unique<CamFocusInfo>())
{
    setActionCommand(downloadAction);
    if (origin == WindowOrigin::OwnWindow) {
        CreateImagingChild(ownWindowImagingChildId);
        m_imaging->SetDrawingEnabled(true);
        m_imaging->SetFitMode(3);
        m_imaging->SetBusyCursor(false);
        m_imaging->SetKeepAspect(true);
        m_imaging->SetAutoRepaint(true);
        m_imaging->show();
        m_imaging->SetBackColor(red);
    }
}

CEvfPictureBox::~CEvfPictureBox()
{
    StopObserving();
    // Every frame still on its way goes with its event: its stream is released, its record
    // freed. The counter they update is still alive here.
    QCoreApplication::removePostedEvents(this);
}

void CEvfPictureBox::SetCameraModel(const std::shared_ptr<camera::CameraModel>& model)
{
    StopObserving();
    m_model = model;
    if (model) {
        model->addObserver(this);
    }
}

void CEvfPictureBox::StopObserving()
{
    if (const std::shared_ptr<camera::CameraModel> model = m_model.lock()) {
        model->removeObserver(this);
    }
    m_model.reset();
}

// ---- Notifying thread ------------------------------------------------------------------------

void CEvfPictureBox::update(camera::Observable* observable, const camera::ModelEvent& event)
{
    auto* model = dynamic_cast<camera::CameraModel*>(observable);
    if (event.name == "EvfDataChanged") {
        if (event.argument) {
            PostFrame(model, *static_cast<camera::EvfFrameData*>(event.argument));
        }
    }
    if (event.name == "PropertyChanged") {
        if (!event.argument || !model) {
            return;
        }
        switch (*static_cast<const uint32_t*>(event.argument)) {
        case CAM_PROP_EVF_OUTPUT_DEVICE:
            OnOutputDeviceChanged(model->evfOutputDevice());
            break;
        case CAM_PROP_FOCUS_INFO:
            CopyFocusInfo(*model);
            break;
        case CAM_PROP_EVF_AF_MODE:
            m_autofocusMode.store(static_cast<int32_t>(model->evfAfMode()));
            break;
        default:
            break;
        }
    }
}

void CEvfPictureBox::PostFrame(camera::CameraModel* model, camera::EvfFrameData& frame)
{
    std::unique_ptr<EvfFrameEvent> message;
    try {
        message = std::make_unique<EvfFrameEvent>(frameMessage(), std::make_unique<camera::EvfFrameData>(frame),
                                                  m_pendingFrames);
        if (model) {
            CopyFocusInfo(*model);
        }
    } catch (const std::bad_alloc&) {
        // Without memory for the copy the frame is skipped; its stream stays with the
        // notifier, which releases what nobody took.
        return;
    }
    // Nothing can fail from here on: the event owns the stream wherever it ends up, and Qt
    // deletes an event it cannot deliver, which releases the stream and un-counts the frame.
    message->adoptStream(frame.takeStream());
    QCoreApplication::postEvent(this, message.release());
}

void CEvfPictureBox::CopyFocusInfo(const camera::CameraModel& model)
{
    const CamFocusInfo focusInfo = model.focusInfo();
    std::lock_guard guard(m_focusInfoMutex);
    *m_focusInfo = focusInfo;
}

void CEvfPictureBox::OnOutputDeviceChanged(uint32_t outputDevice)
{
    if ((outputDevice & CAM_EVF_OUTPUT_DEVICE_PC) != 0) {
        // Only the report that starts the loop asks for a frame; later reports while it runs
        // would start a second loop beside it.
        bool wasStarted = false;
        if (m_started.compare_exchange_strong(wasStarted, true)) {
            fireAction(nullptr);
        }
    } else {
        m_started.store(false);
    }
}

// ---- Window thread ---------------------------------------------------------------------------

bool CEvfPictureBox::event(QEvent* event)
{
    if (event->type() == frameMessage()) {
        OnEvfDataChanged(*static_cast<EvfFrameEvent*>(event));
        return true;
    }
    return QWidget::event(event);
}

void CEvfPictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_imaging) {
        m_imaging->setGeometry(rect());
    }
    if (m_frozenMark) {
        m_frozenMark->setGeometry(rect());
    }
}

void CEvfPictureBox::SetFrozen(bool frozen)
{
    if (frozen && !m_frozenMark) {
        m_frozenMark = new FrozenFrameMark(this);
    }
    if (m_frozenMark) {
        m_frozenMark->setGeometry(rect());
        m_frozenMark->raise();
        m_frozenMark->setVisible(frozen);
    }
}

bool CEvfPictureBox::isFrozen() const
{
    return m_frozenMark && !m_frozenMark->isHidden();
}

void CEvfPictureBox::OnEvfDataChanged(EvfFrameEvent& frameEvent)
{
    frameEvent.markHandled();
    const camera::EvfFrameData& frame = frameEvent.frame();
    uint64_t length = 0;
    void* address = nullptr;
    // Stream errors only leave the frame undisplayed.
    CamGetLength(frameEvent.stream(), &length);
    CamGetPointer(frameEvent.stream(), &address);
    // The imaging call takes a 32-bit size: a longer stream is not shown rather than cut.
    if (address && length > 0 && length <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        LoadFrame(address, static_cast<int32_t>(length));
        m_coordinateSystem = frame.coordinateSystem;
        if (frame.zoom == 1 && m_coordinateSystem.width != 0 && m_coordinateSystem.height != 0) {
            const CamRect& zoom = frame.zoomRect;
            DrawOverlays(static_cast<float>(zoom.point.x), static_cast<float>(zoom.point.y),
                         static_cast<float>(zoom.point.x) + static_cast<float>(zoom.size.width),
                         static_cast<float>(zoom.point.y) + static_cast<float>(zoom.size.height),
                         m_coordinateSystem);
        }
        if (m_rotation != 0) {
            m_imaging->Rotate(static_cast<int16_t>(m_rotation));
        }
        m_imaging->Redisplay();
        KeepShownFrame();
        SetFrozen(false);
    }
    frameEvent.releaseStream();
    fireAction(nullptr);
}

void CEvfPictureBox::KeepShownFrame()
{
    // Holding the finished frame until the next one is finished keeps its pixel memory
    // with the process: the next frame's decode and turn reuse it instead of taking fresh
    // pages from the system (about 1400 page faults a frame, tens of milliseconds on a
    // loaded machine). It also applies the turn now rather than at the next paint.
    m_shownFrame = m_imaging->control().picture();
}

void CEvfPictureBox::CreateImagingChild(int id)
{
    m_imaging = new imaging::CImageCtrl(this, rect(), id);
}

void CEvfPictureBox::LoadFrame(const void* address, int32_t length)
{
    if (!m_imaging) {
        CreateImagingChild(imagingChildId);
        m_imaging->SetFieldsFromFile(false);
        m_imaging->SetDisplayFilter(3);
        m_imaging->SetFitMode(3);
        m_imaging->SetMousePointer(1);
        m_imaging->SetBusyCursor(false);
        m_imaging->SetKeepAspect(true);
        m_imaging->SetAutoRepaint(false);
        m_imaging->show();
        m_imaging->SetDrawingEnabled(true);
        m_imaging->SetDrawStyle(1);
        m_imaging->SetDrawFillStyle(0);
        m_imaging->SetDrawWidth(1);
        m_imaging->SetDrawRasterOp(13);
        m_imaging->SetDrawColor(white);
    }
    m_imaging->LoadMemory(address, 0, 0, 1, length);
}

} // namespace controls
