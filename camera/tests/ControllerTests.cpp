// The controller's dispatch table and the SDK event handlers, driving a running processor and
// the simulated camera.
#include "CameraTestSupport.h"

#include "camera/ActionEvents.h"
#include "camera/CameraController.h"
#include "camera/EventHandlers.h"
#include "camera/SessionCommands.h"

#include <algorithm>

namespace camera::test {
namespace {

namespace fs = std::filesystem;

class ControllerTest : public CameraTest {
protected:
    void start(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {})
    {
        connect(adjust);
        m_model = createCameraModel(m_camera, m_deviceInfo);
        m_model->addObserver(&m_observer);
        m_controller = std::make_unique<CameraController>(m_model);
        m_source.addActionListener(m_controller.get());
        m_controller->run();
        ASSERT_TRUE(m_observer.waitFor("CameraConnected"));
        camsdk::sim::waitForEventsDelivered();
        camsdk::sim::clearJournal();
        m_observer.clear();
    }

    void registerHandlers()
    {
        void* context = static_cast<ActionListener*>(m_controller.get());
        ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, &handlePropertyEvent, context), 0u);
        ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &handleObjectEvent, context), 0u);
        ASSERT_EQ(CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, &handleStateEvent, context), 0u);
        m_handlersRegistered = true;
    }

    void TearDown() override
    {
        if (m_handlersRegistered) {
            CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
            CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
            camsdk::sim::waitForEventsDelivered();
        }
        if (m_controller) {
            m_source.fireAction("closing", nullptr);
            m_controller.reset();
        }
        CameraTest::TearDown();
    }

    // Fires a drive-lens marker and waits until it reached the camera: everything fired
    // before it has been handled.
    void drain()
    {
        const auto markers = [](const std::vector<camsdk::sim::Call>& journal) {
            return std::count_if(journal.begin(), journal.end(), [](const auto& call) {
                return call.function == "CamSendCommand" && call.property == CAM_COMMAND_DRIVE_LENS_EVF &&
                       call.argument == CAM_DRIVE_LENS_NEAR1;
            });
        };
        const auto before = markers(camsdk::sim::journal());
        m_source.fireAction("focus_Near1", nullptr);
        ASSERT_TRUE(waitForJournal([&](const auto& journal) { return markers(journal) > before; }));
    }

    std::vector<CamPoint> zoomPositionWrites()
    {
        std::vector<CamPoint> points;
        for (const auto& call : callsOf("CamSetPropertyData", CAM_PROP_EVF_ZOOM_POSITION)) {
            points.push_back(CamPoint{static_cast<int32_t>(call.argument), static_cast<int32_t>(call.argument2)});
        }
        return points;
    }

    ActionSource m_source;
    std::unique_ptr<CameraController> m_controller;
    bool m_handlersRegistered = false;
};

// Guards against the lens being driven with the wrong step or direction.
TEST_F(ControllerTest, FocusActionsDriveTheLensWithTheirSteps)
{
    start();
    m_source.fireAction("focus_Far2", nullptr);
    m_source.fireAction("focus_Near2", nullptr);
    drain();
    const auto drives = callsOf("CamSendCommand", CAM_COMMAND_DRIVE_LENS_EVF);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].argument, 0x8002);
    EXPECT_EQ(drives[1].argument, 2);
}

// Guards against wrong focus-box arithmetic: centre, clamping at 0 upwards, no bound downwards,
// nothing for an unknown coordinate system.
TEST_F(ControllerTest, FocusBoxActionsComputeTheZoomPosition)
{
    start();
    m_model->setEvfCoordinateSystem(CamSize{0, 680});
    m_source.fireAction("evfFocusBox_Center", nullptr);
    drain();
    EXPECT_TRUE(zoomPositionWrites().empty());

    m_model->setEvfCoordinateSystem(CamSize{1024, 680});
    m_source.fireAction("evfFocusBox_Center", nullptr);
    drain();
    m_model->setEvfZoomPosition(CamPoint{100, 100});
    m_source.fireAction("evfFocusBox_Up", nullptr);
    m_source.fireAction("evfFocusBox_Down", nullptr);
    m_source.fireAction("evfFocusBox_Left", nullptr);
    m_source.fireAction("evfFocusBox_Right", nullptr);
    CamPoint point{7, 9};
    m_source.fireAction("evfFocusBox_Set", &point);
    drain();
    const auto points = zoomPositionWrites();
    ASSERT_EQ(points.size(), 6u);
    const std::vector<std::pair<int32_t, int32_t>> expected{{410, 272}, {100, 0}, {100, 228}, {0, 100}, {228, 100}, {7, 9}};
    for (std::size_t index = 0; index < points.size(); ++index) {
        EXPECT_EQ(points[index].x, expected[index].first) << index;
        EXPECT_EQ(points[index].y, expected[index].second) << index;
    }
}

