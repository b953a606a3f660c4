// The capture dialog's configuration reader: settings-file location, the value rules of the
// host keys, and the error path, against a real host store through the host module.
#include "config/DialogConfig.h"
#include "config/LogFile.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <unistd.h>
#include <variant>

namespace {

using namespace control;
namespace fs = std::filesystem;

// A setting of CaptureSettings, shown as text so that tables can compare any kind.
using Field = std::variant<bool CaptureSettings::*, int32_t CaptureSettings::*, std::string CaptureSettings::*>;

std::string textOf(const CaptureSettings& settings, Field field)
{
    return std::visit(
        [&settings](auto member) -> std::string {
            const auto& value = settings.*member;
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, bool>)
                return value ? "true" : "false";
            else if constexpr (std::is_same_v<std::decay_t<decltype(value)>, int32_t>)
                return std::to_string(value);
            else
                return value;
        },
        field);
}

enum class Kind { Bool, Number, NonEmptyText, Text, Folder };

struct HostKey {
    const char* key;
    const char* group;  // "0" or the station
    Kind kind;
    Field field;
};

// Every host key of the dialog, with its group and the rule of its kind.
const HostKey kHostKeys[] = {
    {"ImportTempPath", "0", Kind::Folder, &CaptureSettings::ImportTempPath},
    {"OSReferenceImagePath", "St1", Kind::NonEmptyText, &CaptureSettings::OSReferenceImagePath},
    {"OSCompressionLevel", "St1", Kind::Number, &CaptureSettings::OSCompressionLevel},
    {"OSMaxImgHeight", "St1", Kind::Number, &CaptureSettings::OSMaxImgHeight},
    {"OSRotation", "St1", Kind::NonEmptyText, &CaptureSettings::OSRotation},
    {"OSAutoAccept", "St1", Kind::Bool, &CaptureSettings::OSAutoAccept},
    {"ED_AutoHideEvfGroup", "St1", Kind::Bool, &CaptureSettings::ED_AutoHideEvfGroup},
    {"ED_EnableCamSettings", "St1", Kind::Bool, &CaptureSettings::ED_EnableCamSettings},
    {"ED_EnableEvfAfMode", "St1", Kind::Bool, &CaptureSettings::ED_EnableEvfAfMode},
    {"ED_EnableUseEvfFocus", "St1", Kind::Bool, &CaptureSettings::ED_EnableUseEvfFocus},
    {"ED_SaveExifData", "St1", Kind::Bool, &CaptureSettings::ED_SaveExifData},
    {"ED_ShowCamSettings", "St1", Kind::Bool, &CaptureSettings::ED_ShowCamSettings},
    {"ED_ShowEvfAf", "St1", Kind::Bool, &CaptureSettings::ED_ShowEvfAf},
    {"ED_ShowEvfAfMode", "St1", Kind::Bool, &CaptureSettings::ED_ShowEvfAfMode},
    {"ED_ShowEvfFocusBox", "St1", Kind::Bool, &CaptureSettings::ED_ShowEvfFocusBox},
    {"ED_ShowEvfMf", "St1", Kind::Bool, &CaptureSettings::ED_ShowEvfMf},
    {"ED_ShowUseEvfFocus", "St1", Kind::Bool, &CaptureSettings::ED_ShowUseEvfFocus},
    {"ED_UseEvfFocus", "St1", Kind::Bool, &CaptureSettings::ED_UseEvfFocus},
    {"ED_EvfAfMode", "St1", Kind::NonEmptyText, &CaptureSettings::ED_EvfAfMode},
    {"ED_Av", "St1", Kind::NonEmptyText, &CaptureSettings::ED_Av},
    {"ED_Tv", "St1", Kind::NonEmptyText, &CaptureSettings::ED_Tv},
    {"ED_Iso", "St1", Kind::NonEmptyText, &CaptureSettings::ED_Iso},
    {"ED_WhiteBalance", "St1", Kind::NonEmptyText, &CaptureSettings::ED_WhiteBalance},
    {"ED_MeteringMode", "St1", Kind::NonEmptyText, &CaptureSettings::ED_MeteringMode},
    {"ED_ExposureComp", "St1", Kind::NonEmptyText, &CaptureSettings::ED_ExposureComp},
    {"ED_ImageQuality", "St1", Kind::NonEmptyText, &CaptureSettings::ED_ImageQuality},
    {"ED_PictureStyle", "St1", Kind::NonEmptyText, &CaptureSettings::ED_PictureStyle},
    {"ED_LogPhotoCount", "St1", Kind::Bool, &CaptureSettings::ED_LogPhotoCount},
    {"ED_TPLabel_LV", "St1", Kind::Text, &CaptureSettings::ED_TPLabel_LV},
    {"ED_TPLabel_TPAF", "St1", Kind::Text, &CaptureSettings::ED_TPLabel_TPAF},
    {"ED_TPLabel_TPLVF", "St1", Kind::Text, &CaptureSettings::ED_TPLabel_TPLVF},
    {"ED_OkLabel", "St1", Kind::Text, &CaptureSettings::ED_OkLabel},
    {"ED_CancelLabel", "St1", Kind::Text, &CaptureSettings::ED_CancelLabel},
    {"ED_DisconnectTimer", "St1", Kind::Number, &CaptureSettings::ED_DisconnectTimer},
};

