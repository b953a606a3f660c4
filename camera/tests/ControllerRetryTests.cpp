// Commands that meet a busy camera, through the controller and the simulated camera's fault
// injection: the session still opens (once), and the camera ends in the state asked for last.
#include "ControllerFixture.h"

#include <filesystem>

namespace camera::test {
namespace {

namespace fs = std::filesystem;
using camsdk::sim::injectFault;
using ControllerRetryTest = ControllerTest;

class SessionRetryTest : public ControllerTest {
protected:
    // Runs the controller with `inject` armed before the session opens, and checks that the
    // session opened exactly once, was announced once and was prepared once.
    void expectOneSessionAfter(const std::function<void()>& inject)
    {
        startConnecting({}, [&] {
            camsdk::sim::clearJournal();
            inject();
        });
        ASSERT_TRUE(m_observer.waitFor("CameraConnected"));
        settle();
        EXPECT_EQ(m_observer.named("CameraConnected").size(), 1u);
        EXPECT_EQ(m_observer.named("DeviceBusy").size(), 1u);
        EXPECT_TRUE(m_observer.named("error").empty());
        std::size_t sessionsOpened = 0;
        for (const auto& call : calls("CamOpenSession")) {
            sessionsOpened += call.result == CAM_ERR_OK ? 1 : 0;
        }
        EXPECT_EQ(sessionsOpened, 1u);
        EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_SAVE_TO), uint32_t{CAM_SAVE_TO_HOST});
        EXPECT_EQ(calls("CamSetCapacity").size(), 1u);
        EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_DRIVE_MODE).size(), 1u) << "prepared once";
        EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_EVF_MODE).size(), 1u) << "prepared once";
    }
};

// Guards against one busy answer to the save-to write while the session opens leaving the
// dialog without a camera for good, and against a run again that opens a second session.
TEST_F(SessionRetryTest, BusySaveToWriteIsTriedAgainWithoutReopening)
{
    expectOneSessionAfter([] { injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1, CAM_PROP_SAVE_TO); });
    EXPECT_EQ(calls("CamOpenSession").size(), 1u);
    EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_SAVE_TO).size(), 2u);
}

// Guards against a busy camera at the session's opening itself being reported as a failure.
TEST_F(SessionRetryTest, BusySessionOpenIsTriedAgain)
{
    expectOneSessionAfter([] { injectFault("CamOpenSession", CAM_ERR_DEVICE_BUSY, 1); });
    EXPECT_EQ(calls("CamOpenSession").size(), 2u);
    EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_SAVE_TO).size(), 1u);
}

// Guards against an older setting overriding a newer one: a write that met a busy camera
// used to run again behind the later write of the same property.
TEST_F(ControllerRetryTest, LaterWriteOfTheSamePropertyWins)
{
    start();
    const uint32_t older = 0x60;
    const uint32_t newer = 0x68;
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1, CAM_PROP_TV);
    m_source.fireAction("set_Tv", const_cast<uint32_t*>(&older));
    ASSERT_TRUE(m_observer.waitFor("DeviceBusy"));
    m_source.fireAction("set_Tv", const_cast<uint32_t*>(&newer));
    settle();
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_TV), newer);
    EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_TV).size(), 2u) << "the older write is not run again";
}

// Guards against live view staying on after it was ended: a start that met a busy camera used
// to run again after the end.
TEST_F(ControllerRetryTest, EndingLiveViewCancelsAStartWaitingToRunAgain)
{
    start();
    registerHandlers();
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1, CAM_PROP_EVF_OUTPUT_DEVICE);
    m_source.fireAction("startEVF", nullptr);
    ASSERT_TRUE(m_observer.waitFor("DeviceBusy"));
    m_source.fireAction("endEVF", nullptr);
    settle();
    camsdk::sim::waitForEventsDelivered();
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE) & CAM_EVF_OUTPUT_DEVICE_PC, 0u);

    // The other way round, a start after an end that is waiting to run again leaves it on.
    m_source.fireAction("startEVF", nullptr);
    settle();
    ASSERT_NE(camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE) & CAM_EVF_OUTPUT_DEVICE_PC, 0u);
    camsdk::sim::waitForEventsDelivered();
    settle();
    m_observer.clear();
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1, CAM_PROP_EVF_OUTPUT_DEVICE);
    m_source.fireAction("endEVF", nullptr);
    ASSERT_TRUE(m_observer.waitFor("DeviceBusy"));
    m_source.fireAction("startEVF", nullptr);
    settle();
    EXPECT_NE(camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE) & CAM_EVF_OUTPUT_DEVICE_PC, 0u);
}

// Guards against setting changes cancelling a download that waits to run again after a busy
// camera: the picture must still arrive.
TEST_F(ControllerRetryTest, ARetriedDownloadIsNeverCancelled)
{
    start();
    registerHandlers();
    injectFault("CamDownload", CAM_ERR_DEVICE_BUSY, 1);
    m_source.fireAction("TakePicture", nullptr);
    ASSERT_TRUE(m_observer.waitFor("DeviceBusy"));
    const uint32_t tv = 0x68;
    const uint32_t mode = 1;
    for (const char* action : {"set_Tv", "set_EvfMode", "startEVF", "endEVF", "evfAfOn", "evfAfOff"}) {
        m_source.fireAction(action, const_cast<uint32_t*>(std::string(action) == "set_Tv" ? &tv : &mode));
    }
    ASSERT_TRUE(m_observer.waitFor("DownloadComplete"));
    const std::string name = m_observer.named("DownloadComplete").at(0).text;
    EXPECT_GT(fs::file_size(m_folder / name), 0u);
    EXPECT_EQ(calls("CamDownload").size(), 2u);
}

} // namespace
} // namespace camera::test
