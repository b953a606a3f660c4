// Events: delivered on the SDK's own thread, after writes and camera-side happenings, never
// after terminate; disconnects and autofocus failures.
#include "TestSupport.h"

#include <atomic>
#include <set>

namespace camsdk::test {
namespace {

using EventTest = SdkTest;

// Guards against handlers called on the caller's thread (the system only queues work from
// them) and against a write that is not announced when the value stays the same.
TEST_F(EventTest, WritesRaisePropertyChangedOnTheSdkThread)
{
    registerAll(m_camera, m_recorder);
    ASSERT_EQ(write(CAM_PROP_TV, 0x68), CAM_ERR_OK);
    ASSERT_EQ(write(CAM_PROP_TV, 0x68), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(2));
    ASSERT_TRUE(sim::waitForEventsDelivered());
    const auto events = m_recorder.events();
    ASSERT_EQ(events.size(), 2u);
    for (const Event& event : events) {
        EXPECT_EQ(event.event, CAM_PROPERTY_EVENT_PROPERTY_CHANGED);
        EXPECT_EQ(event.property, CAM_PROP_TV);
        EXPECT_NE(event.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(events[0].thread, events[1].thread) << "one event thread";
}

// Guards against a session that opens silently: a camera reports every setting it has (and
// every allowed list) when the session opens, and the host learns its settings from that.
TEST_F(EventTest, OpeningASessionReportsEverySettingAndAllowedList)
{
    ASSERT_EQ(CamCloseSession(m_camera), CAM_ERR_OK);
    registerAll(m_camera, m_recorder);
    ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    ASSERT_TRUE(sim::waitForEventsDelivered());
    std::set<CamPropertyID> changed;
    std::set<CamPropertyID> described;
    for (const Event& event : m_recorder.events()) {
        (event.event == CAM_PROPERTY_EVENT_PROPERTY_CHANGED ? changed : described).insert(event.property);
    }
    std::set<CamPropertyID> expectedChanged{CAM_PROP_PRODUCT_NAME, CAM_PROP_BODY_ID};
    std::set<CamPropertyID> expectedDescribed;
    for (const auto& [property, setting] : sim::makeDefaultBody().properties) {
        expectedChanged.insert(property);
        if (!setting.allowed.empty()) {
            expectedDescribed.insert(property);
        }
    }
    EXPECT_EQ(changed, expectedChanged);
    EXPECT_EQ(described, expectedDescribed);
    EXPECT_TRUE(described.count(CAM_PROP_TV) && described.count(CAM_PROP_EVF_AF_MODE));
}

// Guards against allowed-list changes that the host never hears of, and a null handler
// that keeps delivering.
TEST_F(EventTest, AllowedValueChangesRaiseDescChangedAndNullHandlerUnregisters)
{
    registerAll(m_camera, m_recorder);
    sim::setAllowedValues(0, CAM_PROP_ISO_SPEED, {0x48, 0x50});
    ASSERT_TRUE(m_recorder.waitFor(1));
    const Event event = m_recorder.events().at(0);
    EXPECT_EQ(event.event, CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED);
    EXPECT_EQ(event.property, CAM_PROP_ISO_SPEED);
    CamPropertyDesc desc{};
    ASSERT_EQ(CamGetPropertyDesc(m_camera, CAM_PROP_ISO_SPEED, &desc), CAM_ERR_OK);
    EXPECT_EQ(desc.numElements, 2);

    ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
    ASSERT_EQ(write(CAM_PROP_ISO_SPEED, 0x50), CAM_ERR_OK);
    ASSERT_TRUE(sim::waitForEventsDelivered());
    EXPECT_EQ(m_recorder.events().size(), 1u);
}

// Guards against events (and the item handles they would carry) reaching a host that has
// already terminated the SDK.
TEST_F(EventTest, EventsPendingAtTerminateAreDroppedWithoutLeakingHandles)
{
    registerAll(m_camera, m_recorder);
    const uint32_t toHost = CAM_SAVE_TO_HOST;
    ASSERT_EQ(CamSetPropertyData(m_camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(1));
    sim::pressPhysicalShutter(0, 150);
    sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_AV, 0);
    ASSERT_EQ(CamTerminateSDK(), CAM_ERR_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const size_t delivered = m_recorder.events().size();
    EXPECT_LE(delivered, 2u);
    for (const Event& event : m_recorder.events()) {
        EXPECT_EQ(event.object, nullptr) << "no picture after terminate";
    }
    EXPECT_EQ(sim::liveHandleCount(), 1u) << "only the fixture's camera";
}

// Guards against a lost camera that keeps answering calls or cannot have its handles released.
TEST_F(EventTest, DisconnectRaisesShutdownAndLaterCallsFail)
{
    registerAll(m_camera, m_recorder);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(1));
    const CamBaseRef item = m_recorder.events().at(0).object;
    ASSERT_NE(item, nullptr);
    sim::disconnect(0);
    ASSERT_TRUE(m_recorder.waitFor(2));
    EXPECT_EQ(m_recorder.events().at(1).event, CAM_STATE_EVENT_SHUTDOWN);
    EXPECT_NE(m_recorder.events().at(1).thread, std::this_thread::get_id());
    CamDirectoryItemInfo info{};
    EXPECT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_COMM_DISCONNECTED) << "items of a lost body";
    EXPECT_EQ(CamRelease(item), CAM_ERR_OK);

    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_COMM_DISCONNECTED);
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_COMM_DISCONNECTED);
    CamCameraListRef list = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    int32_t count = -1;
    EXPECT_EQ(CamGetChildCount(list, &count), CAM_ERR_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(m_camera), CAM_ERR_OK);
    m_owned.clear();
    EXPECT_EQ(sim::invalidReleaseCount(), 0u);

