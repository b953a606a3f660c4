// VeskWorkbench run as a user runs it, from a private install (bin/ and lib/) that holds the
// host module and the object source but no capture control, with a private class registry.
#include "automation/Registry.h"
#include "hostapi/HostClasses.h"
#include "host_test/HostFixture.h"
#include "host_test/WorkbenchInstall.h"
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kObjSrcCaptureProgId = "VeskObjSrcCapture.clsObjSrcCapture";

using host_test::ProgramRun;

class Workbench : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        host_test::installWorkbench(m_folder, false);
        m_config = (m_folder / "host.ini").string();
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // With a limit, a run that hangs is killed (exit code 124 or 137) rather than holding the test.
    ProgramRun run(const std::string& arguments, int limitSeconds = 0) const
    {
        const std::string limit = limitSeconds > 0 ? "timeout -k 5 " + std::to_string(limitSeconds) + " " : "";
        const std::string command = limit + "'" + (m_folder / "bin" / "VeskWorkbench").string() + "' " + arguments + " 2>&1";
        return host_test::runCommand(command);
    }
    void configure(const std::string& importFolder) const
    {
        ASSERT_TRUE(vesk::profile::writeString(m_config, "0", "ImportTempPath", importFolder));
    }
    std::string acquireArguments() const { return "--config '" + m_config + "' --station St1 --view FaceFront"; }

    fs::path m_folder;
    std::string m_config;
};

// Guards registration from ../lib, the clear report of a control module that is not there,
// and a failed acquisition (its box on stderr) exiting 1 with the empty set listed.
TEST_F(Workbench, RegistersTheModulesAndFailsWithoutTheCaptureControl)
{
    fs::create_directories(m_folder / "import");
    configure((m_folder / "import").string());
    const ProgramRun acquisition = run(acquireArguments());
    EXPECT_EQ(acquisition.exitCode, 1) << acquisition.output;
    EXPECT_NE(acquisition.output.find("capture control module " + (m_folder / "lib" / "libVeskCapture.so").string()
                                      + " is not there"),
              std::string::npos)
        << acquisition.output;
    EXPECT_NE(acquisition.output.find("frmObjSrcCapture::Acquire\r\nClass not registered: VeskCapture.VeskCaptureCtrl.1"),
              std::string::npos)
        << acquisition.output;
    EXPECT_NE(acquisition.output.find("Object set: 0 object(s)"), std::string::npos) << acquisition.output;
    const auto source = automation::findClass(kObjSrcCaptureProgId);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->modulePath, fs::canonical(VESK_OBJSRC_MODULE).string());
    EXPECT_TRUE(automation::findClass(host::kSettingsReaderProgId));
}

// Without a screen the folder box is answered Cancel: a cancelled acquisition exits 2.
TEST_F(Workbench, CancelAtTheFolderCheckExitsWithTwo)
{
    configure((m_folder / "missing").string());
    const ProgramRun acquisition = run(acquireArguments() + " --single");
    EXPECT_EQ(acquisition.exitCode, 2) << acquisition.output;
    EXPECT_NE(acquisition.output.find("The destination directory does not exist [" + (m_folder / "missing").string() + "/]"),
              std::string::npos)
        << acquisition.output;
}

// Guards --unregister: every class of the modules goes, also the entry of a control module
// whose file is gone.
TEST_F(Workbench, UnregisterRemovesEveryClassOfTheModules)
{
    configure((m_folder / "missing").string());
    ASSERT_EQ(run(acquireArguments()).exitCode, 2);
    const std::string staleControl = (m_folder / "lib" / "libVeskCapture.so").string();
    const std::string registry = (m_folder / "registry.ini").string();
    ASSERT_TRUE(vesk::profile::writeString(registry, "ProgIDs", "VeskCapture.VeskCaptureCtrl.1", "{0000000A-0000-0000-0000-000000000001}"));
    ASSERT_TRUE(vesk::profile::writeString(registry, "{0000000A-0000-0000-0000-000000000001}", "Module", staleControl));
    ASSERT_TRUE(automation::findClass("VeskCapture.VeskCaptureCtrl.1"));

    const ProgramRun unregister = run("--unregister");
    EXPECT_EQ(unregister.exitCode, 0) << unregister.output;
    EXPECT_FALSE(automation::findClass(kObjSrcCaptureProgId));
    EXPECT_FALSE(automation::findClass(host::kObjectSetProgId));
    EXPECT_FALSE(automation::findClass("VeskCapture.VeskCaptureCtrl.1"));
}

