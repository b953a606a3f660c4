// CPtHubApi against the real hub library loaded by name, a name that does not exist and a
// library that lacks calls.
#include "panner/PtHubApi.h"

#include "pthub/Simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace dialog {
namespace {

class PtHubApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VESK_PTHUB_SIM");
        pthub::sim::reset();
    }
    void TearDown() override { pthub::sim::reset(); }
};

// Every forwarding call answers kPtHubUnavailable, leaves the outputs alone and reaches no hub.
void expectEveryCallUnavailable(const CPtHubApi& api)
{
    const char** serialCodes = nullptr;
    uint32_t count = 7;
    int32_t handle = 7;
    uint32_t voltage = 7;
    EXPECT_EQ(api.PT_ListDevices(&serialCodes, &count), kPtHubUnavailable);
    EXPECT_EQ(api.PT_ConnectDevice("PTH-0001", &handle), kPtHubUnavailable);
    EXPECT_EQ(api.PT_CloseDevice(1), kPtHubUnavailable);
    EXPECT_EQ(api.PT_Move(1, PT_DIRECTION_UP, PT_MOVE_UNTIL_STOPPED), kPtHubUnavailable);
    EXPECT_EQ(api.PT_SetSpeed(1, 500), kPtHubUnavailable);
    EXPECT_EQ(api.PT_GetBatteryVoltage(1, &voltage), kPtHubUnavailable);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(handle, 7);
    EXPECT_EQ(voltage, 7u);
}

bool partialHubIsMapped()
{
    void* probe = dlopen(VESK_PARTIAL_HUB_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (probe) {
        dlclose(probe);
    }
    return probe != nullptr;
}

// Guards against a loader that does not find the hub by its file name, or forwards a call to
// the wrong export or with its arguments swapped: the hub's journal shows what arrived.
TEST_F(PtHubApiTest, LoadsTheHubByNameAndForwardsEveryCall)
{
    pthub::sim::configure(pthub::sim::HubConfig{{{"HEAD-7", 11800}}});
    CPtHubApi api;
    EXPECT_EQ(api.libraryName(), "libPtHub.so");
    ASSERT_TRUE(api.Load()) << api.lastErrorText();
    EXPECT_TRUE(api.isLoaded());
    EXPECT_EQ(api.lastError(), 0u);

    const char** serialCodes = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(api.PT_ListDevices(&serialCodes, &count), PT_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(serialCodes[0], "HEAD-7");
    int32_t handle = 0;
    ASSERT_EQ(api.PT_ConnectDevice(serialCodes[0], &handle), PT_OK);
    EXPECT_NE(handle, 0);
    uint32_t voltage = 0;
    EXPECT_EQ(api.PT_GetBatteryVoltage(handle, &voltage), PT_OK);
    EXPECT_EQ(voltage, 11800u);
    EXPECT_EQ(api.PT_SetSpeed(handle, 767), PT_OK);
    EXPECT_EQ(api.PT_Move(handle, PT_DIRECTION_RIGHT, PT_MOVE_UNTIL_STOPPED), PT_OK);
    EXPECT_EQ(api.PT_Move(handle, PT_DIRECTION_STOP, PT_MOVE_UNTIL_STOPPED), PT_OK);
    EXPECT_EQ(api.PT_CloseDevice(handle), PT_OK);
    EXPECT_EQ(api.PT_SetSpeed(handle, 1), PT_ERR_INVALID_HANDLE) << "the hub's own failures come back as they are";

    const auto calls = pthub::sim::journal();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[1].function, "PT_ConnectDevice");
    EXPECT_EQ(calls[1].serialCode, "HEAD-7");
    EXPECT_EQ(calls[3].function, "PT_SetSpeed");
    EXPECT_EQ(calls[3].argument, 767);
    EXPECT_EQ(calls[4].function, "PT_Move");
    EXPECT_EQ(calls[4].handle, handle);
    EXPECT_EQ(calls[4].argument, PT_DIRECTION_RIGHT);
    EXPECT_EQ(calls[4].argument2, PT_MOVE_UNTIL_STOPPED);
    EXPECT_EQ(calls[5].argument, PT_DIRECTION_STOP);
    EXPECT_EQ(calls[6].function, "PT_CloseDevice");
    EXPECT_EQ(pthub::sim::openHandleCount(), 0u);
}

// Guards against calls that reach a freed library (a crash) or report a success that never
// happened, before Load and after Unload.
TEST_F(PtHubApiTest, CallsWithoutALoadedLibraryAnswerUnavailable)
{
    CPtHubApi api;
    expectEveryCallUnavailable(api);
    ASSERT_TRUE(api.Load());
    EXPECT_TRUE(api.Unload());
    EXPECT_FALSE(api.isLoaded());
    expectEveryCallUnavailable(api);
    EXPECT_TRUE(api.Unload()) << "unloading twice is harmless";
    EXPECT_TRUE(pthub::sim::journal().empty());
}

// Guards against a missing library reported as loaded, or without a reason the dialog can log.
TEST_F(PtHubApiTest, MissingLibraryLeavesAFailureState)
{
    CPtHubApi api("libPtHubThatIsNotThere.so");
    EXPECT_FALSE(api.Load());
    EXPECT_FALSE(api.isLoaded());
    EXPECT_NE(api.lastError(), 0u);
    EXPECT_NE(api.lastErrorText().find("libPtHubThatIsNotThere.so"), std::string::npos) << api.lastErrorText();
    expectEveryCallUnavailable(api);
}

// Guards against a call missing from the library being forwarded through a null pointer.
TEST_F(PtHubApiTest, MissingCallAnswersUnavailableWhileTheOthersWork)
{
    CPtHubApi api(VESK_PARTIAL_HUB_PATH);
    ASSERT_TRUE(api.Load()) << api.lastErrorText();
    const char** serialCodes = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(api.PT_ListDevices(&serialCodes, &count), PT_OK);
    EXPECT_STREQ(serialCodes[0], "PARTIAL-1");
    int32_t handle = 0;
    EXPECT_EQ(api.PT_ConnectDevice("PARTIAL-1", &handle), kPtHubUnavailable);
    EXPECT_EQ(api.PT_Move(1, PT_DIRECTION_UP, PT_MOVE_UNTIL_STOPPED), kPtHubUnavailable);
    EXPECT_TRUE(pthub::sim::journal().empty()) << "the linked hub's calls are not picked up instead";
}

// Guards against a library left mapped (or freed once too often) by Load, Unload and the
// destructor.
TEST_F(PtHubApiTest, LoadUnloadAndDestructionKeepTheLibraryCountBalanced)
{
    ASSERT_FALSE(partialHubIsMapped());
    {
        CPtHubApi api(VESK_PARTIAL_HUB_PATH);
        ASSERT_TRUE(api.Load());
        ASSERT_TRUE(api.Load()) << "loading again frees the first one";
        EXPECT_TRUE(partialHubIsMapped());
        api.Unload();
        EXPECT_FALSE(partialHubIsMapped());
        ASSERT_TRUE(api.Load());
    }
    EXPECT_FALSE(partialHubIsMapped()) << "the destructor frees a library still loaded";
}

} // namespace
} // namespace dialog