    sim::reconnect(0);
    EXPECT_NE(camera(0), nullptr) << "a reconnected body is listed again";
}

// Guards against an autofocus failure producing a picture, or being reported for a shot
// without autofocus.
TEST_F(EventTest, AutofocusFailureRaisesCaptureErrorInsteadOfAPicture)
{
    registerAll(m_camera, m_recorder);
    sim::failNextAutofocus(0);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_HALFWAY), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(2));
    ASSERT_TRUE(sim::waitForEventsDelivered());
    const auto events = m_recorder.events();
    ASSERT_EQ(events.size(), 2u) << "halfway and release make no picture";
    EXPECT_EQ(events[0].event, CAM_OBJECT_EVENT_DIR_ITEM_CREATED);
    EXPECT_EQ(events[1].event, CAM_STATE_EVENT_CAPTURE_ERROR);
    EXPECT_EQ(events[1].parameter, CAM_ERR_TAKE_PICTURE_AF_NG);
    EXPECT_EQ(CamRelease(events[0].object), CAM_ERR_OK);
}

// Guards against the live-view autofocus never reporting focus, or keeping it after AF off.
TEST_F(EventTest, LiveViewAutofocusMarksTheSelectedPointAndAnnouncesIt)
{
    registerAll(m_camera, m_recorder);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_ON), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(1));
    EXPECT_EQ(m_recorder.events().at(0).property, CAM_PROP_FOCUS_INFO);
    CamFocusInfo focus{};
    ASSERT_EQ(CamGetPropertyData(m_camera, CAM_PROP_FOCUS_INFO, 0, sizeof focus, &focus), CAM_ERR_OK);
    for (uint32_t index = 0; index < focus.pointNumber; ++index) {
        EXPECT_EQ(focus.focusPoint[index].justFocus & 1, focus.focusPoint[index].selected);
    }
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_OFF), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(2));
    ASSERT_EQ(CamGetPropertyData(m_camera, CAM_PROP_FOCUS_INFO, 0, sizeof focus, &focus), CAM_ERR_OK);
    for (uint32_t index = 0; index < focus.pointNumber; ++index) {
        EXPECT_EQ(focus.focusPoint[index].justFocus, 0u);
    }
}

// Guards against handlers being called with the SDK's lock held: the system's handlers
// release unwanted items and read properties from inside the callback.
TEST_F(EventTest, HandlersMayCallBackIntoTheSdk)
{
    struct Reentry {
        CamCameraRef camera = nullptr;
        std::mutex mutex;
        std::vector<CamError> results;
        static CamError onObject(CamObjectEvent, CamBaseRef object, void* context)
        {
            auto* self = static_cast<Reentry*>(context);
            uint32_t value = 0;
            const CamError read = CamGetPropertyData(self->camera, CAM_PROP_TV, 0, sizeof value, &value);
            const CamError release = CamRelease(object);
            std::lock_guard lock(self->mutex);
            self->results = {read, release};
            return CAM_ERR_OK;
        }
    } reentry;
    reentry.camera = m_camera;
    ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, Reentry::onObject, &reentry), CAM_ERR_OK);
    const size_t before = sim::liveHandleCount();
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(sim::waitForEventsDelivered());
    ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
    std::lock_guard lock(reentry.mutex);
    EXPECT_EQ(reentry.results, (std::vector<CamError>{CAM_ERR_OK, CAM_ERR_OK}));
    EXPECT_EQ(sim::liveHandleCount(), before);
}