class DialogConfig : public host_test::HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        fs::create_directories(m_folder / "cwd");
        fs::create_directories(m_folder / "bin");
        fs::create_directories(importFolder());
        setSetting("0", "ImportTempPath", importFolder().string());
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
    std::string logText() const
    {
        std::ifstream file(m_folder / "dialog.log");
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }

    // A usable import folder, configured by SetUp: the reader refuses one that cannot take the
    // temporary picture.
    fs::path importFolder() const { return m_folder / "import"; }
    ProcessEnvironment m_environment;
    CaptureSettings m_settings;
    hosting_test::RecordingPrompt m_prompt;
};

// Guards every default, host keys and settings-file keys alike: a reset that forgets a
// setting lets one run's value leak into the next.
TEST_F(DialogConfig, SetDefaultsRestoresEveryDefault)
{
    const std::pair<Field, std::string> defaults[] = {
        {&CaptureSettings::ImportTempPath, "/var/tmp/cstemp/"},
        {&CaptureSettings::OSReferenceImagePath, ""},
        {&CaptureSettings::OSCompressionLevel, "20"},
        {&CaptureSettings::OSMaxImgHeight, "0"},
        {&CaptureSettings::OSRotation, "0"},
        {&CaptureSettings::OSAutoAccept, "false"},
        {&CaptureSettings::ED_AutoHideEvfGroup, "false"},
        {&CaptureSettings::ED_EnableCamSettings, "true"},
        {&CaptureSettings::ED_EnableEvfAfMode, "true"},
        {&CaptureSettings::ED_EnableUseEvfFocus, "true"},
        {&CaptureSettings::ED_SaveExifData, "false"},
        {&CaptureSettings::ED_ShowCamSettings, "true"},
        {&CaptureSettings::ED_ShowEvfAf, "true"},
        {&CaptureSettings::ED_ShowEvfAfMode, "true"},
        {&CaptureSettings::ED_ShowEvfFocusBox, "true"},
        {&CaptureSettings::ED_ShowEvfMf, "true"},
        {&CaptureSettings::ED_ShowUseEvfFocus, "true"},
        {&CaptureSettings::ED_UseEvfFocus, "true"},
        {&CaptureSettings::ED_EvfAfMode, ""},
        {&CaptureSettings::ED_Av, ""},
        {&CaptureSettings::ED_Tv, ""},
        {&CaptureSettings::ED_Iso, ""},
        {&CaptureSettings::ED_WhiteBalance, ""},
        {&CaptureSettings::ED_MeteringMode, ""},
        {&CaptureSettings::ED_ExposureComp, ""},
        {&CaptureSettings::ED_ImageQuality, ""},
        {&CaptureSettings::ED_PictureStyle, ""},
        {&CaptureSettings::ED_LogPhotoCount, "true"},
        {&CaptureSettings::ED_TPLabel_LV, "Live View"},
        {&CaptureSettings::ED_TPLabel_TPAF, "Take Picture [Auto Focus]"},
        {&CaptureSettings::ED_TPLabel_TPLVF, "Take Picture [Live View Focus]"},
        {&CaptureSettings::ED_OkLabel, "&Ok"},
        {&CaptureSettings::ED_CancelLabel, "Cancel"},
        {&CaptureSettings::ED_DisconnectTimer, "10"},
        {&CaptureSettings::CC_PanTabVisible, "false"},
        {&CaptureSettings::CC_PannerDevice, ""},
        {&CaptureSettings::CC_PannerRotation, "0"},
        {&CaptureSettings::CC_PannerInverted, "false"},
        {&CaptureSettings::ED_ButtonTheme, ""},
        {&CaptureSettings::photoCountPath, "/var/tmp/cstemp/QRN_CAPTURE_LOG.ini"},
    };
    // Every setting away from its default first, through the file and the host.
    writeIni(m_folder / "cwd" / "VeskCapture.ini",
             "[Panner Settings]\nCC_PanTabVisible=Y\nCC_PannerDevice=Head\nCC_PannerRotation=90\nCC_PannerInverted=Y\n"
             "[Settings]\nED_ButtonTheme=GREEN\n");
    for (const HostKey& key : kHostKeys)
        setSetting(key.group, key.key, key.kind == Kind::Bool ? (textOf(m_settings, key.field) == "true" ? "N" : "Y") : "7");
    setSetting("0", "ImportTempPath", importFolder().string());
    ASSERT_EQ(run(), 0);
    for (const auto& [field, text] : defaults)
        ASSERT_NE(textOf(m_settings, field), text) << "not changed, so not tested: " << text;

    m_settings.SetDefaults();
    for (const auto& [field, text] : defaults)
        EXPECT_EQ(textOf(m_settings, field), text);
}

