// Ending an acquisition while the camera keeps talking: several threads closing at once, and the
// driver's teardown (close, release the camera, terminate the SDK, delete model and controller)
// with shots and property changes still arriving, which must leave no SDK handle alive.
#include "CameraTestSupport.h"

#include "camera/ActionEvents.h"
#include "camera/CameraController.h"
#include "camera/EventHandlers.h"

#include <atomic>
#include <barrier>
#include <chrono>
#include <optional>
#include <thread>

namespace camera::test {
namespace {

using ShutdownTest = CameraTest;

void smallShots(camsdk::sim::SimConfig& config)
{
    config.bodies.at(0).shotWidth = 192;
    config.bodies.at(0).shotHeight = 128;
    config.propertyEventDelayMs = 0;
}

// Registers the three SDK event handlers with the controller as their context, as the driver does.
void registerHandlers(CamCameraRef camera, CameraController& controller)
{
    void* context = static_cast<ActionListener*>(&controller);
    CamSetPropertyEventHandler(camera, CAM_PROPERTY_EVENT_ALL, &handlePropertyEvent, context);
    CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, &handleObjectEvent, context);
    CamSetCameraStateEventHandler(camera, CAM_STATE_EVENT_ALL, &handleStateEvent, context);
}

// The camera side of a session, on a thread of its own for the life of the object: it keeps
// shooting and changing a setting, and with `failShots` reports failed shots as well.
class BusyCamera final {
public:
    BusyCamera(bool failShots, std::chrono::microseconds pause)
        : m_thread([this, failShots, pause] {
              for (uint32_t step = 0; m_busy; ++step) {
                  camsdk::sim::pressPhysicalShutter(0);
                  camsdk::sim::setProperty(0, CAM_PROP_ISO_SPEED, 0x48 + 8 * (step % 3));
                  if (failShots) {
                      camsdk::sim::raiseStateEvent(0, CAM_STATE_EVENT_CAPTURE_ERROR, CAM_ERR_TAKE_PICTURE_AF_NG);
                  }
                  std::this_thread::sleep_for(pause);
              }
          })
    {
    }
    ~BusyCamera()
    {
        m_busy = false;
        m_thread.join();
    }
    BusyCamera(const BusyCamera&) = delete;
    BusyCamera& operator=(const BusyCamera&) = delete;

private:
    std::atomic<bool> m_busy{true};
    std::thread m_thread;
};

// Guards against two "closing" actions joining the worker twice (a hang in join, or an abort
// from std::system_error): every round must end, with the session closed exactly once.
TEST_F(ShutdownTest, ConcurrentClosingsNeitherHangNorAbort)
{
    constexpr int rounds = 200;
    constexpr int closers = 3;
    connect(smallShots);
    for (int round = 0; round < rounds; ++round) {
        auto model = createCameraModel(m_camera, m_deviceInfo);
        auto controller = std::make_unique<CameraController>(model);
        controller->run();
        std::barrier start(closers);
        std::vector<std::thread> threads;
        for (int closer = 0; closer < closers; ++closer) {
            threads.emplace_back([&] {
                start.arrive_and_wait();
                controller->actionPerformed(ActionEvent("closing", nullptr));
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        controller.reset();
    }
    EXPECT_EQ(calls("CamCloseSession").size(), static_cast<std::size_t>(rounds));
}

// Guards against queued or late commands keeping their handles past the end of the worker: the
// driver terminates the SDK before it deletes the controller, so any handle still held then is
// a leak at terminate, and a controller deleted first would be used after free by the handlers.
TEST_F(ShutdownTest, DriversTeardownOrderLeavesNoLiveHandleWhileEventsKeepComing)
{
    constexpr int rounds = 150;
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    smallShots(config);
    camsdk::sim::configure(config);
    int leakingRounds = 0;
    for (int round = 0; round < rounds; ++round) {
        ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
        CamCameraListRef list = nullptr;
        CamCameraRef camera = nullptr;
        ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
        ASSERT_EQ(CamGetChildAtIndex(list, 0, &camera), CAM_ERR_OK);
        CamRelease(list);
        CamDeviceInfo info{};
        ASSERT_EQ(CamGetDeviceInfo(camera, &info), CAM_ERR_OK);

        auto model = createCameraModel(camera, info);
        auto controller = std::make_unique<CameraController>(model);
        registerHandlers(camera, *controller);
        controller->run();

        // The camera keeps shooting and changing settings until well after the teardown.
        BusyCamera cameraSide(false, std::chrono::microseconds(300));
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + round % 7));

        controller->actionPerformed(ActionEvent("closing", nullptr));
        CamRelease(camera);
        CamTerminateSDK();
        leakingRounds += camsdk::sim::handlesLiveAtLastTerminate() != 0 ? 1 : 0;
        model.reset();
        controller.reset();
    }
    EXPECT_EQ(leakingRounds, 0) << "of " << rounds << " rounds";
}

// Guards against an event already being delivered when the handlers are unregistered reaching
// the controller after it was deleted (a use after free in postCommand): the driver may
// delete the controller as soon as the three unregistering calls have returned.
TEST_F(ShutdownTest, ControllerDeletedRightAfterUnregisteringIsNotReachedByAnEvent)
{
    constexpr int rounds = 60;
    connect(smallShots);
    for (int round = 0; round < rounds; ++round) {
        auto model = createCameraModel(m_camera, m_deviceInfo);
        auto controller = std::make_unique<CameraController>(model);
        registerHandlers(m_camera, *controller);
        controller->run();

        // The camera keeps shooting, changing settings and failing shots until after the teardown.
        std::optional<BusyCamera> cameraSide(std::in_place, true, std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + round % 5));

        // The driver's order once the dialog has closed: unregister, then delete at once.
        controller->actionPerformed(ActionEvent("closing", nullptr));
        CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
        CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
        CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
        controller.reset();
        model.reset();

        cameraSide.reset();
        camsdk::sim::waitForEventsDelivered();
    }
}

} // namespace
} // namespace camera::test