// A handler context on the heap whose handler stays inside for a moment and then uses the
// context: freeing the context while a call is under way is counted as a violation (and is a
// use after free under AddressSanitizer).
struct SlowContext {
    static inline std::atomic<int> running{0};
    static inline std::atomic<int> entered{0};
    static inline std::atomic<int> violations{0};
    int calls = 0;

    ~SlowContext()
    {
        if (running > 0) {
            ++violations;
        }
    }
    static void use(void* context)
    {
        ++running;
        ++entered;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++static_cast<SlowContext*>(context)->calls;
        --running;
    }
    static CamError onProperty(CamPropertyEvent, CamPropertyID, uint32_t, void* context)
    {
        use(context);
        return CAM_ERR_OK;
    }
    static CamError onObject(CamObjectEvent, CamBaseRef object, void* context)
    {
        use(context);
        if (object) {
            CamRelease(object);
        }
        return CAM_ERR_OK;
    }
    static CamError onState(CamStateEvent, uint32_t, void* context)
    {
        use(context);
        return CAM_ERR_OK;
    }
};

// Guards against a handler still running (or called again) after it was unregistered: the
// caller frees its context right away, as the driver deletes the controller.
TEST_F(EventTest, UnregisteringWaitsForTheDeliveryUnderWay)
{
    constexpr int rounds = 30;
    for (int round = 0; round < rounds; ++round) {
        const int kind = round % 3;
        auto* context = new SlowContext;
        const int enteredBefore = SlowContext::entered;
        if (kind == 0) {
            ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, SlowContext::onProperty, context), CAM_ERR_OK);
        } else if (kind == 1) {
            ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, SlowContext::onObject, context), CAM_ERR_OK);
        } else {
            ASSERT_EQ(CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, SlowContext::onState, context), CAM_ERR_OK);
        }
        for (int event = 0; event < 3; ++event) {
            if (kind == 0) {
                sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_TV, 0);
            } else if (kind == 1) {
                sim::raiseObjectEvent(0, CAM_OBJECT_EVENT_DIR_ITEM_CREATED, round % 2 == 0);
            } else {
                sim::raiseStateEvent(0, CAM_STATE_EVENT_JOB_STATUS_CHANGED, 0);
            }
        }
        // Unregister while the first delivery is inside the handler, then free at once.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (SlowContext::entered == enteredBefore) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no delivery, round " << round;
            std::this_thread::yield();
        }
        if (kind == 0) {
            ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
        } else if (kind == 1) {
            ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
        } else {
            ASSERT_EQ(CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
        }
        EXPECT_EQ(SlowContext::running, 0) << "round " << round;
        delete context;
        const int enteredAtFree = SlowContext::entered;
        ASSERT_TRUE(sim::waitForEventsDelivered());
        EXPECT_EQ(SlowContext::entered, enteredAtFree) << "called again after unregistering, round " << round;
    }
    EXPECT_EQ(SlowContext::violations, 0) << "of " << rounds << " rounds";
}

// Guards against a handler that unregisters itself waiting for its own call to end, which
// would hang the SDK's event thread for good.
TEST_F(EventTest, HandlerUnregisteringItselfDoesNotDeadlock)
{
    struct SelfRemoving {
        CamCameraRef camera = nullptr;
        std::atomic<int> calls{0};
        std::atomic<CamError> result{CAM_ERR_INTERNAL_ERROR};
        static CamError onProperty(CamPropertyEvent, CamPropertyID, uint32_t, void* context)
        {
            auto* self = static_cast<SelfRemoving*>(context);
            ++self->calls;
            self->result = CamSetPropertyEventHandler(self->camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
            return CAM_ERR_OK;
        }
    } self;
    self.camera = m_camera;
    ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, SelfRemoving::onProperty, &self), CAM_ERR_OK);
    sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_TV, 0);
    sim::raisePropertyEvent(0, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_AV, 0);
    ASSERT_TRUE(sim::waitForEventsDelivered());
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(self.result, CAM_ERR_OK);
}

// Guards against the body's own button firing more than once, or not at all.
TEST(PhysicalShutter, FiresOnceAfterTheSessionOpens)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies[0].physicalShutterDelayMs = 20;
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    EventRecorder recorder;
    ASSERT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder), CAM_ERR_OK);
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    ASSERT_EQ(CamCloseSession(camera), CAM_ERR_OK);
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    ASSERT_TRUE(recorder.waitFor(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(sim::waitForEventsDelivered());
    ASSERT_EQ(recorder.events().size(), 1u);
    EXPECT_NE(recorder.events()[0].object, nullptr);
    EXPECT_EQ(CamRelease(recorder.events()[0].object), CAM_ERR_OK);
    releaseAndTerminate(camera, list);
}

} // namespace
} // namespace camsdk::test
