// The controller's dispatch table and the SDK event handlers, driving a running processor and
// the simulated camera.
#include "ControllerFixture.h"

#include "camera/ActionEvents.h"
#include "camera/CameraController.h"
#include "camera/EventHandlers.h"
#include "camera/SessionCommands.h"

#include <optional>
#include <thread>

namespace camera::test {
namespace {

namespace fs = std::filesystem;

// One action through the controller: the argument (a 32-bit value, or any other pointer), what
// is set up first, the SDK calls it leads to and the notifications.
struct ActionRow {
    std::string action;
    std::optional<uint32_t> value = {};
    void* argument = nullptr;
    std::vector<std::string> calls = {};
    std::vector<std::string> notifications = {};
    std::function<void()> prepare = {};
};

std::string write(CamPropertyID property, int64_t value, int64_t second = 0)
{
    return callText("CamSetPropertyData", property, value, second);
}

std::string command(uint32_t command, int64_t parameter)
{
    return callText("CamSendCommand", command, parameter);
}

std::string read(const std::string& function, CamPropertyID property, int64_t parameter = 0)
{
    return callText(function, property, parameter);
}

// Guards against any action string queueing the wrong command, property, value or parameter, or
// dropping its argument: every entry of the dispatch table, checked at the camera.
TEST_F(ControllerTest, EveryActionReachesTheCameraAsDispatched)
{
    start();
    ItemCatcher catcher;
    ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &ItemCatcher::handle, &catcher), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    CamDirectoryItemRef item = catcher.take();
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    const std::string fileName = info.szFileName;