// Each host key is read from its own group (the same key in the other group is not used) with
// the rule of its kind.
TEST_F(DialogConfig, EveryHostKeyIsReadFromItsGroupWithItsKindRule)
{
    const CaptureSettings defaults;
    for (const HostKey& key : kHostKeys) {
        const std::string initial = textOf(defaults, key.field);
        // Input and the value it must give; every kind has one probe that moves the value.
        std::vector<std::pair<std::string, std::string>> probes;
        const std::string folder = importFolder().string();
        switch (key.kind) {
        case Kind::Bool: probes = {{"yes", "true"}, {"N", "false"}, {"1", "false"}}; break;
        case Kind::Number: probes = {{"37", "37"}, {"0", initial}, {"-3", initial}, {"abc", initial}}; break;
        case Kind::NonEmptyText: probes = {{"abc", "abc"}, {"", initial}}; break;
        case Kind::Text: probes = {{"abc", "abc"}, {"", ""}}; break;
        case Kind::Folder: probes = {{folder, folder + "/"}, {folder + "/", folder + "/"}, {"", initial}}; break;
        }
        // The import folder is configured for every other key; for itself the default folder
        // takes its place, which need not exist on this machine (the reading then fails after
        // reading every key).
        const auto clearStore = [&] {
            std::filesystem::remove(m_storePath);
            if (key.kind != Kind::Folder)
                setSetting("0", "ImportTempPath", folder);
        };
        const auto read = [&](const std::string& expected) {
            const int result = run();
            if (key.kind != Kind::Folder || expected != initial) {
                ASSERT_EQ(result, 0) << key.key;
            }
        };
        const std::string otherGroup = std::string(key.group) == "0" ? "St1" : "0";
        clearStore();
        setSetting(otherGroup, key.key, probes.front().first);
        read(initial);
        EXPECT_EQ(textOf(m_settings, key.field), initial) << key.key << " read from group " << otherGroup;
        for (const auto& [input, expected] : probes) {
            clearStore();
            setSetting(key.group, key.key, input);
            read(expected);
            EXPECT_EQ(textOf(m_settings, key.field), expected) << key.key << "=" << input;
        }
    }
}

