// Fixture of the hub's tests: every test starts from the built-in hub, whatever the
// environment names, with no faults and an empty journal.
#pragma once

#include "pthub/PtHub.h"
#include "pthub/Simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace pthub::test {

class HubTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("VESK_PTHUB_SIM");
        sim::reset();
    }
    void TearDown() override
    {
        unsetenv("VESK_PTHUB_SIM");
        sim::reset();
    }

    static int32_t connect(const std::string& serialCode)
    {
        int32_t handle = 0;
        EXPECT_EQ(PT_ConnectDevice(serialCode.c_str(), &handle), PT_OK) << serialCode;
        EXPECT_NE(handle, 0);
        return handle;
    }

    static std::vector<std::string> listedSerialCodes()
    {
        const char** serialCodes = nullptr;
        uint32_t count = 0;
        EXPECT_EQ(PT_ListDevices(&serialCodes, &count), PT_OK);
        return serialCodes ? std::vector<std::string>(serialCodes, serialCodes + count) : std::vector<std::string>{};
    }
};

} // namespace pthub::test
