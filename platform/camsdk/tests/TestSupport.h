// What the camera SDK tests share: a fixture that starts from a fresh simulated world, and
// recorders for the events the SDK delivers on its own thread.
// Threading: recorders are filled on the SDK's event thread and read on the test thread
// under their lock.
#pragma once

#include "camsdk/CamSdk.h"
#include "camsdk/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

namespace camsdk::test {

struct Event {
    uint32_t event = 0;
    uint32_t property = 0;    // property events
    uint32_t parameter = 0;   // property and state events
    CamBaseRef object = nullptr;
    std::thread::id thread;
};

class EventRecorder final {
public:
    static CamError onProperty(CamPropertyEvent event, CamPropertyID property, uint32_t parameter, void* context)
    {
        static_cast<EventRecorder*>(context)->add({event, property, parameter, nullptr, std::this_thread::get_id()});
        return CAM_ERR_OK;
    }
    static CamError onObject(CamObjectEvent event, CamBaseRef object, void* context)
    {
        static_cast<EventRecorder*>(context)->add({event, 0, 0, object, std::this_thread::get_id()});
        return CAM_ERR_OK;
    }
    static CamError onState(CamStateEvent event, uint32_t parameter, void* context)
    {
        static_cast<EventRecorder*>(context)->add({event, 0, parameter, nullptr, std::this_thread::get_id()});
        return CAM_ERR_OK;
    }

    std::vector<Event> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // Waits for `count` events in all.
    bool waitFor(size_t count, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_events.size() >= count; });
    }
    // Waits until `holds` is true of the events recorded so far.
    template <typename Predicate>
    bool waitUntil(Predicate holds, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return holds(m_events); });
    }

private:
    void add(const Event& event)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(event);
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TemporaryFolder final {
public:
    TemporaryFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "camsdk-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Starts the SDK on a fresh world made from `config` and takes body 0's camera, with the
// list it came from.
inline void startWithFirstCamera(const sim::SimConfig& config, CamCameraListRef& list, CamCameraRef& camera)
{
    sim::reset();
    sim::configure(config);
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &camera), CAM_ERR_OK);
}

// Starts the SDK on whatever back end the environment chose and takes the one camera it lists
// (the libgphoto2 back end's virtual camera).
inline void startWithTheOnlyCamera(CamCameraListRef& list, CamCameraRef& camera)
{
    sim::reset();
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    int32_t count = 0;
    ASSERT_EQ(CamGetChildCount(list, &count), CAM_ERR_OK);
    ASSERT_EQ(count, 1) << "the virtual camera is not detected: is the fixture's environment set?";
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &camera), CAM_ERR_OK);
}

// Releases the camera and its list and ends the SDK, which must find no handle left alive.
inline void releaseAndTerminate(CamCameraRef camera, CamCameraListRef list)
{
    EXPECT_EQ(CamRelease(camera), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
    EXPECT_EQ(sim::handlesLiveAtLastTerminate(), 0u);
}

// Every test starts from the built-in world with the SDK started and body 0's session open.
class SdkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::reset();
        ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
        m_camera = camera(0);
        ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
        // The settings the camera reports on opening go to nobody before a test registers.
        ASSERT_TRUE(sim::waitForEventsDelivered());
    }
    void TearDown() override
    {
        for (CamBaseRef ref : m_owned) {
            CamRelease(ref);
        }
        while (sim::initializeDepth() > 0) {
            CamTerminateSDK();
        }
    }

    // A camera handle for a body, released at the end of the test.
    CamCameraRef camera(int index)
    {
        CamCameraListRef list = nullptr;
        EXPECT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
        CamCameraRef result = nullptr;
        EXPECT_EQ(CamGetChildAtIndex(list, index, &result), CAM_ERR_OK);
        EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
        m_owned.push_back(result);
        return result;
    }
    CamError write(CamPropertyID property, uint32_t value)
    {
        return CamSetPropertyData(m_camera, property, 0, sizeof value, &value);
    }
    uint32_t read(CamPropertyID property)
    {
        uint32_t value = 0;
        EXPECT_EQ(CamGetPropertyData(m_camera, property, 0, sizeof value, &value), CAM_ERR_OK);
        return value;
    }
    void registerAll(CamCameraRef camera, EventRecorder& recorder)
    {
        ASSERT_EQ(CamSetPropertyEventHandler(camera, CAM_PROPERTY_EVENT_ALL, EventRecorder::onProperty, &recorder), CAM_ERR_OK);
        ASSERT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder), CAM_ERR_OK);
        ASSERT_EQ(CamSetCameraStateEventHandler(camera, CAM_STATE_EVENT_ALL, EventRecorder::onState, &recorder), CAM_ERR_OK);
    }
    void own(CamBaseRef ref) { m_owned.push_back(ref); }

    CamCameraRef m_camera = nullptr;
    std::vector<CamBaseRef> m_owned;
    // Outlives TearDown, so a late event never reaches a destroyed recorder.
    EventRecorder m_recorder;
};

} // namespace camsdk::test
