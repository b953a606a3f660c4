// Shared fixture, recording observer and journal queries of the camera framework tests.
//
// Threading: see CameraTestSupport.h.
#include "CameraTestSupport.h"

#include "camera/EvfCommands.h"

#include <unistd.h>

#include <cstdio>
#include <thread>

namespace camera::test {

void RecordingObserver::update(Observable* /*observable*/, const ModelEvent& event)
{
    Notification notification;
    notification.name = event.name;
    if (event.argument) {
        if (event.name == "DownloadStart" || event.name == "DownloadComplete") {
            notification.text = static_cast<const char*>(event.argument);
        } else if (event.name == "EvfDataChanged") {
            auto* frame = static_cast<EvfFrameData*>(event.argument);
            notification.zoom = frame->zoom;
            notification.coordinateSystem = frame->coordinateSystem;
            notification.zoomRect = frame->zoomRect;
            notification.imagePosition = frame->imagePosition;
            if (m_takeFrames) {
                CamStreamRef stream = frame->takeStream();
                CamGetLength(stream, &notification.frameBytes);
                CamRelease(stream);
            }
        } else {
            notification.value = *static_cast<const uint32_t*>(event.argument);
        }
    }
    std::lock_guard guard(m_mutex);
    m_notifications.push_back(notification);
    m_changed.notify_all();
}

bool RecordingObserver::waitFor(const std::string& name, std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock guard(m_mutex);
    return m_changed.wait_for(guard, timeout, [&] {
        std::size_t seen = 0;
        for (const Notification& notification : m_notifications) {
            seen += notification.name == name ? 1 : 0;
        }
        return seen >= count;
    });
}

std::vector<Notification> RecordingObserver::all() const
{
    std::lock_guard guard(m_mutex);
    return m_notifications;
}

std::vector<std::string> RecordingObserver::names() const
{
    std::vector<std::string> result;
    for (const Notification& notification : all()) {
        result.push_back(notification.name);
    }
    return result;
}

std::vector<Notification> RecordingObserver::named(const std::string& name) const
{
    std::vector<Notification> result;
    for (const Notification& notification : all()) {
        if (notification.name == name) {
            result.push_back(notification);
        }
    }
    return result;
}

std::vector<std::string> RecordingObserver::texts() const
{
    std::vector<std::string> result;
    for (const Notification& notification : all()) {
        if (notification.name != "ProgressReport") {
            result.push_back(notificationText(notification));
        }
    }
    return result;
}

void RecordingObserver::clear()
{
    std::lock_guard guard(m_mutex);
    m_notifications.clear();
}

std::string notificationText(const Notification& notification)
{
    std::string text = notification.name;
    if (!notification.text.empty()) {
        text += " " + notification.text;
    } else if (notification.value != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, " %x", notification.value);
        text += hex;
    }
    return text;
}

std::string callText(const std::string& function, uint32_t property, int64_t argument, int64_t argument2)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " %x %lld %lld", property, static_cast<long long>(argument),
                  static_cast<long long>(argument2));
    return function + numbers;
}

std::vector<std::string> journalTexts()
{
    std::vector<std::string> result;
    for (const camsdk::sim::Call& call : camsdk::sim::journal()) {
        result.push_back(callText(call.function, call.property, call.argument, call.argument2));
    }
    return result;
}

std::vector<std::string> currentOpeningCalls()
{
    return {callText("CamOpenSession"),
            callText("CamSetPropertyData", CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST),
            callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_LOCK),
            callText("CamSetCapacity", 0, 0x7FFFFFFF, 0x1000),
            callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_UNLOCK),
            callText("CamSetPropertyData", CAM_PROP_DRIVE_MODE, 0),
            callText("CamGetPropertyDesc", CAM_PROP_EVF_MODE),
            callText("CamGetPropertySize", CAM_PROP_EVF_MODE),
            callText("CamGetPropertyData", CAM_PROP_EVF_MODE),
            callText("CamGetPropertySize", CAM_PROP_EVF_OUTPUT_DEVICE),
            callText("CamGetPropertyData", CAM_PROP_EVF_OUTPUT_DEVICE),
            callText("CamSetPropertyData", CAM_PROP_EVF_MODE, 1)};
}

