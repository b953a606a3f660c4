// Live-view frame path figures: the time the picture box takes for one real 1024 x 680 frame
// of the simulated camera (decode, zoom rectangle and nine focus frames, a 90-degree turn),
// its median against a target of 4 ms, and as the floor a plain TurboJPEG decode of the same
// kind of frame. Also, for information, the same path with the box painted.
//
// Threading: the benchmark thread is the UI thread; each frame is fetched and announced on a
// short-lived thread standing in for the command thread, untimed.
#include "controls/EvfPictureBox.h"

#include <camera/CameraModel.h>
#include <camera/EvfCommands.h>
#include <camsdk/CamSdk.h>
#include <camsdk/Simulator.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int frameWidth = 1024;
constexpr int frameHeight = 680;

double median(std::vector<double> samples)
{
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The simulated camera sending live view to the host, a model with a 3 x 3 grid of focus
// points (the centre one selected and in focus), and a box turning frames by 90 degrees.
class LiveViewRig final {
public:
    LiveViewRig()
    {
        camsdk::sim::reset();
        if (CamInitializeSDK() != CAM_ERR_OK) {
            return;
        }
        CamCameraListRef list = nullptr;
        if (CamGetCameraList(&list) == CAM_ERR_OK) {
            CamGetChildAtIndex(list, 0, &m_camera);
            CamRelease(list);
        }
        CamDeviceInfo deviceInfo{};
        if (!m_camera || CamGetDeviceInfo(m_camera, &deviceInfo) != CAM_ERR_OK || CamOpenSession(m_camera) != CAM_ERR_OK) {
            return;
        }
        m_sessionOpen = true;
        const uint32_t on = 1;
        const uint32_t toHost = CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC;
        CamSetPropertyData(m_camera, CAM_PROP_EVF_MODE, 0, sizeof on, &on);
        CamSetPropertyData(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof toHost, &toHost);

        m_model = camera::createCameraModel(m_camera, deviceInfo);
        m_model->setFocusInfo(*focusGrid());
        m_box = std::make_unique<controls::CEvfPictureBox>();
        m_box->resize(frameWidth / 2, frameHeight / 2);
        m_box->SetRotation(90);
        m_box->show();
        m_model->addObserver(m_box.get());
    }

    ~LiveViewRig()
    {
        if (m_model && m_box) {
            m_model->removeObserver(m_box.get());
        }
        m_box.reset();
        if (m_sessionOpen) {
            CamCloseSession(m_camera);
        }
        if (m_camera) {
            CamRelease(m_camera);
        }
        CamTerminateSDK();
    }

    LiveViewRig(const LiveViewRig&) = delete;
    LiveViewRig& operator=(const LiveViewRig&) = delete;

    bool ready() const { return m_box != nullptr; }
    controls::CEvfPictureBox& box() { return *m_box; }

    // Fetches a frame as the live-view download does and announces it on a thread of its
    // own, as the command thread would; the box posts it. Returns the frame's JPEG bytes.
    QByteArray postNextFrame()
    {
        QByteArray bytes;
        std::thread commandThread([&] { bytes = fetchAndAnnounce(); });
        commandThread.join();
        return bytes;
    }

private:
    QByteArray fetchAndAnnounce()
    {
        CamStreamRef stream = nullptr;
        CamEvfImageRef image = nullptr;
        QByteArray bytes;
        if (CamCreateMemoryStream(0, &stream) != CAM_ERR_OK) {
            return bytes;
        }
        if (CamCreateEvfImageRef(stream, &image) == CAM_ERR_OK && CamDownloadEvfImage(m_camera, image) == CAM_ERR_OK) {
            auto frame = std::make_unique<camera::EvfFrameData>();
            frame->stream = stream;
            CamGetPropertyData(image, CAM_PROP_EVF_ZOOM, 0, sizeof frame->zoom, &frame->zoom);
            CamGetPropertyData(image, CAM_PROP_EVF_ZOOM_RECT, 0, sizeof frame->zoomRect, &frame->zoomRect);
            CamGetPropertyData(image, CAM_PROP_EVF_COORDINATE_SYSTEM, 0, sizeof frame->coordinateSystem,
                               &frame->coordinateSystem);
            void* data = nullptr;
            uint64_t length = 0;
            CamGetPointer(stream, &data);
            CamGetLength(stream, &length);
            bytes = QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(length));
            m_model->notifyObservers("EvfDataChanged", frame.get());
            stream = frame->takeStream();
        }
        if (image) {
            CamRelease(image);
        }
        if (stream) {
            CamRelease(stream);
        }
        return bytes;
    }

    static std::unique_ptr<CamFocusInfo> focusGrid()
    {
        auto info = std::make_unique<CamFocusInfo>();
        info->imageRect.size = CamSize{frameWidth, frameHeight};
        info->pointNumber = 9;
        for (uint32_t i = 0; i < 9; ++i) {
            CamFocusPoint& point = info->focusPoint[i];
            point.valid = 1;
            point.selected = i == 4 ? 1 : 0;
            point.justFocus = i == 4 ? 1 : 0;
            point.rect = CamRect{{static_cast<int32_t>(160 + (i % 3) * 320), static_cast<int32_t>(100 + (i / 3) * 200)},
                                 {100, 80}};
        }
        return info;
    }

    CamCameraRef m_camera = nullptr;
    bool m_sessionOpen = false;
    std::shared_ptr<camera::CameraModel> m_model;
    std::unique_ptr<controls::CEvfPictureBox> m_box;
};

