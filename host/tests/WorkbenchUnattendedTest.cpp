// VeskWorkbench run as an installer or a script runs it, with the capture control, the
// simulated camera chosen by VESK_CAMERA_SIM and no one at the screen: exit codes that tell an
// error from the operator's cancel, the control's last word on stderr, the usage without a
// display, the view reaching the capture dialog, and the unattended shot of --shoot-after.
#include "host_test/HostFixture.h"
#include "host_test/WorkbenchInstall.h"
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

using host_test::ProgramRun;

class WorkbenchUnattended : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        host_test::installWorkbench(m_folder, true);
        fs::create_directories(m_folder / "import");
        m_config = (m_folder / "host.ini").string();
        ASSERT_TRUE(vesk::profile::writeString(m_config, "0", "ImportTempPath", (m_folder / "import").string()));
        // A camera that never presses its own shutter: only the workbench or an operator does.
        writeCamera("[Simulator]\nBodies=1\n[Body1]\nModel=Station Check Camera\nBodyID=4711\nShotWidth=1200\n"
                    "ShotHeight=800\n");
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void writeCamera(const std::string& text) const { std::ofstream(m_folder / "camera.ini") << text; }

    // Runs the program from the test's folder with the test's camera; `environment` goes before
    // it (e.g. "env -u DISPLAY"). The limit kills a run that hangs rather than holding the test.
    ProgramRun run(const std::string& arguments, const std::string& environment = "", int limitSeconds = 120) const
    {
        const std::string command = "cd '" + m_folder.string() + "' && VESK_CAMERA_SIM='" +
                                    (m_folder / "camera.ini").string() + "' " + environment + " timeout -k 5 " +
                                    std::to_string(limitSeconds) + " '" + (m_folder / "bin" / "VeskWorkbench").string() +
                                    "' " + arguments + " 2>&1";
        return host_test::runCommand(command);
    }
    std::string station() const { return "--config '" + m_config + "' --station St1 --single"; }
    static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    fs::path m_folder;
    std::string m_config;
};

// Guards against a failed search, or a camera SDK that does not start, being reported as the
// operator's cancel (exit 2) with its reason shown in a window that closed at once: both exit
// 1 with the control's last status line on stderr.
TEST_F(WorkbenchUnattended, NoCameraAndNoCameraSdkExitOneWithTheReason)
{
    writeCamera("[Simulator]\nBodies=0\n");
    const ProgramRun noCamera = run(station(), "", 60);
    EXPECT_EQ(noCamera.exitCode, 1) << noCamera.output;
    EXPECT_TRUE(contains(noCamera.output, "Unable to detect a supported camera.")) << noCamera.output;
    EXPECT_TRUE(contains(noCamera.output, "VeskWorkbench: No compatible cameras detected.\n")) << noCamera.output;
    EXPECT_TRUE(contains(noCamera.output, "Object set: 0 object(s)")) << noCamera.output;

    const ProgramRun noSdk = run(station(), "VESK_CAMERA_BACKEND=none-such", 60);
    EXPECT_EQ(noSdk.exitCode, 1) << noSdk.output;
    EXPECT_TRUE(contains(noSdk.output, "VeskWorkbench: Unable to initialize the camera SDK: ")) << noSdk.output;
}

// Guards against the usage needing a display: without one (and without the offscreen platform)
// --help still prints it and exits 0, and a mistaken command line still exits 1 with it.
TEST_F(WorkbenchUnattended, UsageNeedsNoDisplay)
{
    const std::string noDisplay = "env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY";
    const ProgramRun help = run("--help", noDisplay, 30);
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_TRUE(contains(help.output, "usage: VeskWorkbench")) << help.output;
    EXPECT_TRUE(contains(help.output, "--shoot-after SECONDS")) << help.output;
    const ProgramRun mistake = run("--shoot-after soon", noDisplay, 30);
    EXPECT_EQ(mistake.exitCode, 1) << mistake.output;
    EXPECT_TRUE(contains(mistake.output, "--shoot-after needs a number of seconds from 0 to 86400, not soon"))
        << mistake.output;
}

// Guards against --view being accepted and dropped on its way to the capture dialog: the view's
// reference picture (from the folder the program runs in) shows for FaceSide, and no other
// view's picture is taken for FaceFront.
TEST_F(WorkbenchUnattended, ViewChoosesTheDialogsReferencePicture)
{
    QImage reference(120, 160, QImage::Format_RGB32);
    reference.fill(Qt::darkCyan);
    ASSERT_TRUE(reference.save(QString::fromStdString((m_folder / "RefImageSide.jpg").string()), "JPG"));
    const ProgramRun side = run(station() + " --view FaceSide --timeout 3");
    EXPECT_EQ(side.exitCode, 1) << side.output;
    EXPECT_TRUE(contains(side.output, "VeskWorkbench: reference picture: shown\n")) << side.output;
    const ProgramRun front = run(station() + " --view FaceFront --timeout 3");
    EXPECT_TRUE(contains(front.output, "VeskWorkbench: reference picture: none\n")) << front.output;
}

// Guards the installer's one-command check of a station: with a camera that does not press its
// own shutter and a station that accepts automatically, --shoot-after ends the acquisition by
// itself with one picture filed (exit 0); without it nobody presses and the run ends at the
// limit (exit 1) with nothing filed.
TEST_F(WorkbenchUnattended, ShootAfterTakesThePictureThatNobodyElseWould)
{
    ASSERT_TRUE(vesk::profile::writeString(m_config, "St1", "OSAutoAccept", "Y"));
    const ProgramRun waiting = run(station() + " --timeout 3");
    EXPECT_EQ(waiting.exitCode, 1) << waiting.output;
    EXPECT_FALSE(contains(waiting.output, "pressing Take Picture")) << waiting.output;
    EXPECT_FALSE(fs::exists(m_folder / "import" / "1.jpg"));

    const ProgramRun shot = run(station() + " --shoot-after 1 --timeout 60");
    EXPECT_EQ(shot.exitCode, 0) << shot.output;
    EXPECT_TRUE(contains(shot.output, "VeskWorkbench: pressing Take Picture (live view shows; camera Station Check "
                                      "Camera [4711]; reference picture: none)"))
        << shot.output;
    EXPECT_TRUE(contains(shot.output, "Object set: 1 object(s)")) << shot.output;
    EXPECT_GT(fs::file_size(m_folder / "import" / "1.jpg"), 1000u);
}

// Guards against waiting for ever on a camera without live view (the picture box never fills):
// Take Picture is pressed the given seconds after the dialog connected, and the picture filed.
TEST_F(WorkbenchUnattended, ShootAfterPressesWithoutLiveViewOnceTheSecondsHavePassed)
{
    writeCamera("[Simulator]\nBodies=1\n[Body1]\nModel=Station Check Camera\nBodyID=4711\n0x500=none\n0x501=none\n");
    ASSERT_TRUE(vesk::profile::writeString(m_config, "St1", "OSAutoAccept", "Y"));
    const ProgramRun shot = run(station() + " --shoot-after 1 --timeout 60");
    EXPECT_EQ(shot.exitCode, 0) << shot.output;
    EXPECT_TRUE(contains(shot.output, "VeskWorkbench: pressing Take Picture (no live view yet;")) << shot.output;
    EXPECT_GT(fs::file_size(m_folder / "import" / "1.jpg"), 1000u);
}

} // namespace
