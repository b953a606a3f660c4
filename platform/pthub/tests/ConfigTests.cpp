// The hub's configuration: the INI file named by VESK_PTHUB_SIM and configure().
#include "HubTest.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pthub::test {
namespace {

class HubConfigTest : public HubTest {
protected:
    void SetUp() override
    {
        HubTest::SetUp();
        m_folder = std::filesystem::temp_directory_path() /
                   ("pthub-config-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(m_folder);
        HubTest::TearDown();
    }

    std::string writeFile(const std::string& text) const
    {
        const auto path = m_folder / "hub.ini";
        std::ofstream(path) << text;
        return path.string();
    }

    std::filesystem::path m_folder;
};

// Guards against a configured hub that is not the one the library opens, and against invalid
// lines that crash the reader or give two devices the same serial code.
TEST_F(HubConfigTest, FileNamedByTheEnvironmentIsReadAtTheFirstCall)
{
    setenv("VESK_PTHUB_SIM",
           writeFile("[Hub]\n"
                     "Devices=4\n"
                     "BatteryVoltage=900\n"
                     "[Device1]\n"
                     "SerialCode=HEAD-1\n"
                     "BatteryVoltage=13000\n"
                     "[Device2]\n"
                     "SerialCode=HEAD-1\n"
                     "[Device3]\n"
                     "BatteryVoltage=lots\n"
                     "[Device4]\n"
                     "SerialCode=HEAD-4\n")
               .c_str(),
           1);
    sim::reset();
    EXPECT_EQ(listedSerialCodes(), (std::vector<std::string>{"HEAD-1", "PTH-0003", "HEAD-4"}))
        << "the duplicate is left out, an unnamed device gets its default serial code";
    EXPECT_EQ(sim::deviceState("HEAD-1")->batteryVoltage, 13000u);
    EXPECT_EQ(sim::deviceState("PTH-0003")->batteryVoltage, 900u) << "an invalid voltage keeps the hub's";
    EXPECT_EQ(sim::deviceState("HEAD-4")->batteryVoltage, 900u);

    setenv("VESK_PTHUB_SIM", writeFile("[Hub]\nDevices=0\n").c_str(), 1);
    sim::reset();
    const char** serialCodes = nullptr;
    uint32_t count = 7;
    EXPECT_EQ(PT_ListDevices(&serialCodes, &count), PT_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_NE(serialCodes, nullptr) << "an empty list is still an array";
    EXPECT_EQ(serialCodes[0], nullptr);

    setenv("VESK_PTHUB_SIM", (m_folder / "absent.ini").c_str(), 1);
    sim::reset();
    EXPECT_EQ(listedSerialCodes(), std::vector<std::string>{"PTH-0001"}) << "a missing file gives the built-in hub";
}

// Guards against a configuration the hub could not hand out safely.
TEST_F(HubConfigTest, ConfigureRefusesSerialCodesTheHubCannotHandOut)
{
    EXPECT_THROW(sim::configure(sim::HubConfig{{{"", 1}}}), std::invalid_argument);
    EXPECT_THROW(sim::configure(sim::HubConfig{{{"A\nB", 1}}}), std::invalid_argument);
    EXPECT_THROW(sim::configure(sim::HubConfig{{{std::string(sim::kMaxSerialCodeLength + 1, 'x'), 1}}}),
                 std::invalid_argument);
    EXPECT_THROW(sim::configure(sim::HubConfig{{{"A", 1}, {"A", 2}}}), std::invalid_argument);
    EXPECT_THROW(sim::configure(sim::HubConfig{std::vector<sim::DeviceConfig>(sim::kMaxDevices + 1)}),
                 std::invalid_argument);
    EXPECT_EQ(listedSerialCodes(), std::vector<std::string>{"PTH-0001"}) << "a refused configuration changes nothing";
    EXPECT_THROW(sim::setBatteryVoltage("nobody", 1), std::out_of_range);
}

} // namespace
} // namespace pthub::test
