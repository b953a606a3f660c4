// The hub's six calls: devices and voltage as configured, moves and speeds read back in order,
// refused input, injected faults and concurrent callers.
#include "HubTest.h"

#include <algorithm>
#include <thread>

namespace pthub::test {
namespace {

using HubCallTest = HubTest;

sim::HubConfig threeDevices()
{
    return sim::HubConfig{{{"PT-A", 12500}, {"PT-B", 999}, {"PT-C", 1000}}};
}

// Guards against a device list in the wrong order, an unterminated array, voltages of the
// wrong device, and handles that do not tell devices apart.
TEST_F(HubCallTest, ListsConnectsAndReportsVoltageOfEachConfiguredDevice)
{
    sim::configure(threeDevices());
    const char** serialCodes = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(PT_ListDevices(&serialCodes, &count), PT_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(serialCodes[0], "PT-A");
    EXPECT_STREQ(serialCodes[1], "PT-B");
    EXPECT_STREQ(serialCodes[2], "PT-C");
    EXPECT_EQ(serialCodes[3], nullptr);

    for (const auto& device : threeDevices().devices) {
        const int32_t handle = connect(device.serialCode);
        uint32_t voltage = 0;
        EXPECT_EQ(PT_GetBatteryVoltage(handle, &voltage), PT_OK);
        EXPECT_EQ(voltage, device.batteryVoltage) << device.serialCode;
    }
    EXPECT_EQ(sim::openHandleCount(), 3u);

    sim::setBatteryVoltage("PT-B", 11000);
    const int32_t again = connect("PT-B");
    uint32_t voltage = 0;
    EXPECT_EQ(PT_GetBatteryVoltage(again, &voltage), PT_OK);
    EXPECT_EQ(voltage, 11000u);
    EXPECT_EQ(sim::deviceState("PT-B")->openHandles, 2u) << "a device may be connected twice";

    // A caller that still holds the old array can read it after the devices changed.
    sim::configure(sim::HubConfig{{{"PT-Z", 5000}}});
    EXPECT_STREQ(serialCodes[1], "PT-B");
    EXPECT_EQ(listedSerialCodes(), std::vector<std::string>{"PT-Z"});
    EXPECT_EQ(sim::openHandleCount(), 0u) << "reconfiguring forgets the handles";
    EXPECT_EQ(PT_CloseDevice(again), PT_ERR_INVALID_HANDLE);
}

// Guards against a hub that hides moves or speeds from the journal, swaps their arguments or
// loses their order, and against a head that keeps moving once nobody holds it.
TEST_F(HubCallTest, JournalRecordsMovesAndSpeedsInOrder)
{
    const int32_t handle = connect("PTH-0001");
    sim::clearJournal();
    EXPECT_EQ(PT_SetSpeed(handle, 500), PT_OK);
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_UP, PT_MOVE_UNTIL_STOPPED), PT_OK);
    EXPECT_EQ(sim::deviceState("PTH-0001")->direction, PT_DIRECTION_UP);
    EXPECT_EQ(PT_SetSpeed(handle, 767), PT_OK);
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_RIGHT | PT_DIRECTION_DOWN, PT_MOVE_UNTIL_STOPPED), PT_OK);
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_STOP, PT_MOVE_UNTIL_STOPPED), PT_OK);

    struct Expected {
        const char* function;
        int32_t argument;
        int32_t argument2;
    };
    const Expected expected[] = {{"PT_SetSpeed", 500, 0},
                                 {"PT_Move", PT_DIRECTION_UP, -1},
                                 {"PT_SetSpeed", 767, 0},
                                 {"PT_Move", PT_DIRECTION_RIGHT | PT_DIRECTION_DOWN, -1},
                                 {"PT_Move", PT_DIRECTION_STOP, -1}};
    const auto calls = sim::journal();
    ASSERT_EQ(calls.size(), std::size(expected));
    for (std::size_t index = 0; index < calls.size(); ++index) {
        EXPECT_EQ(calls[index].function, expected[index].function) << index;
        EXPECT_EQ(calls[index].argument, expected[index].argument) << index;
        EXPECT_EQ(calls[index].argument2, expected[index].argument2) << index;
        EXPECT_EQ(calls[index].handle, handle) << index;
        EXPECT_EQ(calls[index].serialCode, "PTH-0001") << index;
        EXPECT_EQ(calls[index].result, PT_OK) << index;
    }
    auto state = sim::deviceState("PTH-0001");
    EXPECT_EQ(state->direction, PT_DIRECTION_STOP);
    EXPECT_EQ(state->speed, 767);

    const int32_t second = connect("PTH-0001");
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_LEFT, PT_MOVE_UNTIL_STOPPED), PT_OK);
    EXPECT_EQ(PT_CloseDevice(second), PT_OK);
    EXPECT_EQ(sim::deviceState("PTH-0001")->direction, PT_DIRECTION_LEFT) << "another handle still holds it";
    EXPECT_EQ(PT_CloseDevice(handle), PT_OK);
    EXPECT_EQ(sim::deviceState("PTH-0001")->direction, PT_DIRECTION_STOP);
    EXPECT_EQ(sim::openHandleCount(), 0u);
}

