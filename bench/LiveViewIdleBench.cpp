// The capture dialog idling in live view for 10 s with the simulated camera sending 30 frames
// a second: frames shown per second, the process's CPU share of one core, the latency from a
// frame falling due at the camera to the picture box having shown it, and where the CPU time
// went (UI thread, command thread, the rest, and the simulated camera's own work of making each
// frame, which a real camera does itself). Beside the CPU share stands its floor: one TurboJPEG
// decode of such a frame, 30 times a second. Runs offscreen unless a platform is set.
//
// Threading: the UI thread runs the dialog and the measurement; the command thread is noted
// once, by an observer of the camera model, so that its CPU clock can be read.
#include "DialogTestSupport.h"

#include <camera/Observable.h>
#include <camsdk/CamSdk.h>
#include <camsdk/Simulator.h>
#include <config/LogFile.h>
#include <controls/EvfPictureBox.h>

#include <turbojpeg.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int framesPerSecond = 30;
constexpr double frameIntervalMs = 1000.0 / framesPerSecond;
constexpr int idleSeconds = 10;
constexpr double cpuGoalPercent = 10.0;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double seconds(const timespec& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

double cpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return seconds(time);
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto toSeconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Times every frame message the picture box handles: from the camera's due time of the frame
// (the box asks for the next frame only once it has shown this one, so the camera's last frame
// is this one) to the end of its handling, and the UI thread's CPU time for it.
class MeasuringApplication final : public QApplication {
public:
    using QApplication::QApplication;

    QObject* box = nullptr;
    bool measuring = false;
    std::vector<double> latencyMs;
    std::vector<double> handlingCpuMs;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!measuring || receiver != box || event->type() != controls::CEvfPictureBox::frameMessage()) {
            return QApplication::notify(receiver, event);
        }
        const auto due = camsdk::sim::lastLiveViewFrameDue(0);
        const double cpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const bool handled = QApplication::notify(receiver, event);
        const auto shown = Clock::now();
        handlingCpuMs.push_back((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore) * 1e3);
        if (due) {
            latencyMs.push_back(milliseconds(shown - *due));
        }
        return handled;
    }
};

// Notes the thread that announces live-view frames: the camera framework's command thread.
class CommandThreadSpotter final : public camera::Observer {
public:
    void update(camera::Observable*, const camera::ModelEvent& event) override
    {
        if (event.name == "EvfDataChanged" && !m_seen.load()) {
            m_thread = pthread_self();
            m_seen.store(true);
        }
    }
    // The command thread's CPU clock, once a frame has been announced.
    bool clock(clockid_t& clock) const { return m_seen.load() && pthread_getcpuclockid(m_thread, &clock) == 0; }

private:
    std::atomic<bool> m_seen{false};
    pthread_t m_thread{};
};

struct FrameCosts {
    double cameraMs = 0.0; // the simulated camera making a frame: rendering and JPEG encoding
    double decodeMs = 0.0; // TurboJPEG decoding it into 32-bit pixels
};

// CPU milliseconds (medians) of the simulated camera making one live-view frame, measured on the
// calling thread around the download, and of one TurboJPEG decode of it into 32-bit pixels; the
// frames are fetched through handles of the benchmark's own.
FrameCosts frameCosts()
{
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    FrameCosts result;
    std::vector<double> cameraSamples;
    if (CamGetCameraList(&list) == CAM_ERR_OK && CamGetChildAtIndex(list, 0, &camera) == CAM_ERR_OK &&
        CamCreateMemoryStream(0, &stream) == CAM_ERR_OK && CamCreateEvfImageRef(stream, &image) == CAM_ERR_OK) {
        // The wait for each frame's due time sleeps and costs no CPU time.
        for (int round = 0; round < 15; ++round) {
            const double before = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            if (CamDownloadEvfImage(camera, image) != CAM_ERR_OK) {
                cameraSamples.clear();
                break;
            }
            cameraSamples.push_back((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) * 1e3);
        }
        result.cameraMs = median(cameraSamples);
    }
    if (!cameraSamples.empty()) {
        void* data = nullptr;
        uint64_t length = 0;
        CamGetPointer(stream, &data);
        CamGetLength(stream, &length);
        tjhandle decoder = tjInitDecompress();
        int width = 0;
        int height = 0;
        int subsampling = 0;
        int colourspace = 0;
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (decoder && tjDecompressHeader3(decoder, bytes, static_cast<unsigned long>(length), &width, &height,
                                           &subsampling, &colourspace) == 0) {
            std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
            std::vector<double> samples;
            for (int round = 0; round < 200; ++round) {
                const double before = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
                if (tjDecompress2(decoder, bytes, static_cast<unsigned long>(length), pixels.data(), width, 0, height,
                                  TJPF_BGRX, 0) != 0) {
                    samples.clear();
                    break;
                }
                samples.push_back((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) * 1e3);
            }
            result.decodeMs = median(samples);
        }
        if (decoder) {
            tjDestroy(decoder);
        }
    }
    for (CamBaseRef ref : {static_cast<CamBaseRef>(image), static_cast<CamBaseRef>(stream),
                           static_cast<CamBaseRef>(camera), static_cast<CamBaseRef>(list)}) {
        if (ref) {
            CamRelease(ref);
        }
    }
    return result;
}

void runEventLoopFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    MeasuringApplication application(argc, argv);
    dialog::test::DialogFixture fixture;
    // As a workstation runs it: the dialog's own timings and the usual log level.
    fixture.timings = dialog::DialogTimings{};
    control::logFile().setLevel(1);
    fixture.start([](camsdk::sim::SimConfig& config) { config.bodies.at(0).liveViewFramesPerSecond = framesPerSecond; });
    if (!fixture.waitForLiveViewOnHost()) {
        std::fprintf(stderr, "vesk-bench-liveview: live view did not reach the host\n");
        return 1;
    }
    auto* box = fixture.dialog().findChild<controls::CEvfPictureBox*>();
    if (!box) {
        std::fprintf(stderr, "vesk-bench-liveview: the dialog has no live-view picture box\n");
        return 1;
    }
    CommandThreadSpotter spotter;
    fixture.model().addObserver(&spotter);
    // Settle: the first frames, the first paints, the camera's opening events, and one loop of
    // the simulated scene (79 frames), which the simulated camera compresses only once, as a
    // real camera's own processor would spare the host that work.
    runEventLoopFor(std::chrono::seconds(4));
    clockid_t commandClock{};
    if (!spotter.clock(commandClock)) {
        std::fprintf(stderr, "vesk-bench-liveview: no live-view frame arrived\n");
        return 1;
    }

    application.box = box;
    application.measuring = true;
    const auto wallStart = Clock::now();
    const double processStart = processCpuSeconds();
    const double uiStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double commandStart = cpuSeconds(commandClock);
    runEventLoopFor(std::chrono::seconds(idleSeconds));
    const double commandCpu = cpuSeconds(commandClock) - commandStart;
    const double uiCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - uiStart;
    const double processCpu = processCpuSeconds() - processStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    application.measuring = false;
    fixture.model().removeObserver(&spotter);

    const FrameCosts costs = frameCosts();
    const double floorMs = costs.decodeMs;
    const auto shareOfCore = [wall](double cpu) { return cpu / wall * 100.0; };
    const double framesShown = static_cast<double>(application.handlingCpuMs.size());
    const double maxLatency = application.latencyMs.empty()
                                  ? 0.0
                                  : *std::max_element(application.latencyMs.begin(), application.latencyMs.end());

    std::printf("live view idling in the capture dialog, %d s at %d frames/s (camera), %s\n", idleSeconds,
                framesPerSecond, qPrintable(QApplication::platformName()));
    std::printf("  frames shown            %7.1f /s\n", framesShown / wall);
    std::printf("  process CPU             %7.1f %% of one core   goal <= %.0f %%, floor %.1f %% (decode %.2f ms x %d/s)\n",
                shareOfCore(processCpu), cpuGoalPercent, floorMs * framesPerSecond / 10.0, floorMs, framesPerSecond);
    std::printf("    UI thread             %7.1f %%   (frame handling %.2f ms CPU median per frame)\n",
                shareOfCore(uiCpu), median(application.handlingCpuMs));
    std::printf("    command thread        %7.1f %%   (frame downloads; the simulated camera's loop is made before measuring)\n",
                shareOfCore(commandCpu));
    std::printf("    other threads         %7.1f %%\n", shareOfCore(processCpu - uiCpu - commandCpu));
    const double cameraShare = costs.cameraMs * framesShown / wall / 10.0;
    std::printf("  of which the simulated camera making frames  %5.1f %%   (%.2f ms CPU per frame)\n", cameraShare,
                costs.cameraMs);
    std::printf("  host side without it    %7.1f %% of one core\n", shareOfCore(processCpu) - cameraShare);
    std::printf("  due -> shown latency    median %.1f ms, max %.1f ms   goal <= %.1f ms\n",
                median(application.latencyMs), maxLatency, frameIntervalMs);
    fixture.finish();
    return 0;
}