// The main job as the README runs it, from the shipped demonstration files: the simulated
// camera presses its own shutter, the station accepts the picture, and one JPEG is filed and
// listed. Guards against any break in the chain from the host to the camera and back.
TEST_F(Workbench, DemonstrationFilesOnePictureAndListsIt)
{
    fs::create_symlink(VESK_CAPTURE_MODULE, m_folder / "lib" / "libVeskCapture.so");
    fs::create_directories(m_folder / "captures" / "import");
    const fs::path previousFolder = fs::current_path();
    fs::current_path(m_folder);
    ::setenv("VESK_CAMERA_SIM", VESK_DEMO_FOLDER "/camera.ini", 1);
    const ProgramRun acquisition =
        run("--config '" VESK_DEMO_FOLDER "/workbench.ini' --station Demo --view FaceFront --single");
    ::unsetenv("VESK_CAMERA_SIM");
    fs::current_path(previousFolder);
    EXPECT_EQ(acquisition.exitCode, 0) << acquisition.output;
    EXPECT_NE(acquisition.output.find("Object set: 1 object(s)"), std::string::npos) << acquisition.output;
    EXPECT_NE(acquisition.output.find("1.jpg"), std::string::npos) << acquisition.output;
    EXPECT_GT(fs::file_size(m_folder / "captures" / "import" / "1.jpg"), 10000u);
}

// An installed tree keeps the modules in the package's private folder lib/vesk: guards against
// the workbench missing them there (and registering nothing) or preferring a stale ../lib.
TEST_F(Workbench, RegistersTheModulesOfAnInstalledTreeFromLibVesk)
{
    const fs::path installed = m_folder / "lib" / "vesk";
    fs::create_directories(installed);
    for (const char* module : {"libVeskHost.so", "libVeskObjSrcCapture.so"})
        fs::rename(m_folder / "lib" / module, installed / module);
    fs::create_symlink(VESK_CAPTURE_MODULE, installed / "libVeskCapture.so");
    configure((m_folder / "missing").string());
    const ProgramRun acquisition = run(acquireArguments() + " --single");
    EXPECT_EQ(acquisition.exitCode, 2) << acquisition.output;
    EXPECT_EQ(acquisition.output.find("is not there"), std::string::npos) << acquisition.output;
    const auto control = automation::findClass("VeskCapture.VeskCaptureCtrl.1");
    ASSERT_TRUE(control);
    EXPECT_EQ(control->modulePath, fs::canonical(VESK_CAPTURE_MODULE).string());

    const ProgramRun unregister = run("--unregister");
    EXPECT_EQ(unregister.exitCode, 0) << unregister.output;
    EXPECT_NE(unregister.output.find("unregistered " + (installed / "libVeskCapture.so").string()), std::string::npos)
        << unregister.output;
    EXPECT_FALSE(automation::findClass(kObjSrcCaptureProgId));
}

TEST_F(Workbench, CommandLineMistakesExitWithOne)
{
    const ProgramRun nothing = run("");
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.output.find("usage: VeskWorkbench"), std::string::npos) << nothing.output;
    EXPECT_EQ(run("--station St1 --config").exitCode, 1);
    const ProgramRun noFile = run("--config '" + (m_folder / "none.ini").string() + "' --station St1");
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_NE(noFile.output.find("none.ini does not exist"), std::string::npos) << noFile.output;
    const ProgramRun help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--timeout SECONDS"), std::string::npos) << help.output;
    for (const char* timeout : {"abc", "-1", "3s", "86401"}) {
        const ProgramRun wrong = run(acquireArguments() + " --timeout " + timeout);
        EXPECT_EQ(wrong.exitCode, 1) << timeout;
        EXPECT_NE(wrong.output.find("--timeout needs a number of seconds"), std::string::npos) << wrong.output;
    }
}

