// The SDK's calls: codes, sessions, property data, handle accounting and fault injection.
#include "TestSupport.h"

namespace camsdk::test {
namespace {

using CallTest = SdkTest;

// Guards against property work on a camera whose session is not open being answered as success.
TEST_F(CallTest, CallsWithoutAnOpenSessionFailWithSessionNotOpen)
{
    const CamCameraRef closed = camera(0);
    ASSERT_EQ(CamCloseSession(m_camera), CAM_ERR_OK);
    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(closed, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_SESSION_NOT_OPEN);
    EXPECT_EQ(CamSetPropertyData(closed, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_SESSION_NOT_OPEN);
    EXPECT_EQ(CamSendCommand(closed, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_SESSION_NOT_OPEN);
    EXPECT_EQ(CamCloseSession(closed), CAM_ERR_SESSION_NOT_OPEN);
    CamDeviceInfo info{};
    EXPECT_EQ(CamGetDeviceInfo(closed, &info), CAM_ERR_OK) << "device information needs no session";
    EXPECT_STREQ(info.szDeviceDescription, "Vesk Simulated Camera");
    EXPECT_EQ(info.deviceSubType, 1u);
}

// Guards against wrong data types or sizes, which make the reader misinterpret the bytes.
TEST_F(CallTest, PropertiesReportTheirDataTypeSizeAndRefuseShortBuffers)
{
    const struct {
        CamPropertyID property;
        CamDataType type;
        uint32_t size;
    } expected[] = {{CAM_PROP_BODY_ID, CAM_DATATYPE_STRING, 11},
                    {CAM_PROP_PRODUCT_NAME, CAM_DATATYPE_STRING, 22},
                    {CAM_PROP_TV, CAM_DATATYPE_UINT32, 4},
                    {CAM_PROP_FOCUS_INFO, CAM_DATATYPE_FOCUS_INFO, sizeof(CamFocusInfo)},
                    {CAM_PROP_EVF_ZOOM_POSITION, CAM_DATATYPE_POINT, sizeof(CamPoint)}};
    for (const auto& entry : expected) {
        CamDataType type = 0;
        uint32_t size = 0;
        ASSERT_EQ(CamGetPropertySize(m_camera, entry.property, 0, &type, &size), CAM_ERR_OK);
        EXPECT_EQ(type, entry.type) << std::hex << entry.property;
        EXPECT_EQ(size, entry.size) << std::hex << entry.property;
    }
    char text[CAM_MAX_NAME] = {};
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_BODY_ID, 0, 4, text), CAM_ERR_INVALID_LENGTH);
    ASSERT_EQ(CamGetPropertyData(m_camera, CAM_PROP_BODY_ID, 0, sizeof text, text), CAM_ERR_OK);
    EXPECT_STREQ(text, "1234567890");

    uint16_t small = 0;
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof small, &small), CAM_ERR_INVALID_LENGTH);
    CamDataType type = 0;
    uint32_t size = 0;
    EXPECT_EQ(CamGetPropertySize(m_camera, 0x7777, 0, &type, &size), CAM_ERR_PROPERTIES_UNAVAILABLE);

    CamFocusInfo focus{};
    ASSERT_EQ(CamGetPropertyData(m_camera, CAM_PROP_FOCUS_INFO, 0, sizeof focus, &focus), CAM_ERR_OK);
    ASSERT_EQ(focus.pointNumber, 9u);
    int selected = 0;
    for (uint32_t index = 0; index < focus.pointNumber; ++index) {
        const CamRect& rect = focus.focusPoint[index].rect;
        EXPECT_EQ(focus.focusPoint[index].valid, 1u);
        EXPECT_GE(rect.point.x, 0);
        EXPECT_LE(rect.point.x + rect.size.width, focus.imageRect.size.width);
        EXPECT_LE(rect.point.y + rect.size.height, focus.imageRect.size.height);
        selected += static_cast<int>(focus.focusPoint[index].selected);
    }
    EXPECT_EQ(selected, 1);
}