LiveViewRig* rig = nullptr;

// One frame from its message to the turned picture, ready to be painted.
void frameDecodedDrawnTurned(benchmark::State& state)
{
    std::vector<double> samples;
    for (auto _ : state) {
        rig->postNextFrame();
        const auto start = Clock::now();
        QCoreApplication::sendPostedEvents(&rig->box());
        const QImage picture = rig->box().imagingChild()->control().picture();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(picture.constBits());
        if (picture.width() != frameHeight || picture.height() != frameWidth) {
            state.SkipWithError("the frame was not shown turned");
            break;
        }
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    state.counters["median_ms"] = median(samples) * 1e3;
    state.counters["target_ms"] = 4.0;
}
BENCHMARK(frameDecodedDrawnTurned)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

// The same, with the box painted as the window would (the turned frame scaled to the box).
void frameShownAndPainted(benchmark::State& state)
{
    std::vector<double> samples;
    for (auto _ : state) {
        rig->postNextFrame();
        const auto start = Clock::now();
        QCoreApplication::sendPostedEvents(&rig->box());
        const QPixmap painted = rig->box().grab();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(painted.cacheKey());
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    state.counters["median_ms"] = median(samples) * 1e3;
}
BENCHMARK(frameShownAndPainted)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

// The floor: TurboJPEG alone decoding a frame of the simulated camera into 32-bit pixels.
void plainTurboJpegDecode(benchmark::State& state)
{
    const QByteArray jpeg = rig->postNextFrame();
    QCoreApplication::sendPostedEvents(&rig->box());
    tjhandle decoder = tjInitDecompress();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(frameWidth) * frameHeight * 4);
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int result = tjDecompress2(decoder, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                                         static_cast<unsigned long>(jpeg.size()), pixels.data(), frameWidth, 0,
                                         frameHeight, TJPF_BGRX, 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (result != 0) {
            state.SkipWithError("the frame did not decode");
            break;
        }
        benchmark::DoNotOptimize(pixels.data());
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    tjDestroy(decoder);
    state.counters["median_ms"] = median(samples) * 1e3;
}
BENCHMARK(plainTurboJpegDecode)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    LiveViewRig liveView;
    if (!liveView.ready()) {
        std::fprintf(stderr, "vesk-bench-evf: the simulated camera did not start live view\n");
        return 1;
    }
    rig = &liveView;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rig = nullptr;
    return 0;
}