// A station whose import folder cannot take the dialog's temporary picture, run with the
// capture control: guards against the acquisition starting the camera and, with automatic
// acceptance, waiting for ever after the failed save. It fails at once with the reason on
// stderr, reported as an error (1), and the camera SDK is never started.
class WorkbenchCapture : public Workbench {
protected:
    void SetUp() override
    {
        Workbench::SetUp();
        fs::create_symlink(VESK_CAPTURE_MODULE, m_folder / "lib" / "libVeskCapture.so");
        ::unsetenv("VESK_CAMERA_SIM");
    }
    void TearDown() override
    {
        ::unsetenv("VESK_CAMERA_SIM");
        Workbench::TearDown();
    }
    // Every log line written into the folder (the diagnostic log lives in the import folder).
    static std::string logOf(const fs::path& folder)
    {
        std::string text;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().filename().string().rfind("VeskCapture_", 0) == 0) {
                std::ifstream file(entry.path());
                text.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            }
        }
        return text;
    }
};

TEST_F(WorkbenchCapture, FolderNamedLikeTheTemporaryPictureFailsBeforeTheCamera)
{
    // The demonstration as the README runs it, but with a folder where the picture goes.
    fs::create_directories(m_folder / "captures" / "import" / "tmpCapture.jpg");
    const fs::path previousFolder = fs::current_path();
    fs::current_path(m_folder);
    ::setenv("VESK_CAMERA_SIM", VESK_DEMO_FOLDER "/camera.ini", 1);
    const ProgramRun acquisition =
        run("--config '" VESK_DEMO_FOLDER "/workbench.ini' --station Demo --view FaceFront --single", 120);
    fs::current_path(previousFolder);
    EXPECT_EQ(acquisition.exitCode, 1) << acquisition.output;
    EXPECT_NE(acquisition.output.find("The temporary picture's path is taken by something other than a file "
                                      "[./captures/import/tmpCapture.jpg]"),
              std::string::npos)
        << acquisition.output;
    EXPECT_NE(acquisition.output.find("Object set: 0 object(s)"), std::string::npos) << acquisition.output;
    const std::string log = logOf(m_folder / "captures" / "import");
    EXPECT_NE(log.find("DLG ProcessConfig"), std::string::npos) << log;
    EXPECT_EQ(log.find("Initializing camera SDK"), std::string::npos) << log;
}

TEST_F(WorkbenchCapture, ImportFolderTooLongForThePictureFailsBeforeTheCamera)
{
    // Nested folders until the picture's path no longer fits the system's path limit while the
    // folder itself still does.
    const std::size_t length = PATH_MAX - 11;
    fs::path deep = m_folder;
    while (deep.string().size() + 1 < length) {
        deep /= std::string(std::min<std::size_t>(200, length - deep.string().size() - 1), 'd');
        ASSERT_TRUE(fs::create_directory(deep));
    }
    configure(deep.string());
    ASSERT_TRUE(vesk::profile::writeString(m_config, "St1", "OSAutoAccept", "Y"));
    ::setenv("VESK_CAMERA_SIM", VESK_DEMO_FOLDER "/camera.ini", 1);
    const ProgramRun acquisition = run(acquireArguments() + " --single", 120);
    EXPECT_EQ(acquisition.exitCode, 1) << acquisition.output;
    EXPECT_NE(acquisition.output.find("The temporary picture's path is too long [" + deep.string() + "/tmpCapture.jpg]"),
              std::string::npos)
        << acquisition.output;
}

// Guards against the workbench hanging unattended: nobody presses the shutter (no automatic
// acceptance, the simulated camera does not press its own), so the dialog would wait for
// ever. With --timeout 3 it is ended as Cancel would, its lines go to stderr, and the run
// fails with 1 well within the bound.
TEST_F(WorkbenchCapture, DialogWaitingForAnOperatorEndsAfterTheTimeout)
{
    fs::create_directories(m_folder / "import");
    configure((m_folder / "import").string());
    ASSERT_TRUE(vesk::profile::writeString(m_config, "0", "DebugLogLevel", "9"));
    const auto started = std::chrono::steady_clock::now();
    const ProgramRun acquisition = run(acquireArguments() + " --single --timeout 3", 90);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(acquisition.exitCode, 1) << acquisition.output;
    EXPECT_NE(acquisition.output.find("VeskWorkbench: the capture dialog waited 3 s without an operator; ending it as "
                                      "Cancel would\nVeskWorkbench: message line: "),
              std::string::npos)
        << acquisition.output;
    EXPECT_NE(acquisition.output.find("\nVeskWorkbench: status line: "), std::string::npos) << acquisition.output;
    EXPECT_NE(acquisition.output.find("Object set: 0 object(s)"), std::string::npos) << acquisition.output;
    EXPECT_GE(took, std::chrono::seconds(3));
    EXPECT_NE(logOf(m_folder / "import").find("RetryAcquire=0 ReturnCode=0"), std::string::npos);
}