// Guards against values outside the camera's allowed list being stored.
TEST_F(CallTest, WritesCheckTheAllowedListAndSize)
{
    EXPECT_EQ(write(CAM_PROP_TV, 0x67), CAM_ERR_DEVICE_INVALID_PARAMETER);
    EXPECT_EQ(sim::propertyValue(0, CAM_PROP_TV), 0x70u);
    EXPECT_EQ(write(CAM_PROP_TV, 0x68), CAM_ERR_OK);
    EXPECT_EQ(read(CAM_PROP_TV), 0x68u);
    EXPECT_EQ(write(CAM_PROP_EVF_OUTPUT_DEVICE, 3), CAM_ERR_OK) << "an empty list accepts any value";
    const uint16_t small = 1;
    EXPECT_EQ(CamSetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof small, &small), CAM_ERR_INVALID_LENGTH);
    EXPECT_EQ(write(CAM_PROP_BODY_ID, 1), CAM_ERR_NOT_SUPPORTED);
    EXPECT_EQ(write(0x7777, 1), CAM_ERR_PROPERTIES_UNAVAILABLE);

    CamPropertyDesc desc{};
    ASSERT_EQ(CamGetPropertyDesc(m_camera, CAM_PROP_METERING_MODE, &desc), CAM_ERR_OK);
    ASSERT_EQ(desc.numElements, 4);
    EXPECT_EQ(std::vector<int32_t>(desc.propDesc, desc.propDesc + 4), (std::vector<int32_t>{1, 3, 4, 5}));
}

// Guards against a zoom position that puts the magnified region outside the sensor, and
// against a journal that loses the second word of a point.
TEST_F(CallTest, ZoomPositionIsClampedAndJournaledWithBothWords)
{
    sim::clearJournal();
    const CamPoint far{100000, -40};
    ASSERT_EQ(CamSetPropertyData(m_camera, CAM_PROP_EVF_ZOOM_POSITION, 0, sizeof far, &far), CAM_ERR_OK);
    const CamPoint stored = sim::zoomPosition(0);
    EXPECT_EQ(stored.x, 1536 - 1536 / 5);
    EXPECT_EQ(stored.y, 0);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DRIVE_LENS_EVF, CAM_DRIVE_LENS_FAR2), CAM_ERR_OK);

    const auto calls = sim::journal();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "CamSetPropertyData");
    EXPECT_EQ(calls[0].property, CAM_PROP_EVF_ZOOM_POSITION);
    EXPECT_EQ(calls[0].argument, 100000);
    EXPECT_EQ(calls[0].argument2, -40);
    EXPECT_EQ(calls[1].function, "CamSendCommand");
    EXPECT_EQ(calls[1].property, CAM_COMMAND_DRIVE_LENS_EVF);
    EXPECT_EQ(calls[1].argument, CAM_DRIVE_LENS_FAR2);
    EXPECT_EQ(calls[1].result, CAM_ERR_OK);
}

// Guards against leaked, doubly released or stale handles going unnoticed.
TEST_F(CallTest, HandlesAreCountedAndReleasedExactlyOnce)
{
    const size_t before = sim::liveHandleCount();
    CamCameraListRef list = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    CamCameraRef first = nullptr;
    CamCameraRef second = nullptr;
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &first), CAM_ERR_OK);
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &second), CAM_ERR_OK);
    EXPECT_NE(first, second) << "each call gives a new handle";
    CamBaseRef outside = nullptr;
    EXPECT_EQ(CamGetChildAtIndex(list, 1, &outside), CAM_ERR_INVALID_INDEX);
    EXPECT_EQ(sim::liveHandleCount(), before + 3);

    EXPECT_EQ(CamRelease(first), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(second), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(sim::liveHandleCount(), before);

    EXPECT_EQ(CamRelease(first), CAM_ERR_INVALID_HANDLE);
    EXPECT_EQ(CamRelease(nullptr), CAM_ERR_INVALID_HANDLE);
    EXPECT_EQ(sim::invalidReleaseCount(), 2u);
    int32_t count = 0;
    EXPECT_EQ(CamGetChildCount(list, &count), CAM_ERR_INVALID_HANDLE) << "a released list is stale";
    EXPECT_EQ(CamGetChildCount(m_camera, &count), CAM_ERR_INVALID_HANDLE) << "a camera is not a list";
}

