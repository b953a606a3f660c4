// Live-view pacing: frames come at the body's rate however fast they are asked for, a late
// caller gets the latest frame rather than a backlog, and a download waiting for its frame
// ends at once when what it waits on goes away.
// Threading: test thread, plus one downloading thread in the wake-up test.
#include "TestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace camsdk::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Body 0 paced at `rate` frames a second, with small frames so that rendering costs little.
sim::SimConfig pacedWorld(int rate)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies[0].liveViewWidth = 64;
    config.bodies[0].liveViewHeight = 48;
    config.bodies[0].liveViewFramesPerSecond = rate;
    return config;
}

// The SDK started on a paced world, body 0's session open with live view going to the host,
// and an image to download frames into. Whatever a test has not released is released at the end.
class PacedLiveView final {
public:
    PacedLiveView() = default;
    void start(int rate)
    {
        ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(pacedWorld(rate), list, camera));
        ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
        const uint32_t toHost = CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC;
        ASSERT_EQ(CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof toHost, &toHost), CAM_ERR_OK);
        ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
        ASSERT_EQ(CamCreateEvfImageRef(stream, &image), CAM_ERR_OK);
    }
    PacedLiveView(const PacedLiveView&) = delete;
    PacedLiveView& operator=(const PacedLiveView&) = delete;
    ~PacedLiveView()
    {
        for (CamBaseRef ref : {static_cast<CamBaseRef>(image), static_cast<CamBaseRef>(stream),
                               static_cast<CamBaseRef>(camera), static_cast<CamBaseRef>(list)}) {
            if (ref) {
                CamRelease(ref);
            }
        }
        while (sim::initializeDepth() > 0) {
            CamTerminateSDK();
        }
    }

    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
};

// Guards against live view handing out a frame on every download (a caller that asks again
// as soon as it has shown one then spins a core), against frames off the body's grid, and
// against a caller that comes late being handed stale frames one after another.
TEST(LiveViewPacing, FramesComeNoFasterThanTheBodysRateAndALateCallerGetsTheLatest)
{
    PacedLiveView rig;
    ASSERT_NO_FATAL_FAILURE(rig.start(20));
    const Clock::duration interval = 50ms;

    int frames = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < 500ms) {
        ASSERT_EQ(CamDownloadEvfImage(rig.camera, rig.image), CAM_ERR_OK);
        ++frames;
    }
    // 0.5 s at 20 frames a second is the first frame and 10 more; the bound leaves room for a
    // slow machine but not for an unpaced loop, which makes hundreds.
    EXPECT_LE(frames, 13);
    EXPECT_GE(frames, 2);

    const auto lastPaced = sim::lastLiveViewFrameDue(0);
    ASSERT_TRUE(lastPaced.has_value());
    std::this_thread::sleep_for(3 * interval + 10ms);
    ASSERT_EQ(CamDownloadEvfImage(rig.camera, rig.image), CAM_ERR_OK);
    const auto late = sim::lastLiveViewFrameDue(0);
    ASSERT_EQ(CamDownloadEvfImage(rig.camera, rig.image), CAM_ERR_OK);
    const auto next = sim::lastLiveViewFrameDue(0);
    ASSERT_TRUE(late && next);
    EXPECT_GE(*late - *lastPaced, 3 * interval) << "the frames due while nobody asked are skipped";
    EXPECT_EQ((*late - *lastPaced) % interval, Clock::duration::zero()) << "frames fall due on the body's grid";
    EXPECT_GT(*next - *late, Clock::duration::zero()) << "the download after the late one gets a new frame";
    EXPECT_EQ((*next - *late) % interval, Clock::duration::zero());

    void* pointer = nullptr;
    uint64_t length = 0;
    ASSERT_EQ(CamGetPointer(rig.stream, &pointer), CAM_ERR_OK);
    ASSERT_EQ(CamGetLength(rig.stream, &length), CAM_ERR_OK);
    EXPECT_GT(length, 0u) << "a paced download still delivers its frame";
}

