// vesk-camctl run as a user runs it, against a simulated camera described by an INI file.
#include "TestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace camsdk::test {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;   // stdout and stderr together
};

ToolRun runTool(const std::string& simulatorFile, const std::string& arguments)
{
    const std::string command =
        "VESK_CAMERA_SIM='" + simulatorFile + "' '" VESK_CAMCTL_PATH "' " + arguments + " 2>&1";
    ToolRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[512];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Guards against a camera's file name with folder parts placing the download outside the
// chosen folder, against a handle left live at terminate, and against two bodies listed on
// one port.
TEST(CamCtl, ShootKeepsTheDownloadInsideTheFolderAndListsEachBodyOnItsOwnPort)
{
    TemporaryFolder folder;
    const std::string simulator = folder.path() + "/sim.ini";
    std::ofstream(simulator) << "[Simulator]\nBodies=2\nImageFilePrefix=../escape_\n"
                                "[Body1]\nShotWidth=320\nShotHeight=240\n[Body2]\nModel=Second\n";

    const ToolRun list = runTool(simulator, "list");
    ASSERT_EQ(list.exitCode, 0) << list.output;
    EXPECT_NE(list.output.find("port \"usb:001,004\""), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("port \"usb:001,005\""), std::string::npos) << list.output;

    const std::string out = folder.path() + "/captures";
    const ToolRun shoot = runTool(simulator, "shoot --out '" + out + "'");
    ASSERT_EQ(shoot.exitCode, 0) << shoot.output;
    EXPECT_TRUE(std::filesystem::is_regular_file(out + "/escape_0001.JPG")) << shoot.output;
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/escape_0001.JPG")) << "written outside the folder";
    EXPECT_EQ(shoot.output.find("live handle"), std::string::npos) << shoot.output;
}

// Guards against a failed download that releases the picture's handle only after the SDK has
// ended (reported as a leak): here the camera's name is taken by a folder and, at the longest
// name the file system allows, no numbered name can be made from it.
TEST(CamCtl, AFailedDownloadEndsWithAnErrorAndNoHandleLeftLive)
{
    TemporaryFolder folder;
    const std::string simulator = folder.path() + "/sim.ini";
    const std::string prefix(247, 'n');
    std::ofstream(simulator) << "[Simulator]\nImageFilePrefix=" << prefix << "\n[Body1]\nShotWidth=64\nShotHeight=64\n";
    const std::string out = folder.path() + "/captures";
    std::filesystem::create_directories(out + "/" + prefix + "0001.JPG");
    const ToolRun shoot = runTool(simulator, "shoot --out '" + out + "'");
    EXPECT_EQ(shoot.exitCode, 1) << shoot.output;
    EXPECT_NE(shoot.output.find("CamCreateFileStream failed"), std::string::npos) << shoot.output;
    EXPECT_EQ(shoot.output.find("live handle"), std::string::npos) << shoot.output;
}

std::string fileContents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Guards against a second run replacing the first run's picture (each run starts again at
// IMG_0001.JPG): the new picture takes the next free numbered name, a folder of the
// camera's name is left alone too, and the tool prints the path it really wrote.
TEST(CamCtl, ShootNeverReplacesAFileAlreadyInTheFolder)
{
    TemporaryFolder folder;
    const std::string simulator = folder.path() + "/sim.ini";
    std::ofstream(simulator) << "[Body1]\nShotWidth=64\nShotHeight=48\n";
    const std::string out = folder.path() + "/captures";

    const ToolRun first = runTool(simulator, "shoot --out '" + out + "'");
    ASSERT_EQ(first.exitCode, 0) << first.output;
    ASSERT_TRUE(std::filesystem::is_regular_file(out + "/IMG_0001.JPG")) << first.output;
    const std::string firstPicture = fileContents(out + "/IMG_0001.JPG");
    std::ofstream(out + "/IMG_0001.JPG", std::ios::binary | std::ios::app) << "marker";

    const ToolRun second = runTool(simulator, "shoot --out '" + out + "'");
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(fileContents(out + "/IMG_0001.JPG"), firstPicture + "marker");
    ASSERT_TRUE(std::filesystem::is_regular_file(out + "/IMG_0001_1.JPG")) << second.output;
    EXPECT_EQ(fileContents(out + "/IMG_0001_1.JPG").substr(0, 2), "\xFF\xD8");
    EXPECT_NE(second.output.find(out + "/IMG_0001_1.JPG\n"), std::string::npos) << second.output;

    std::filesystem::create_directories(out + "/IMG_0001_2.JPG");
    const ToolRun third = runTool(simulator, "shoot --out '" + out + "'");
    ASSERT_EQ(third.exitCode, 0) << third.output;
    EXPECT_TRUE(std::filesystem::is_directory(out + "/IMG_0001_2.JPG"));
    EXPECT_TRUE(std::filesystem::is_regular_file(out + "/IMG_0001_3.JPG")) << third.output;
    EXPECT_EQ(third.output.find("live handle"), std::string::npos) << third.output;
}

} // namespace
} // namespace camsdk::test