// Guards against input handled unsafely: null pointers, unknown or stale handles and values
// out of range are refused, journaled, clear the outputs and leave the head as it was.
TEST_F(HubCallTest, InvalidInputIsRefusedAndChangesNothing)
{
    EXPECT_EQ(PT_ListDevices(nullptr, nullptr), PT_ERR_INVALID_PARAMETER);
    uint32_t count = 99;
    EXPECT_EQ(PT_ListDevices(nullptr, &count), PT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(count, 0u);
    int32_t handle = 99;
    EXPECT_EQ(PT_ConnectDevice(nullptr, &handle), PT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(PT_ConnectDevice("PTH-0001", nullptr), PT_ERR_INVALID_PARAMETER);
    handle = 99;
    EXPECT_EQ(PT_ConnectDevice("PTH-9999", &handle), PT_ERR_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(sim::openHandleCount(), 0u);

    handle = connect("PTH-0001");
    ASSERT_EQ(PT_SetSpeed(handle, 300), PT_OK);
    ASSERT_EQ(PT_Move(handle, PT_DIRECTION_UP, PT_MOVE_UNTIL_STOPPED), PT_OK);
    for (const int32_t speed : {-1, 1024}) {
        EXPECT_EQ(PT_SetSpeed(handle, speed), PT_ERR_INVALID_PARAMETER) << speed;
    }
    for (const int32_t direction : {PT_DIRECTION_UP | PT_DIRECTION_DOWN, PT_DIRECTION_LEFT | PT_DIRECTION_RIGHT, 16, -1}) {
        EXPECT_EQ(PT_Move(handle, direction, PT_MOVE_UNTIL_STOPPED), PT_ERR_INVALID_PARAMETER) << direction;
    }
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_LEFT, 0), PT_ERR_INVALID_PARAMETER);
    EXPECT_EQ(PT_GetBatteryVoltage(handle, nullptr), PT_ERR_INVALID_PARAMETER);
    const auto state = sim::deviceState("PTH-0001");
    EXPECT_EQ(state->direction, PT_DIRECTION_UP);
    EXPECT_EQ(state->speed, 300);

    uint32_t voltage = 99;
    for (const int32_t unknown : {0, -1, handle + 1000}) {
        EXPECT_EQ(PT_Move(unknown, PT_DIRECTION_STOP, PT_MOVE_UNTIL_STOPPED), PT_ERR_INVALID_HANDLE);
        EXPECT_EQ(PT_SetSpeed(unknown, 10), PT_ERR_INVALID_HANDLE);
        EXPECT_EQ(PT_GetBatteryVoltage(unknown, &voltage), PT_ERR_INVALID_HANDLE);
        EXPECT_EQ(voltage, 0u);
        EXPECT_EQ(PT_CloseDevice(unknown), PT_ERR_INVALID_HANDLE);
    }
    EXPECT_EQ(PT_CloseDevice(handle), PT_OK);
    EXPECT_EQ(PT_CloseDevice(handle), PT_ERR_INVALID_HANDLE) << "a handle is closed once";
    EXPECT_EQ(sim::journal().back().result, PT_ERR_INVALID_HANDLE);

    const int32_t beforeReset = connect("PTH-0001");
    sim::reset();
    EXPECT_EQ(PT_Move(beforeReset, PT_DIRECTION_UP, PT_MOVE_UNTIL_STOPPED), PT_ERR_INVALID_HANDLE);
    EXPECT_NE(connect("PTH-0001"), beforeReset) << "handles are not reused after a reset";
}

// Guards against injected faults that change state, leave stale outputs, outlast their count
// or silently accept a misspelt call name.
TEST_F(HubCallTest, InjectedFaultsAnswerTheirCodeForTheirCountAndClearOutputs)
{
    sim::injectFault("PT_ListDevices", 7, 2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const char** serialCodes = nullptr;
        uint32_t count = 5;
        EXPECT_EQ(PT_ListDevices(&serialCodes, &count), 7);
        EXPECT_EQ(serialCodes, nullptr);
        EXPECT_EQ(count, 0u);
    }
    EXPECT_EQ(listedSerialCodes().size(), 1u) << "the fault is used up";

    sim::injectFault("PT_ConnectDevice", PT_OK);
    int32_t handle = 99;
    EXPECT_EQ(PT_ConnectDevice("PTH-0001", &handle), PT_OK) << "a success without a handle";
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(sim::openHandleCount(), 0u);

    handle = connect("PTH-0001");
    sim::injectFault("PT_GetBatteryVoltage", 9);
    sim::injectFault("PT_Move", 9);
    uint32_t voltage = 99;
    EXPECT_EQ(PT_GetBatteryVoltage(handle, &voltage), 9);
    EXPECT_EQ(voltage, 0u);
    EXPECT_EQ(PT_Move(handle, PT_DIRECTION_DOWN, PT_MOVE_UNTIL_STOPPED), 9);
    EXPECT_EQ(sim::deviceState("PTH-0001")->direction, PT_DIRECTION_STOP);
    const sim::Call refused = sim::journal().back();
    EXPECT_EQ(refused.function, "PT_Move");
    EXPECT_EQ(refused.argument, PT_DIRECTION_DOWN) << "an injected answer still shows what was asked";
    EXPECT_EQ(refused.serialCode, "PTH-0001");
    EXPECT_EQ(refused.result, 9);

    sim::injectFault("PT_SetSpeed", 9, 3);
    sim::clearFaults();
    EXPECT_EQ(PT_SetSpeed(handle, 1), PT_OK);
    EXPECT_THROW(sim::injectFault("PT_Moev", 9), std::invalid_argument);
}

// Guards against lost journal entries or handles when the hub is called from several threads.
TEST_F(HubCallTest, ConcurrentCallersAreSerialized)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    sim::clearJournal();
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([] {
            for (int round = 0; round < kRounds; ++round) {
                int32_t handle = 0;
                PT_ConnectDevice("PTH-0001", &handle);
                PT_SetSpeed(handle, round);
                PT_Move(handle, PT_DIRECTION_LEFT, PT_MOVE_UNTIL_STOPPED);
                PT_CloseDevice(handle);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const auto calls = sim::journal();
    EXPECT_EQ(calls.size(), static_cast<std::size_t>(kThreads * kRounds * 4));
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const sim::Call& call) { return call.result == PT_OK; }));
    EXPECT_EQ(sim::openHandleCount(), 0u);
}

} // namespace
} // namespace pthub::test