// Guards against a terminate that hides handles still held by the caller.
TEST_F(CallTest, TerminateReportsLiveHandlesAndNestedInitializeCounts)
{
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    EXPECT_EQ(sim::initializeDepth(), 2);
    ASSERT_EQ(CamTerminateSDK(), CAM_ERR_OK);
    EXPECT_EQ(sim::initializeDepth(), 1);
    EXPECT_EQ(read(CAM_PROP_TV), 0x70u) << "the SDK is still started after the inner terminate";

    ::testing::internal::CaptureStderr();
    ASSERT_EQ(CamTerminateSDK(), CAM_ERR_OK);
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(sim::initializeDepth(), 0);
    EXPECT_EQ(sim::handlesLiveAtLastTerminate(), 1u) << "the fixture's camera is still held";
    EXPECT_NE(report.find("1 live handle"), std::string::npos) << "the leak is reported: " << report;
    CamCameraListRef list = nullptr;
    EXPECT_NE(CamGetCameraList(&list), CAM_ERR_OK) << "no calls after terminate";
    EXPECT_EQ(CamRelease(m_camera), CAM_ERR_OK) << "handles can still be released once";
    m_owned.clear();
    EXPECT_EQ(sim::liveHandleCount(), 0u);
}

// Guards against injected faults that hit the wrong calls, too many calls, or change state
// (a refused shutter command that still takes a picture).
TEST_F(CallTest, FaultsMatchFunctionPropertyAndCountAndChangeNothing)
{
    registerAll(m_camera, m_recorder);
    sim::injectFault("CamGetPropertyData", CAM_ERR_DEVICE_BUSY, 2, CamPropertyID{CAM_PROP_TV});
    sim::injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY);
    sim::injectFault("CamSendCommand", CAM_ERR_DEVICE_BUSY, 1, CamPropertyID{CAM_COMMAND_PRESS_SHUTTER_BUTTON});
    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_AV, 0, sizeof value, &value), CAM_ERR_OK);
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_DEVICE_BUSY);
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_DEVICE_BUSY);
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_OK);

    EXPECT_EQ(write(CAM_PROP_TV, 0x68), CAM_ERR_DEVICE_BUSY);
    EXPECT_EQ(sim::propertyValue(0, CAM_PROP_TV), 0x70u);
    EXPECT_EQ(write(CAM_PROP_TV, 0x68), CAM_ERR_OK);

    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_OFF), CAM_ERR_OK);
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY),
              CAM_ERR_DEVICE_BUSY);
    const auto calls = sim::journal();
    EXPECT_EQ(calls.back().result, CAM_ERR_DEVICE_BUSY) << "injected results are journaled";
    ASSERT_TRUE(sim::waitForEventsDelivered());
    for (const Event& event : m_recorder.events()) {
        EXPECT_EQ(event.object, nullptr) << "the refused shutter command took a picture";
        EXPECT_NE(event.event, CAM_OBJECT_EVENT_DIR_ITEM_CREATED);
    }
}

// Guards against a call given a handle of the wrong kind being answered as anything but an
// invalid handle (the caller would take it for a camera-side refusal).
TEST_F(CallTest, ProgressCallbackOnAHandleThatIsNoStreamIsAnInvalidHandle)
{
    EXPECT_EQ(CamSetProgressCallback(m_camera, nullptr, CAM_PROGRESS_OPTION_PERIODICALLY, nullptr),
              CAM_ERR_INVALID_HANDLE);
}

// Guards against an older body's refusal of the shutter button not being 0x60.
TEST(ShutterRejectingBody, AnswersTheShutterButtonWithInvalidParameter)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies[0].rejectsShutterButton = true;
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    EventRecorder recorder;
    ASSERT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder), CAM_ERR_OK);

    EXPECT_EQ(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY),
              CAM_ERR_INVALID_PARAMETER);
    EXPECT_EQ(CamSendCommand(camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(recorder.waitFor(1));
    ASSERT_TRUE(sim::waitForEventsDelivered());
    const auto events = recorder.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, CAM_OBJECT_EVENT_DIR_ITEM_CREATED) << "saved to the camera by default";
    EXPECT_EQ(CamRelease(events[0].object), CAM_ERR_OK);
    releaseAndTerminate(camera, list);
}

} // namespace
} // namespace camsdk::test