TEST_F(DialogConfig, NothingConfiguredGivesTheDefaults)
{
    fs::remove(m_storePath);
    // The default import folder need not exist here; the reading fails after every key is read.
    run();
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

// Guards the reconnect countdown (the setting + 1) against overflowing: the countdown is held
// to an hour, whatever the configuration says.
TEST_F(DialogConfig, DisconnectTimerIsHeldToAnHour)
{
    for (const auto& [text, seconds] : std::vector<std::pair<std::string, int32_t>>{
             {"3600", 3600}, {"3601", 3600}, {"2147483647", 3600}, {"99999999999", 3600}}) {
        setSetting("St1", "ED_DisconnectTimer", text);
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(m_settings.ED_DisconnectTimer, seconds) << text;
    }
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
    const std::string folder = importFolder().string();
    setSetting("0", "ImportTempPath", folder);
    setSetting("St1", "ImportTempPath", "/wrong/group/");
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(m_settings.ImportTempPath, folder + "/");
    EXPECT_EQ(m_settings.photoCountPath, folder + "/QRN_CAPTURE_LOG.ini");
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

// Guards against the portrait-check keys being read from the wrong group or not at all, and
// against one station's checks leaking into the next reading: the station's own PC_* keys
// reach the settings, those of the system group or of another station do not.
TEST_F(DialogConfig, PortraitKeysOfTheStationGroupReachTheSettings)
{
    const auto setAll = [&](const char* group, const char* enabled, const char* views, const char* height) {
        setSetting(group, "PC_Enabled", enabled);
        setSetting(group, "PC_AskBeforeAdd", enabled);
        setSetting(group, "PC_Views", views);
        setSetting(group, "PC_FaceHeightMin", height);
        setSetting(group, "PC_MinBytesPerPixel", "0.5");
    };
    setAll("0", "Y", "Other", "11");
    setAll("St2", "Y", "SMT", "22");
    ASSERT_EQ(run(), 0);
    const portrait::PortraitConfig defaults;
    EXPECT_FALSE(m_settings.portraitChecks.enabled);
    EXPECT_FALSE(m_settings.portraitChecks.askBeforeAdd);
    EXPECT_EQ(m_settings.portraitChecks.views, defaults.views);
    EXPECT_EQ(m_settings.portraitChecks.limits.faceHeightMin, defaults.limits.faceHeightMin);
    EXPECT_EQ(m_settings.portraitChecks.limits.minBytesPerPixel, 0.0);

    setAll("St1", "yes", "FaceFront, FaceSide", "33");
    ASSERT_EQ(run(), 0);
    EXPECT_TRUE(m_settings.portraitChecks.enabled);
    EXPECT_TRUE(m_settings.portraitChecks.askBeforeAdd);
    EXPECT_EQ(m_settings.portraitChecks.views, (std::vector<std::string>{"FaceFront", "FaceSide"}));
    EXPECT_EQ(m_settings.portraitChecks.limits.faceHeightMin, 33.0);
    EXPECT_EQ(m_settings.portraitChecks.limits.minBytesPerPixel, 0.5);

    ASSERT_EQ(ProcessConfig(m_settings, config(), "St3", m_environment), 0);
    EXPECT_FALSE(m_settings.portraitChecks.enabled);
    EXPECT_EQ(m_settings.portraitChecks.limits.faceHeightMin, defaults.limits.faceHeightMin);
}

// Guards against "/" becoming the import folder (pictures, photo-count file) when the host
// has the key but no value.
TEST_F(DialogConfig, EmptyImportFolderIsTheDefault)
{
    setSetting("0", "ImportTempPath", "");
    run();
    EXPECT_EQ(m_settings.ImportTempPath, "/var/tmp/cstemp/");
    EXPECT_EQ(m_settings.photoCountPath, "/var/tmp/cstemp/QRN_CAPTURE_LOG.ini");
}

// Guards against an acquisition that starts the camera although no picture can be saved: with
// automatic acceptance the failed save left the dialog open for ever. The reading fails,
// naming the folder or path, logged at level 1 and shown with OK.
TEST_F(DialogConfig, ImportFolderThatCannotTakeThePictureFailsTheReading)
{
    logFile().setLevel(1);
    const fs::path plainFile = m_folder / "plain";
    std::ofstream(plainFile) << "x";
    const fs::path taken = m_folder / "taken";
    fs::create_directories(taken / "tmpCapture.jpg");
    // Nested folders until the picture's path no longer fits the system's path limit while
    // the folder itself still does.
    const std::size_t length = PATH_MAX - 11;
    fs::path deep = m_folder;
    while (deep.string().size() + 1 < length) {
        deep /= std::string(std::min<std::size_t>(200, length - deep.string().size() - 1), 'd');
        ASSERT_TRUE(fs::create_directory(deep)) << deep.string().size();
    }
    struct Case {
        std::string folder;
        std::string expected;
    };
    const Case cases[] = {
        {(m_folder / "missing").string(), "The import folder does not exist [" + (m_folder / "missing").string() + "/]"},
        {plainFile.string(), "The import folder is not a folder [" + plainFile.string() + "/]"},
        {taken.string(), "The temporary picture's path is taken by something other than a file [" + taken.string() +
                             "/tmpCapture.jpg]"},
        {deep.string(), "The temporary picture's path is too long [" + deep.string() + "/tmpCapture.jpg]"},
    };
    for (const Case& entry : cases) {
        m_prompt.texts.clear();
        m_prompt.shownButtons.clear();
        setSetting("0", "ImportTempPath", entry.folder);
        EXPECT_EQ(run(), -1) << entry.folder;
        const std::string shown = entry.expected + "\r\nPlease check your configuration and try again.";
        EXPECT_EQ(m_prompt.texts, std::vector<std::string>{shown});
        ASSERT_EQ(m_prompt.shownButtons.size(), 1u);
        EXPECT_EQ(m_prompt.shownButtons[0], hosting::PromptButtons::Ok);
        EXPECT_NE(logText().find(" 01 ["), std::string::npos);
        EXPECT_NE(logText().find("DLG ProcessConfig         " + entry.expected), std::string::npos) << entry.folder;
    }
    // A file already at the picture's path is fine: the save replaces it.
    std::ofstream(importFolder() / "tmpCapture.jpg") << "older picture";
    setSetting("0", "ImportTempPath", importFolder().string());
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fs::directory_iterator(importFolder())->path().filename(), "tmpCapture.jpg");  // the probe is gone
}

// Guards against a read-only import folder passing the check: the save would fail later.
TEST_F(DialogConfig, ReadOnlyImportFolderFailsTheReading)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permissions do not stop root's writes, so no folder is read-only";
    fs::permissions(importFolder(), fs::perms::owner_read | fs::perms::owner_exec);
    const int result = run();
    fs::permissions(importFolder(), fs::perms::owner_all);
    EXPECT_EQ(result, -1);
    ASSERT_EQ(m_prompt.texts.size(), 1u);
    EXPECT_TRUE(m_prompt.texts[0].starts_with("The import folder is not writable [" + importFolder().string() +
                                              "/]: Permission denied"))
        << m_prompt.texts[0];
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
    // The reader ran on this thread: the line carries its kernel thread ID.
    char thread[32];
    std::snprintf(thread, sizeof thread, "[%07ld]", static_cast<long>(::gettid()));
    EXPECT_EQ(line.substr(19), " 01 " + std::string(thread) + " DLG ProcessConfig         Unspecified error");
}

} // namespace