// Guards against a download waiting for its frame outliving what it waits on: when the camera
// disconnects, its session closes, the image or the camera handle is released or the SDK ends,
// the wait ends at once with that as the answer instead of sleeping out the interval (a
// shutdown made as slow as the camera's frame interval, or one that hangs).
TEST(LiveViewPacing, AWaitEndsAtOnceWhenWhatItWaitsOnGoes)
{
    struct Happening {
        const char* what;
        CamError answer;
        std::function<void(PacedLiveView&)> happen;
    };
    const std::vector<Happening> happenings{
        {"disconnect", CAM_ERR_COMM_DISCONNECTED, [](PacedLiveView&) { sim::disconnect(0); }},
        {"session closed", CAM_ERR_SESSION_NOT_OPEN,
         [](PacedLiveView& rig) { EXPECT_EQ(CamCloseSession(rig.camera), CAM_ERR_OK); }},
        {"image released", CAM_ERR_INVALID_HANDLE,
         [](PacedLiveView& rig) {
             EXPECT_EQ(CamRelease(rig.image), CAM_ERR_OK);
             rig.image = nullptr;
         }},
        {"camera released", CAM_ERR_INVALID_HANDLE,
         [](PacedLiveView& rig) {
             EXPECT_EQ(CamRelease(rig.camera), CAM_ERR_OK);
             rig.camera = nullptr;
         }},
        {"SDK terminated", CAM_ERR_INTERNAL_ERROR, [](PacedLiveView&) { EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK); }},
    };
    for (const Happening& happening : happenings) {
        SCOPED_TRACE(happening.what);
        // One frame a second: a wait that is not cut short lasts up to a second.
        PacedLiveView rig;
        ASSERT_NO_FATAL_FAILURE(rig.start(1));
        ASSERT_EQ(CamDownloadEvfImage(rig.camera, rig.image), CAM_ERR_OK);

        const CamCameraRef camera = rig.camera;
        const CamEvfImageRef image = rig.image;
        CamError answer = CAM_ERR_OK;
        Clock::time_point answered;
        std::thread downloader([&] {
            answer = CamDownloadEvfImage(camera, image);
            answered = Clock::now();
        });
        std::this_thread::sleep_for(100ms);
        const auto happened = Clock::now();
        happening.happen(rig);
        downloader.join();
        EXPECT_EQ(answer, happening.answer);
        EXPECT_LT(answered - happened, 500ms) << "the wait ran on instead of ending";
    }
}

// Guards against the simulated camera showing a stale loop after the view changed (a cached
// frame of the old zoom rectangle), and against a loop that does not come round: the frames
// of one loop come again byte for byte, and zoomed in they are new pictures.
TEST(LiveViewPacing, TheSceneLoopsAndANewViewGivesNewFrames)
{
    PacedLiveView rig;
    ASSERT_NO_FATAL_FAILURE(rig.start(0));
    const auto frameBytes = [&rig] {
        uint64_t length = 0;
        void* address = nullptr;
        EXPECT_EQ(CamDownloadEvfImage(rig.camera, rig.image), CAM_ERR_OK);
        CamGetLength(rig.stream, &length);
        CamGetPointer(rig.stream, &address);
        return std::string(static_cast<const char*>(address), length);
    };
    constexpr int loop = 79;
    std::vector<std::string> first;
    for (int frame = 0; frame < loop; ++frame) {
        first.push_back(frameBytes());
    }
    EXPECT_NE(first[0], first[1]);
    EXPECT_EQ(frameBytes(), first[0]);
    EXPECT_EQ(frameBytes(), first[1]);
    const uint32_t zoomed = 5;
    ASSERT_EQ(CamSetPropertyData(rig.camera, CAM_PROP_EVF_ZOOM, 0, sizeof zoomed, &zoomed), CAM_ERR_OK);
    EXPECT_NE(frameBytes(), first[3]);
}

} // namespace
} // namespace camsdk::test