// Two stations started from one folder at the same moment, each with its own camera and import
// folder: guards against pictures filed in the wrong station's record (downloads that shared
// the current folder under the camera's own file name), against a user's file of that name
// being replaced or deleted, and against download folders or the temporary picture left behind.
TEST_F(WorkbenchCapture, TwoStationsFromOneFolderEachFileTheirOwnCamerasPicture)
{
    const std::string stations[] = {"CameraA", "CameraB"};
    for (const std::string& station : stations) {
        const fs::path camera = m_folder / (station + ".ini");
        std::ofstream(camera) << "[Simulator]\nBodies=1\n[Body1]\nModel=" << station
                              << "\nBodyID=1\nShotWidth=1200\nShotHeight=800\nPhysicalShutterDelayMs=200\n";
        const std::string config = (m_folder / (station + "-host.ini")).string();
        fs::create_directories(m_folder / station);
        ASSERT_TRUE(vesk::profile::writeString(config, "0", "ImportTempPath", (m_folder / station).string()));
        ASSERT_TRUE(vesk::profile::writeString(config, "St1", "OSAutoAccept", "Y"));
        ASSERT_TRUE(vesk::profile::writeString(config, "St1", "ED_SaveExifData", "Y"));
    }
    // A picture of the user's own under the name the simulated cameras give their first shot.
    const std::string usersPicture = "the user's own picture";
    std::ofstream(m_folder / "IMG_0001.JPG") << usersPicture;
    const fs::path previousFolder = fs::current_path();
    fs::current_path(m_folder);
    std::string command;
    for (const std::string& station : stations) {
        command += "(VESK_CAMERA_SIM='" + (m_folder / (station + ".ini")).string() + "' timeout -k 5 60 '" +
                   (m_folder / "bin" / "VeskWorkbench").string() + "' --config '" +
                   (m_folder / (station + "-host.ini")).string() + "' --station St1 --single > " + station +
                   ".out 2>&1; echo $? > " + station + ".rc) & ";
    }
    command += "wait";
    for (int round = 1; round <= 8; ++round) {
        for (const std::string& station : stations) {
            fs::remove(m_folder / station / "1.jpg");
        }
        ASSERT_EQ(std::system(command.c_str()), 0);
        for (const std::string& station : stations) {
            std::ifstream rcFile(m_folder / (station + ".rc"));
            int exitCode = -1;
            rcFile >> exitCode;
            std::ifstream outFile(m_folder / (station + ".out"));
            const std::string output{std::istreambuf_iterator<char>(outFile), std::istreambuf_iterator<char>()};
            EXPECT_EQ(exitCode, 0) << "round " << round << ", " << station << ":\n" << output;
            std::ifstream picture(m_folder / station / "1.jpg", std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(picture), std::istreambuf_iterator<char>()};
            const std::string& other = station == stations[0] ? stations[1] : stations[0];
            EXPECT_NE(bytes.find(station), std::string::npos) << "round " << round << ": " << station << " filed no picture of its camera";
            EXPECT_EQ(bytes.find(other), std::string::npos) << "round " << round << ": " << station << " filed " << other << "'s picture";
            for (const auto& entry : fs::directory_iterator(m_folder / station)) {
                const std::string name = entry.path().filename().string();
                EXPECT_NE(name.rfind(".VeskCapture-", 0), 0u) << "download folder left behind: " << name;
                EXPECT_NE(name, "tmpCapture.jpg");
            }
        }
    }
    fs::current_path(previousFolder);
    std::ifstream kept(m_folder / "IMG_0001.JPG");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()), usersPicture);
    for (const auto& entry : fs::directory_iterator(m_folder)) {
        EXPECT_FALSE(entry.path().filename().string().rfind("IMG_", 0) == 0 && entry.path().filename() != "IMG_0001.JPG")
            << "a download landed in the current folder: " << entry.path();
    }
}

} // namespace