    CamCapacity capacity{0x1234, 0x200, 1};
    uint32_t propertyAndParameter[2] = {CAM_PROP_ISO_SPEED, 7};
    CamPoint point{7, 9};
    const auto zoomPositionAt = [this](CamPoint position) {
        return [this, position] { m_model->setEvfZoomPosition(position); };
    };
    const auto coordinateSystem = [this](CamSize size) {
        return [this, size] { m_model->setEvfCoordinateSystem(size); };
    };
    const auto liveView = [this](uint32_t mode, uint32_t outputDevice) {
        return [this, mode, outputDevice] {
            m_model->setPropertyUInt32(CAM_PROP_EVF_MODE, mode);
            m_model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, outputDevice);
            m_model->setPropertyUInt32(CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 0);
            camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, outputDevice);
        };
    };
    const std::vector<std::string> frameCalls{
        callText("CamCreateMemoryStream"), callText("CamCreateEvfImageRef"), callText("CamDownloadEvfImage"),
        read("CamGetPropertyData", CAM_PROP_EVF_ZOOM), read("CamGetPropertyData", CAM_PROP_EVF_ZOOM_RECT),
        read("CamGetPropertyData", CAM_PROP_EVF_COORDINATE_SYSTEM), read("CamGetPropertyData", CAM_PROP_EVF_IMAGE_POSITION),
        read("CamGetPropertySize", CAM_PROP_FOCUS_INFO), read("CamGetPropertyData", CAM_PROP_FOCUS_INFO),
        // The recording observer takes the frame's stream and releases it; then the image goes.
        callText("CamGetLength"), callText("CamRelease"), callText("CamRelease")};

    std::vector<ActionRow> rows{
        {.action = "opensession", .calls = currentOpeningCalls(),
         .notifications = {"PropertyDescChanged 501", "PropertyChanged 501", "PropertyChanged 500", "CameraConnected"}},
        {.action = "set_AEMode", .value = 0x01, .calls = {write(CAM_PROP_AE_MODE, 0x01)}},
        {.action = "set_Av", .value = 0x40, .calls = {write(CAM_PROP_AV, 0x40)}},
        {.action = "set_Tv", .value = 0x60, .calls = {write(CAM_PROP_TV, 0x60)}},
        {.action = "set_ISOSpeed", .value = 0x50, .calls = {write(CAM_PROP_ISO_SPEED, 0x50)}},
        {.action = "set_MeteringMode", .value = 0x05, .calls = {write(CAM_PROP_METERING_MODE, 0x05)}},
        {.action = "set_ExposureCompensation", .value = 0x08, .calls = {write(CAM_PROP_EXPOSURE_COMPENSATION, 0x08)}},
        {.action = "set_ImageQuality", .value = 0x12FF0F, .calls = {write(CAM_PROP_IMAGE_QUALITY, 0x12FF0F)}},
        {.action = "pressingHalfway", .calls = {command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_HALFWAY)}},
        {.action = "pressingCompletely", .calls = {command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY)}},
        {.action = "pressingOff", .calls = {command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF)}},
        {.action = "TakePicture",
         .calls = {command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY),
                   command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF)}},
        {.action = "TakePictureNonAF",
         .calls = {command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF),
                   command(CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF)}},
        {.action = "set_Capacity", .argument = &capacity, .calls = {callText("CamSetCapacity", 0, 0x1234, 0x200)}},
        {.action = "set_PictureStyle", .value = 0x83, .calls = {write(CAM_PROP_PICTURE_STYLE, 0x83)}},
        {.action = "set_WhiteBalance", .value = 0x02, .calls = {write(CAM_PROP_WHITE_BALANCE, 0x02)}},
        {.action = "get_PropertyInfo", .argument = propertyAndParameter,
         .calls = {read("CamGetPropertySize", CAM_PROP_ISO_SPEED, 7), read("CamGetPropertyData", CAM_PROP_ISO_SPEED, 7)},
         .notifications = {"PropertyChanged 402"}},
        {.action = "get_Property", .value = CAM_PROP_AV,
         .calls = {read("CamGetPropertySize", CAM_PROP_AV), read("CamGetPropertyData", CAM_PROP_AV)},
         .notifications = {"PropertyChanged 405"}},
        {.action = "get_PropertyDesc", .value = CAM_PROP_TV, .calls = {read("CamGetPropertyDesc", CAM_PROP_TV)},
         .notifications = {"PropertyDescChanged 406"}},
        {.action = "download", .argument = item,
         .calls = {callText("CamGetDirectoryItemInfo"),
                   callText("CamCreateFileStream", 0, CAM_FILE_CREATE_DISPOSITION_CREATE_NEW, CAM_ACCESS_READ_WRITE),
                   callText("CamSetProgressCallback", 0, CAM_PROGRESS_OPTION_PERIODICALLY),
                   callText("CamDownload", 0, static_cast<int64_t>(info.size)), callText("CamDownloadComplete"),
                   callText("CamRelease"), callText("CamRelease")},
         .notifications = {"DownloadStart " + fileName, "DownloadComplete " + fileName}},
        {.action = "shutDown", .calls = {}, .notifications = {"shutDown"}},
        {.action = "error", .value = CAM_ERR_TAKE_PICTURE_AF_NG, .calls = {}, .notifications = {"error 8d01"}},
        {.action = "set_EvfMode", .value = 1, .calls = {write(CAM_PROP_EVF_MODE, 1)}},
        {.action = "startEVF", .calls = {write(CAM_PROP_EVF_OUTPUT_DEVICE, 3)}, .prepare = liveView(1, 0)},
        {.action = "downloadEVF", .calls = frameCalls, .notifications = {"EvfDataChanged"}, .prepare = liveView(1, 3)},
        {.action = "endEVF",
         .calls = {read("CamGetPropertyData", CAM_PROP_EVF_OUTPUT_DEVICE), write(CAM_PROP_EVF_OUTPUT_DEVICE, 0)},
         .prepare = liveView(1, 3)},
        {.action = "focus_Near3", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 3)}},
        {.action = "focus_Near2", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 2)}},
        {.action = "focus_Near1", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 1)}},
        {.action = "focus_Far3", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 0x8003)}},
        {.action = "focus_Far2", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 0x8002)}},
        {.action = "focus_Far1", .calls = {command(CAM_COMMAND_DRIVE_LENS_EVF, 0x8001)}},
        {.action = "evfFocusBox_Set", .argument = &point, .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 7, 9)}},
        {.action = "evfFocusBox_Center", .calls = {}, .prepare = coordinateSystem({0, 680})},
        {.action = "evfFocusBox_Center", .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 410, 272)},
         .prepare = coordinateSystem({1024, 680})},
        {.action = "evfFocusBox_Up", .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 300, 0)}, .prepare = zoomPositionAt({300, 100})},
        {.action = "evfFocusBox_Down", .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 300, 228)}, .prepare = zoomPositionAt({300, 100})},
        {.action = "evfFocusBox_Left", .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 172, 100)}, .prepare = zoomPositionAt({300, 100})},
        {.action = "evfFocusBox_Right", .calls = {write(CAM_PROP_EVF_ZOOM_POSITION, 428, 100)}, .prepare = zoomPositionAt({300, 100})},
        {.action = "evfZoom_Full", .calls = {write(CAM_PROP_EVF_ZOOM, 1)}},
        {.action = "evfZoom_Focus", .calls = {write(CAM_PROP_EVF_ZOOM, 5)}},
        {.action = "set_EvfAfMode", .value = 0x02, .calls = {write(CAM_PROP_EVF_AF_MODE, 0x02)}},
        {.action = "evfAfOn", .calls = {command(CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_ON)}},
        {.action = "evfAfOff", .calls = {command(CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_OFF)}},
    };
    for (ActionRow& row : rows) {
        SCOPED_TRACE(row.action);
        if (row.prepare) {
            row.prepare();
        }
        camsdk::sim::waitForEventsDelivered();
        camsdk::sim::clearJournal();
        m_observer.clear();
        m_source.fireAction(row.action, row.value ? &*row.value : row.argument);
        drain();
        EXPECT_EQ(journalTexts(), row.calls);
        EXPECT_EQ(m_observer.texts(), row.notifications);
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
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].function, "CamSetPropertyData");
    EXPECT_EQ(journal[0].property, uint32_t{CAM_PROP_AV});
    EXPECT_EQ(journal[0].argument, 0x50);
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