CamError ItemCatcher::handle(CamObjectEvent event, CamBaseRef object, void* context)
{
    auto* catcher = static_cast<ItemCatcher*>(context);
    if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER && object) {
        std::lock_guard guard(catcher->m_mutex);
        catcher->m_items.push_back(object);
    } else if (object) {
        CamRelease(object);
    }
    return CAM_ERR_OK;
}

CamDirectoryItemRef ItemCatcher::take(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        camsdk::sim::waitForEventsDelivered();
        {
            std::lock_guard guard(m_mutex);
            if (!m_items.empty()) {
                CamDirectoryItemRef item = m_items.front();
                m_items.erase(m_items.begin());
                return item;
            }
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

void RunLog::add(const std::string& label)
{
    std::lock_guard guard(m_mutex);
    m_labels.push_back(label);
    m_changed.notify_all();
}

bool RunLog::waitForSize(std::size_t size, std::chrono::milliseconds timeout)
{
    std::unique_lock guard(m_mutex);
    return m_changed.wait_for(guard, timeout, [&] { return m_labels.size() >= size; });
}

std::vector<std::string> RunLog::labels() const
{
    std::lock_guard guard(m_mutex);
    return m_labels;
}

void Gate::open()
{
    std::lock_guard guard(m_mutex);
    m_open = true;
    m_opened.notify_all();
}

void Gate::waitOpen()
{
    std::unique_lock guard(m_mutex);
    m_opened.wait(guard, [this] { return m_open; });
}

ScriptCommand::ScriptCommand(RunLog& log, std::string label, int failures, Gate* gate, int* destroyed)
    : Command(nullptr), m_log(log), m_label(std::move(label)), m_failures(failures), m_gate(gate),
      m_destroyed(destroyed)
{
}

ScriptCommand::~ScriptCommand()
{
    if (m_destroyed) {
        ++*m_destroyed;
    }
}

bool ScriptCommand::execute()
{
    m_log.add(m_label);
    if (m_gate) {
        m_gate->waitOpen();
    }
    if (m_failures > 0) {
        --m_failures;
        return false;
    }
    return true;
}

void CameraTest::SetUp()
{
    camsdk::sim::reset();
    m_previousFolder = std::filesystem::current_path();
    char pattern[] = "/tmp/vesk-camera-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_folder = pattern;
    std::filesystem::current_path(m_folder);
}

void CameraTest::TearDown()
{
    if (m_model) {
        m_model->removeObserver(&m_observer);
        m_model.reset();
    }
    if (m_sdkStarted) {
        camsdk::sim::waitForEventsDelivered();
        if (m_camera) {
            CamRelease(m_camera);
        }
        CamTerminateSDK();
    }
    EXPECT_EQ(camsdk::sim::liveHandleCount(), 0u);
    EXPECT_EQ(camsdk::sim::invalidReleaseCount(), 0u);
    std::filesystem::current_path(m_previousFolder);
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

void CameraTest::connect(const std::function<void(camsdk::sim::SimConfig&)>& adjust)
{
    if (adjust) {
        camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
        adjust(config);
        camsdk::sim::configure(config);
    }
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    m_sdkStarted = true;
    CamCameraListRef list = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &m_camera), CAM_ERR_OK);
    CamRelease(list);
    ASSERT_EQ(CamGetDeviceInfo(m_camera, &m_deviceInfo), CAM_ERR_OK);
}

std::shared_ptr<CameraModel> CameraTest::openModel(const std::function<void(camsdk::sim::SimConfig&)>& adjust)
{
    connect(adjust);
    EXPECT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    m_model = createCameraModel(m_camera, m_deviceInfo);
    m_model->addObserver(&m_observer);
    camsdk::sim::clearJournal();
    return m_model;
}

std::vector<camsdk::sim::Call> CameraTest::calls(const std::string& function)
{
    std::vector<camsdk::sim::Call> result;
    for (const camsdk::sim::Call& call : camsdk::sim::journal()) {
        if (call.function == function) {
            result.push_back(call);
        }
    }
    return result;
}

std::vector<camsdk::sim::Call> CameraTest::callsOf(const std::string& function, uint32_t property)
{
    std::vector<camsdk::sim::Call> result;
    for (const camsdk::sim::Call& call : calls(function)) {
        if (call.property == property) {
            result.push_back(call);
        }
    }
    return result;
}

bool CameraTest::waitForJournal(const std::function<bool(const std::vector<camsdk::sim::Call>&)>& predicate,
                                std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate(camsdk::sim::journal())) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

} // namespace camera::test
