// The capture dialog's configuration reader: settings-file location, the value rules of the
// host keys, and the error path, against a real host store through the host module.
#include "control/DialogConfig.h"
#include "control/LogFile.h"

#include "control_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace control;
namespace fs = std::filesystem;

class DialogConfig : public host_test::HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        fs::create_directories(m_folder / "cwd");
        fs::create_directories(m_folder / "bin");
        m_environment.currentFolder = (m_folder / "cwd").string();
        m_environment.executablePath = (m_folder / "bin" / "OtherHost").string();
        logFile().setFolder(m_folder.string() + "/");
        logFile().setFileName("dialog.log");
    }
    void TearDown() override
    {
        logFile().setFolder(kLogFolderDefault);
        logFile().setFileName("");
        HostFixture::TearDown();
    }
    void writeIni(const fs::path& path, const std::string& text) const { std::ofstream(path) << text; }
    int run() { return ProcessConfig(m_settings, config(), "St1", m_environment); }

    ProcessEnvironment m_environment;
    CaptureSettings m_settings;
    control_test::RecordingPrompt m_prompt;
};

TEST_F(DialogConfig, NothingConfiguredGivesTheDefaults)
{
    ASSERT_EQ(run(), 0);
    const CaptureSettings defaults;
    EXPECT_EQ(m_settings.settingsFilePath, "/opt/lumora/VeskCapture.ini");
    EXPECT_EQ(m_settings.ImportTempPath, "/var/tmp/cstemp/");
    EXPECT_EQ(m_settings.photoCountPath, "/var/tmp/cstemp/QRN_CAPTURE_LOG.ini");
    EXPECT_EQ(m_settings.ED_OkLabel, "&Ok");
    EXPECT_EQ(m_settings.ED_CancelLabel, "Cancel");
    EXPECT_EQ(m_settings.ED_ButtonTheme, "");
    EXPECT_EQ(m_settings.ED_DisconnectTimer, 10);
    EXPECT_EQ(m_settings.OSCompressionLevel, 20);
    EXPECT_EQ(m_settings.OSRotation, "0");
    EXPECT_EQ(m_settings.referenceImages, defaults.referenceImages);
    EXPECT_EQ(m_settings.referenceImages.at("FaceGlasses"), "RefImageGlasses.jpg");
}

// The current folder's file wins over the one beside the executable.
TEST_F(DialogConfig, SettingsFileFromCurrentFolderThenExecutableFolder)
{
    writeIni(m_folder / "bin" / "VeskCapture.ini", "[Settings]\nED_OkLabel=Beside\n");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.settingsFilePath, (m_folder / "bin" / "VeskCapture.ini").string());
    EXPECT_EQ(m_settings.ED_OkLabel, "Beside");

    writeIni(m_folder / "cwd" / "VeskCapture.ini", "[Settings]\nED_CancelLabel=Here\n");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.settingsFilePath, (m_folder / "cwd" / "VeskCapture.ini").string());
    EXPECT_EQ(m_settings.ED_OkLabel, "&Ok");
    EXPECT_EQ(m_settings.ED_CancelLabel, "Here");

    m_environment.currentFolder = m_folder.string() + "/cwd/";  // trailing separator kept single
    EXPECT_EQ(locateSettingsFile(m_environment), (m_folder / "cwd" / "VeskCapture.ini").string());
    m_environment = {"VeskWorkbench", "/nonexistent"};
    EXPECT_EQ(locateSettingsFile(m_environment), "/opt/lumora/VeskCapture.ini");
}

TEST_F(DialogConfig, WorkbenchHostGetsTheBlueThemeUnlessTheFileSaysOtherwise)
{
    m_environment.executablePath = (m_folder / "bin" / "veskworkbench").string();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_ButtonTheme, "BLUE");
    writeIni(m_folder / "bin" / "VeskCapture.ini", "[settings]\nED_ButtonTheme=GREEN\n");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_ButtonTheme, "GREEN");
    m_environment.executablePath = (m_folder / "bin" / "VeskWorkbench.bin").string();
    fs::rename(m_folder / "bin" / "VeskCapture.ini", m_folder / "bin" / "moved.ini");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_ButtonTheme, "");
}

TEST_F(DialogConfig, PannerSettingsFromTheFile)
{
    writeIni(m_folder / "cwd" / "VeskCapture.ini",
             "[Panner Settings]\nCC_PanTabVisible=yes\nCC_PannerDevice=Head A\nCC_PannerRotation=90\nCC_PannerInverted=1\n");
    ASSERT_EQ(run(), 0);
    EXPECT_TRUE(m_settings.CC_PanTabVisible);
    EXPECT_EQ(m_settings.CC_PannerDevice, "Head A");
    EXPECT_EQ(m_settings.CC_PannerRotation, 90);
    EXPECT_FALSE(m_settings.CC_PannerInverted);
}