// Guards against setting boxes left empty: opening a session through the controller, on a
// current and on an older body, must bring every shown setting and its allowed list into the
// model from the camera's own reports, without anyone asking for them.
TEST_F(ControllerTest, OpeningASessionFillsEveryShownSettingAndItsAllowedList)
{
    const CamPropertyID shown[] = {CAM_PROP_AE_MODE, CAM_PROP_TV, CAM_PROP_AV, CAM_PROP_ISO_SPEED,
                                   CAM_PROP_METERING_MODE, CAM_PROP_EXPOSURE_COMPENSATION, CAM_PROP_IMAGE_QUALITY,
                                   CAM_PROP_WHITE_BALANCE, CAM_PROP_COLOR_TEMPERATURE, CAM_PROP_PICTURE_STYLE,
                                   CAM_PROP_EVF_AF_MODE};
    for (const uint32_t subType : {1u, 0u}) {
        SCOPED_TRACE(subType);
        connect([&](auto& config) { config.bodies.at(0).deviceSubType = subType; });
        m_model = createCameraModel(m_camera, m_deviceInfo);
        m_controller = std::make_unique<CameraController>(m_model);
        registerHandlers();
        m_controller->run();
        const auto filled = [&] {
            for (const CamPropertyID property : shown) {
                const CamPropertyDesc desc = m_model->propertyDesc(property);
                if (m_model->propertyUInt32(property) != camsdk::sim::propertyValue(0, property) || desc.numElements < 2) {
                    return false;
                }
            }
            return m_model->bodyId() == "1234567890" && !m_model->modelName().empty();
        };
        for (int polls = 0; polls < 500 && !filled(); ++polls) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(filled());
        EXPECT_EQ(m_model->isLegacy(), subType == 0);
        EXPECT_EQ(m_model->propertyDesc(CAM_PROP_TV).numElements, 22);

        CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
        CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
        CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
        m_source.fireAction("closing", nullptr);
        m_controller.reset();
        m_model.reset();
        CamRelease(m_camera);
        m_camera = nullptr;
        CamTerminateSDK();
        camsdk::sim::reset();
    }
    m_handlersRegistered = false;
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
