// Simulated camera, real frames, action recording and controller draining for the picture
// box tests.
//
// Threading: see EvfTestSupport.h.
#include "EvfTestSupport.h"

#include <camera/Command.h>
#include <camsdk/Simulator.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <chrono>
#include <condition_variable>
#include <memory>

namespace controls::test {

SimulatedCamera::SimulatedCamera(QSize liveViewSize)
{
    camsdk::sim::reset();
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.bodies.at(0).liveViewWidth = liveViewSize.width();
    config.bodies.at(0).liveViewHeight = liveViewSize.height();
    camsdk::sim::configure(config);
    if (CamInitializeSDK() != CAM_ERR_OK) {
        return;
    }
    CamCameraListRef list = nullptr;
    if (CamGetCameraList(&list) == CAM_ERR_OK) {
        CamGetChildAtIndex(list, 0, &m_camera);
        CamRelease(list);
    }
    if (m_camera) {
        CamGetDeviceInfo(m_camera, &m_deviceInfo);
    }
}

SimulatedCamera::~SimulatedCamera()
{
    camsdk::sim::waitForEventsDelivered();
    if (m_sessionOpen) {
        CamCloseSession(m_camera);
    }
    if (m_camera) {
        CamRelease(m_camera);
    }
    CamTerminateSDK();
}

bool SimulatedCamera::openLiveView()
{
    if (!m_camera || CamOpenSession(m_camera) != CAM_ERR_OK) {
        return false;
    }
    m_sessionOpen = true;
    const uint32_t on = 1;
    const uint32_t toHost = CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC;
    return CamSetPropertyData(m_camera, CAM_PROP_EVF_MODE, 0, sizeof on, &on) == CAM_ERR_OK
           && CamSetPropertyData(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof toHost, &toHost) == CAM_ERR_OK;
}

CameraFrame downloadFrame(CamCameraRef camera)
{
    CameraFrame frame;
    CamEvfImageRef image = nullptr;
    if (CamCreateMemoryStream(0, &frame.stream) != CAM_ERR_OK) {
        return frame;
    }
    if (CamCreateEvfImageRef(frame.stream, &image) == CAM_ERR_OK) {
        if (CamDownloadEvfImage(camera, image) == CAM_ERR_OK) {
            void* data = nullptr;
            uint64_t length = 0;
            CamGetPointer(frame.stream, &data);
            CamGetLength(frame.stream, &length);
            frame.bytes = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(length));
        }
        CamRelease(image);
    }
    return frame;
}

camera::EvfFrameData frameRecord(CamStreamRef stream, uint32_t zoom, CamRect zoomRect, CamSize coordinateSystem)
{
    camera::EvfFrameData record;
    record.stream = stream;
    record.zoom = zoom;
    record.zoomRect = zoomRect;
    record.coordinateSystem = coordinateSystem;
    return record;
}

QImage referencePicture(const QByteArray& jpeg)
{
    imaging::CImageCtrl decoder(nullptr, QRect(0, 0, 64, 64), 0);
    decoder.LoadMemory(jpeg.constData(), 0, 0, 1, static_cast<int32_t>(jpeg.size()));
    return decoder.control().picture().convertToFormat(QImage::Format_RGB32);
}

CamFocusPoint focusPoint(uint32_t valid, uint32_t selected, uint32_t justFocus, CamRect rect)
{
    CamFocusPoint point{};
    point.valid = valid;
    point.selected = selected;
    point.justFocus = justFocus;
    point.rect = rect;
    return point;
}

void ActionRecorder::actionPerformed(const camera::ActionEvent& event)
{
    std::lock_guard guard(m_mutex);
    m_commands.push_back(event.command());
    m_allWithoutArgument = m_allWithoutArgument && event.argument() == nullptr;
}

std::vector<std::string> ActionRecorder::commands() const
{
    std::lock_guard guard(m_mutex);
    return m_commands;
}

bool ActionRecorder::allWithoutArgument() const
{
    std::lock_guard guard(m_mutex);
    return m_allWithoutArgument;
}

namespace {

struct MarkerState {
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
};

class MarkerCommand final : public camera::Command {
public:
    explicit MarkerCommand(std::shared_ptr<MarkerState> state) : Command(nullptr), m_state(std::move(state)) {}
    bool execute() override
    {
        std::lock_guard guard(m_state->mutex);
        m_state->done = true;
        m_state->ran.notify_all();
        return true;
    }

private:
    std::shared_ptr<MarkerState> m_state;
};

} // namespace

bool waitUntilRun(camera::CameraController& controller)
{
    auto state = std::make_shared<MarkerState>();
    if (!controller.postCommand(std::make_unique<MarkerCommand>(state))) {
        return false;
    }
    std::unique_lock guard(state->mutex);
    return state->ran.wait_for(guard, std::chrono::seconds(10), [&] { return state->done; });
}

int liveViewDownloads()
{
    int count = 0;
    for (const camsdk::sim::Call& call : camsdk::sim::journal()) {
        count += call.function == "CamDownloadEvfImage" ? 1 : 0;
    }
    return count;
}

} // namespace controls::test