// Bool keys: only Y or YES in any case is true; every other present value is false.
TEST_F(DialogConfig, BoolRuleTrueOnlyForYOrYes)
{
    for (const auto& [text, expected] : std::vector<std::pair<std::string, bool>>{
             {"yes", true}, {"Y", true}, {"yEs", true}, {"1", false}, {"true", false}, {"N", false}, {"", false}}) {
        setSetting("St1", "OSAutoAccept", text);
        setSetting("St1", "ED_ShowCamSettings", text);
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(m_settings.OSAutoAccept, expected) << text;
        EXPECT_EQ(m_settings.ED_ShowCamSettings, expected) << text;
    }
}

// Number keys are taken only when greater than 0.
TEST_F(DialogConfig, NumberRuleKeepsTheDefaultUnlessPositive)
{
    for (const std::string text : {"0", "-3", "abc"}) {
        setSetting("St1", "ED_DisconnectTimer", text);
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(m_settings.ED_DisconnectTimer, 10) << text;
    }
    setSetting("St1", "ED_DisconnectTimer", "25s");
    setSetting("St1", "OSMaxImgHeight", "800");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_DisconnectTimer, 25);
    EXPECT_EQ(m_settings.OSMaxImgHeight, 800);
}

// Present but empty: "always" texts take it, "if non-empty" texts ignore it.
TEST_F(DialogConfig, EmptyLabelsAreTakenEmptyValuesOtherwiseIgnored)
{
    setSetting("St1", "ED_OkLabel", "");
    setSetting("St1", "ED_TPLabel_LV", "");
    setSetting("St1", "ED_Av", "");
    setSetting("St1", "OSRotation", "");
    setSetting("St1", "ED_Tv", "1/125");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_OkLabel, "");
    EXPECT_EQ(m_settings.ED_TPLabel_LV, "");
    EXPECT_EQ(m_settings.ED_Av, "");
    EXPECT_EQ(m_settings.OSRotation, "0");
    EXPECT_EQ(m_settings.ED_Tv, "1/125");
}

TEST_F(DialogConfig, HostCancelLabelOverridesTheFileAndLeavesOk)
{
    writeIni(m_folder / "cwd" / "VeskCapture.ini", "[Settings]\nED_OkLabel=Accept\nED_CancelLabel=Abort\n");
    setSetting("St1", "ED_CancelLabel", "Stop");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ED_OkLabel, "Accept");
    EXPECT_EQ(m_settings.ED_CancelLabel, "Stop");
}

TEST_F(DialogConfig, ImportFolderGetsItsSeparatorAndCarriesThePhotoCountFile)
{
    setSetting("0", "ImportTempPath", "/data/import");
    setSetting("St1", "ImportTempPath", "/wrong/group/");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ImportTempPath, "/data/import/");
    EXPECT_EQ(m_settings.photoCountPath, "/data/import/QRN_CAPTURE_LOG.ini");
}

// Each run starts from the defaults: values of an earlier run do not leak into the next.
TEST_F(DialogConfig, EachRunStartsFromTheDefaults)
{
    setSetting("St1", "ED_Iso", "400");
    setSetting("St1", "OSAutoAccept", "Y");
    ASSERT_EQ(run(), 0);
    ASSERT_EQ(m_settings.ED_Iso, "400");
    ASSERT_EQ(ProcessConfig(m_settings, config(), "St2", m_environment), 0);
    EXPECT_EQ(m_settings.ED_Iso, "");
    EXPECT_FALSE(m_settings.OSAutoAccept);
}

TEST_F(DialogConfig, HostErrorIsLoggedShownAndKeepsEarlierValues)
{
    logFile().setLevel(1);
    setSetting("St1", "OSAutoAccept", "YES");
    setSetting("St1", "ED_TPLabel_LV", "LV");
    setSetting(host::kFaultSection, host::kFaultKey, "ED_Tv");
    EXPECT_EQ(run(), -1);
    EXPECT_TRUE(m_settings.OSAutoAccept);
    EXPECT_EQ(m_settings.ED_TPLabel_LV, "Live View");
    ASSERT_EQ(m_prompt.texts, std::vector<std::string>{"Unspecified error"});
    std::ifstream log(m_folder / "dialog.log");
    std::string line;
    std::getline(log, line);
    EXPECT_TRUE(line.ends_with(" 01 [" + line.substr(24, 7) + "] DLG ProcessConfig         Unspecified error")) << line;
}

} // namespace
