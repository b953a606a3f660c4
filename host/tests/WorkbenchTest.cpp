// VeskWorkbench run as a user runs it, from a private install (bin/ and lib/) that holds the
// host module and the object source but no capture control, with a private class registry.
#include "automation/Registry.h"
#include "host/HostClasses.h"
#include "host_test/HostFixture.h"
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kObjSrcCaptureProgId = "VeskObjSrcCapture.clsObjSrcCapture";

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

class Workbench : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        ::setenv("VESK_REGISTRY", (m_folder / "registry.ini").c_str(), 1);
        fs::create_directories(m_folder / "bin");
        fs::create_directories(m_folder / "lib");
        fs::copy_file(VESK_WORKBENCH_PATH, m_folder / "bin" / "VeskWorkbench");
        fs::create_symlink(VESK_HOST_MODULE, m_folder / "lib" / "libVeskHost.so");
        fs::create_symlink(VESK_OBJSRC_MODULE, m_folder / "lib" / "libVeskObjSrcCapture.so");
        m_config = (m_folder / "host.ini").string();
    }
    void TearDown() override { fs::remove_all(m_folder); }

    ProgramRun run(const std::string& arguments) const
    {
        const std::string command = "'" + (m_folder / "bin" / "VeskWorkbench").string() + "' " + arguments + " 2>&1";
        ProgramRun result;
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe)
            return result;
        char buffer[512];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            result.output.append(buffer, count);
        const int status = ::pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
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

TEST_F(Workbench, CommandLineMistakesExitWithOne)
{
    const ProgramRun nothing = run("");
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.output.find("usage: VeskWorkbench"), std::string::npos) << nothing.output;
    EXPECT_EQ(run("--station St1 --config").exitCode, 1);
    const ProgramRun noFile = run("--config '" + (m_folder / "none.ini").string() + "' --station St1");
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_NE(noFile.output.find("none.ini does not exist"), std::string::npos) << noFile.output;
    EXPECT_EQ(run("--help").exitCode, 0);
}

} // namespace