// Guards against actions matching without regard to case, null arguments being read, and
// value actions writing the wrong property.
TEST_F(ControllerTest, OnlyExactActionStringsWithUsableArgumentsQueueCommands)
{
    start();
    uint32_t value = 0x50;
    m_source.fireAction("takepicture", nullptr);
    m_source.fireAction("Focus_Far2", nullptr);
    m_source.fireAction("SET_TV", &value);
    m_source.fireAction("get_PropertyInfo", nullptr);
    m_source.fireAction("set_Tv", nullptr);
    m_source.fireAction("no such action", &value);
    m_source.setActionCommand("set_Av");
    m_source.fireAction(&value);
    drain();
    const auto journal = camsdk::sim::journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].function, "CamSetPropertyData");
    EXPECT_EQ(journal[0].property, uint32_t{CAM_PROP_AV});
    EXPECT_EQ(journal[0].argument, 0x50);
    EXPECT_EQ(journal[1].function, "CamSendCommand");
}

// Guards against the shutdown notification waiting behind queued camera work.
TEST_F(ControllerTest, ShutdownEventOvertakesQueuedWork)
{
    start();
    RunLog log;
    Gate blocker;
    m_controller->postCommand(std::make_unique<ScriptCommand>(log, "running", 0, &blocker));
    ASSERT_TRUE(log.waitForSize(1));
    uint32_t code = CAM_ERR_DEVICE_BUSY;
    m_source.fireAction("error", &code);
    EXPECT_EQ(handleStateEvent(CAM_STATE_EVENT_SHUTDOWN, 0, static_cast<ActionListener*>(m_controller.get())), 0u);
    blocker.open();
    ASSERT_TRUE(m_observer.waitFor("error"));
    const auto names = m_observer.names();
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()), (std::vector<std::string>{"shutDown", "error"}));
}

// Guards against unwanted object handles leaking or being released twice, and ignored
// properties queueing reads (the fixture checks the handle counts).
TEST_F(ControllerTest, HandlersReleaseUnwantedItemsAndIgnoreNoisyProperties)
{
    start();
    registerHandlers();
    camsdk::sim::raiseObjectEvent(0, CAM_OBJECT_EVENT_DIR_ITEM_CREATED, true);
    camsdk::sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_TEMP_STATUS, 0);
    camsdk::sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_ATTRIBUTE_CHANGE, 0);
    camsdk::sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_ISO_SPEED, 0);
    camsdk::sim::raiseStateEvent(0, CAM_STATE_EVENT_CAPTURE_ERROR, CAM_ERR_TAKE_PICTURE_AF_NG);
    ASSERT_TRUE(camsdk::sim::waitForEventsDelivered());
    EXPECT_EQ(handleObjectEvent(CAM_OBJECT_EVENT_DIR_ITEM_CREATED, nullptr, m_controller.get()), 0u);
    ASSERT_TRUE(m_observer.waitFor("error"));
    drain();
    EXPECT_TRUE(calls("CamRelease").size() == 1u);
    const auto changed = m_observer.named("PropertyChanged");
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].value, uint32_t{CAM_PROP_ISO_SPEED});
    const auto errors = m_observer.named("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value, uint32_t{CAM_ERR_TAKE_PICTURE_AF_NG});
    EXPECT_TRUE(calls("CamGetPropertySize").size() == 1u);
}

// Guards against a whole shot losing its file between the camera's event and the download.
TEST_F(ControllerTest, TakePictureEndsWithADownloadedFile)
{
    start();
    registerHandlers();
    m_source.fireAction("TakePicture", nullptr);
    ASSERT_TRUE(m_observer.waitFor("DownloadComplete"));
    const std::string name = m_observer.named("DownloadComplete")[0].text;
    EXPECT_TRUE(fs::exists(m_folder / name));
    EXPECT_GT(fs::file_size(m_folder / name), 0u);
}

// Guards against "closing" not running the close command or leaving the worker running.
TEST_F(ControllerTest, ClosingClosesTheSessionOnce)
{
    start();
    m_source.fireAction("closing", nullptr);
    EXPECT_EQ(calls("CamCloseSession").size(), 1u);
    m_controller.reset();
    EXPECT_EQ(calls("CamCloseSession").size(), 1u);
}

} // namespace
} // namespace camera::test
