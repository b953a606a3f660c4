// The control's configuration reader against a real host store through the host module.
#include "config/ControlConfig.h"
#include "config/LogFile.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace control;
namespace fs = std::filesystem;

std::string readText(const fs::path& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class ControlConfig : public host_test::HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        logFile().setFolder(m_folder.string() + "/");
        logFile().setFileName("control.log");
        logFile().setLevel(1);
    }
    void TearDown() override
    {
        logFile().setFolder(kLogFolderDefault);
        logFile().setFileName("");
        logFile().setLevel(1);
        HostFixture::TearDown();
    }

    ControlSettings m_settings;
    hosting_test::RecordingPrompt m_prompt;
};

// A folder without its trailing separator gets one: the log lands in it, not beside it.
TEST_F(ControlConfig, ReadsLogFolderLevelAndBodyId)
{
    const fs::path logFolder = m_folder / "logs";
    fs::create_directory(logFolder);
    setSetting("0", "ImportTempPath", logFolder.string());
    setSetting("0", "DebugLogLevel", "5");
    setSetting("St1", "ED_BodyID", "4294967291");
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(logFile().folder(), logFolder.string() + "/");
    EXPECT_EQ(logFile().level(), 5);
    EXPECT_EQ(m_settings.ED_BodyID, "4294967291");
    logFile().Write("CTL DoAcquire", "ProcessConfig completed", 3);
    EXPECT_NE(readText(logFolder / "control.log").find("ProcessConfig completed"), std::string::npos);
    EXPECT_TRUE(m_prompt.texts.empty());
}

// The Body ID of an earlier run must not survive a run where the host has none.
TEST_F(ControlConfig, BodyIdIsResetAndAnEmptyOneIgnored)
{
    m_settings.ED_BodyID = "old";
    setSetting("St1", "ED_BodyID", "");
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(m_settings.ED_BodyID, "");
    EXPECT_EQ(logFile().folder(), m_folder.string() + "/");  // absent: unchanged
}

// Guards against an empty folder value putting the log into "/": it counts as absent.
TEST_F(ControlConfig, EmptyLogFolderIsIgnored)
{
    setSetting("0", "ImportTempPath", "");
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(logFile().folder(), m_folder.string() + "/");
}

// A key in the wrong group must not be used: the log settings come from group "0" only, the
// Body ID from the station only.
TEST_F(ControlConfig, EachKeyIsReadFromItsOwnGroupOnly)
{
    setSetting("St1", "ImportTempPath", "/station/folder");
    setSetting("St1", "DebugLogLevel", "7");
    setSetting("0", "ED_BodyID", "System");
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(logFile().folder(), m_folder.string() + "/");
    EXPECT_EQ(logFile().level(), 1);
    EXPECT_EQ(m_settings.ED_BodyID, "");
}

// The host may replace the configuration it is given by reference: the replacement must
// reach the caller's own Variant, not a copy.
TEST_F(ControlConfig, HostReplacementOfTheConfigurationReachesTheCaller)
{
    const std::string redirected = (m_folder / "resolved.ini").string();
    setSetting(host::kFaultSection, host::kRedirectKey, redirected);
    ASSERT_TRUE(vesk::profile::writeString(redirected, "St1", "ED_BodyID", "B7"));
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(m_settings.ED_BodyID, "B7");
    const automation::DispatchPtr replaced = config().toDispatch();
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(replaced == m_config);
    EXPECT_EQ(automation::invokeByName(*replaced, "StorePath", automation::InvokeKind::PropertyGet).toString(), redirected);
}

// Any DebugLogLevel value is taken; text gives 0, which silences the log entirely.
TEST_F(ControlConfig, DebugLogLevelTakesAnyNumberAndTextGivesZero)
{
    for (const auto& [text, level] : std::vector<std::pair<std::string, int32_t>>{{"abc", 0}, {"-3", -3}, {"7x", 7}, {"0", 0}}) {
        setSetting("0", "DebugLogLevel", text);
        ASSERT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
        EXPECT_EQ(logFile().level(), level) << text;
    }
    logFile().Write("CTL ProcessConfig", "must not appear", 1);
    EXPECT_FALSE(fs::exists(m_folder / "control.log"));
}

// A host error is logged and shown with the system's text, the reader returns -1, and what
// was read before the error stays.
TEST_F(ControlConfig, HostErrorIsLoggedShownAndFails)
{
    setSetting("0", "DebugLogLevel", "3");
    setSetting("St1", "ED_BodyID", "B1");
    ::setenv(host::kFaultEnvironmentVariable, "ED_BodyID:80040250", 1);
    EXPECT_EQ(ProcessConfig(m_settings, config(), "St1"), -1);
    EXPECT_EQ(logFile().level(), 3);
    EXPECT_EQ(m_settings.ED_BodyID, "");
    ASSERT_EQ(m_prompt.texts, std::vector<std::string>{"IDispatch error #80"});
    EXPECT_EQ(m_prompt.shownButtons[0], hosting::PromptButtons::Ok);
    const std::string log = readText(m_folder / "control.log");
    EXPECT_NE(log.find(" 01 ["), std::string::npos);
    EXPECT_NE(log.find("] CTL ProcessConfig         IDispatch error #80\n"), std::string::npos);

    ::setenv(host::kFaultEnvironmentVariable, "*:80001234", 1);
    EXPECT_EQ(ProcessConfig(m_settings, config(), "St1"), -1);
    ::setenv(host::kFaultEnvironmentVariable, "*", 1);
    EXPECT_EQ(ProcessConfig(m_settings, config(), "St1"), -1);
    EXPECT_EQ(m_prompt.texts[1], "Unknown error 0x80001234");
    EXPECT_EQ(m_prompt.texts[2], "Unspecified error");
}

// Without the host's SettingsReader every key reads as absent; the reader still succeeds.
TEST_F(ControlConfig, MissingSettingsReaderTreatsEveryKeyAsAbsent)
{
    setSetting("St1", "ED_BodyID", "B1");
    ASSERT_EQ(automation::unregisterModule(VESK_HOST_MODULE), automation::S_OK);
    m_settings.ED_BodyID = "old";
    EXPECT_EQ(ProcessConfig(m_settings, config(), "St1"), 0);
    EXPECT_EQ(m_settings.ED_BodyID, "");
    EXPECT_TRUE(m_prompt.texts.empty());
    EXPECT_NE(readText(m_folder / "control.log").find("CTL ProcessConfig         SettingsReader unavailable"), std::string::npos);
}

} // namespace
