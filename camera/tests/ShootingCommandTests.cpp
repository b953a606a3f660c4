// Shots and downloads against the simulated camera: the shutter fallback, the legacy lock, the
// download's notifications, file names and files.
#include "CameraTestSupport.h"

#include "camera/ShootingCommands.h"

#include <fstream>

namespace camera::test {
namespace {

namespace fs = std::filesystem;
using camsdk::sim::injectFault;

class ShootingCommandTest : public CameraTest {
protected:
    CamDirectoryItemRef shootItem()
    {
        EXPECT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &ItemCatcher::handle, &m_catcher), CAM_ERR_OK);
        const uint32_t toHost = CAM_SAVE_TO_HOST;
        EXPECT_EQ(CamSetPropertyData(m_camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), CAM_ERR_OK);
        camsdk::sim::clearJournal();
        EXPECT_TRUE(TakePictureCommand(m_model.get()).execute());
        return m_catcher.take();
    }

    void TearDown() override
    {
        if (m_camera) {
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
        }
        while (CamDirectoryItemRef item = m_catcher.take(0ms)) {
            CamRelease(item);
        }
        CameraTest::TearDown();
    }

    ItemCatcher m_catcher;
};

// Guards against bodies that reject the shutter-button command (0x60) never being shot.
TEST_F(ShootingCommandTest, RejectedShutterButtonFallsBackToTakePicture)
{
    openModel([](auto& config) { config.bodies[0].rejectsShutterButton = true; });
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    CamRelease(item);
    const auto commands = calls("CamSendCommand");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].property, uint32_t{CAM_COMMAND_PRESS_SHUTTER_BUTTON});
    EXPECT_EQ(commands[0].argument, CAM_SHUTTER_BUTTON_COMPLETELY);
    EXPECT_EQ(commands[1].property, uint32_t{CAM_COMMAND_TAKE_PICTURE});
    EXPECT_TRUE(m_observer.all().empty());
}

// Guards against a current body's shot leaving the shutter pressed, and a busy shot being
// retried or reported as an error.
TEST_F(ShootingCommandTest, ShotReleasesTheShutterAndBusyIsOnlyAnnounced)
{
    openModel();
    EXPECT_TRUE(TakePictureNonAFCommand(m_model.get()).execute());
    auto commands = calls("CamSendCommand");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].argument, CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF);
    EXPECT_EQ(commands[1].argument, CAM_SHUTTER_BUTTON_OFF);

    injectFault("CamSendCommand", CAM_ERR_DEVICE_BUSY, 1);
    EXPECT_TRUE(TakePictureCommand(m_model.get()).execute());
    EXPECT_EQ(m_observer.names(), (std::vector<std::string>{"DeviceBusy"}));
    camsdk::sim::waitForEventsDelivered();
}

// Guards against a legacy shot being dropped when its lock fails, or unlocking what was never locked.
TEST_F(ShootingCommandTest, LegacyShotIsMadeEvenWhenTheLockFails)
{
    openModel([](auto& config) { config.bodies[0].deviceSubType = 0; });
    EXPECT_TRUE(TakePictureCommand(m_model.get()).execute());
    auto status = calls("CamSendStatusCommand");
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[1].property, uint32_t{CAM_STATUS_COMMAND_UI_UNLOCK});

    camsdk::sim::clearJournal();
    injectFault("CamSendStatusCommand", CAM_ERR_DEVICE_BUSY, 1);
    EXPECT_TRUE(TakePictureCommand(m_model.get()).execute());
    EXPECT_EQ(callsOf("CamSendCommand", CAM_COMMAND_PRESS_SHUTTER_BUTTON).size(), 2u);
    EXPECT_TRUE(callsOf("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_UNLOCK).empty());
    camsdk::sim::waitForEventsDelivered();
}

// Guards against a download that replaces an earlier picture of the same name (a camera that
// restarted its numbering), whose start and end name different files, or without progress.
TEST_F(ShootingCommandTest, DownloadKeepsAnExistingFileAndReportsProgressAndItsNames)
{
    openModel([](auto& config) { config.downloadChunkBytes = 16 * 1024; });
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    const std::string name = info.szFileName;
    ASSERT_EQ(name, "IMG_0001.JPG");
    const std::string earlier(info.size + 100000, 'x');
    std::ofstream(name, std::ios::binary) << earlier;

    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    const auto start = m_observer.named("DownloadStart");
    const auto complete = m_observer.named("DownloadComplete");
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(start[0].text, name);
    EXPECT_EQ(complete[0].text, "IMG_0001_1.JPG");
    const auto progress = m_observer.named("ProgressReport");
    ASSERT_GT(progress.size(), 1u);
    EXPECT_EQ(progress.back().value, 100u);
    std::ifstream kept(m_folder / name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), earlier);
    EXPECT_EQ(fs::file_size(m_folder / "IMG_0001_1.JPG"), info.size);
    std::ifstream file(m_folder / "IMG_0001_1.JPG", std::ios::binary);
    EXPECT_EQ(file.get(), 0xFF);
    EXPECT_EQ(file.get(), 0xD8);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 2) << "no temporary file left";
}

// Guards against a camera file name with folder parts writing outside the current folder.
TEST_F(ShootingCommandTest, DownloadKeepsOnlyTheFinalNameComponent)
{
    fs::create_directories(m_folder / "inside");
    fs::create_directories(m_folder / "outside");
    fs::current_path(m_folder / "inside");
    openModel([&](auto& config) { config.imageFilePrefix = "../outside/up_"; });

    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    ASSERT_EQ(m_observer.named("DownloadComplete").size(), 1u);
    const std::string name = m_observer.named("DownloadComplete")[0].text;
    EXPECT_EQ(name.rfind("up_", 0), 0u) << name;
    EXPECT_EQ(m_observer.named("DownloadStart")[0].text, name);
    EXPECT_TRUE(fs::exists(m_folder / "inside" / name));
    EXPECT_TRUE(fs::is_empty(m_folder / "outside"));
}

TEST(DownloadNameTest, NamesWithoutAUsableFinalComponentAreRefused)
{
    EXPECT_EQ(DownloadCommand::localFileName("IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(DownloadCommand::localFileName("../x.jpg"), "x.jpg");
    EXPECT_EQ(DownloadCommand::localFileName("/tmp/x.jpg"), "x.jpg");
    EXPECT_EQ(DownloadCommand::localFileName("a/b.jpg"), "b.jpg");
    EXPECT_EQ(DownloadCommand::localFileName("DCIM\\100\\c.jpg"), "c.jpg");
    EXPECT_EQ(DownloadCommand::localFileName(""), "");
    EXPECT_EQ(DownloadCommand::localFileName("."), "");
    EXPECT_EQ(DownloadCommand::localFileName(".."), "");
    EXPECT_EQ(DownloadCommand::localFileName("a/.."), "");
    EXPECT_EQ(DownloadCommand::localFileName("a/"), "");
}

// Guards against a failed item read announcing a start, or the item leaking or being released twice.
TEST_F(ShootingCommandTest, FailedItemReadReportsOnlyAnErrorAndReleasesTheItemOnce)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    injectFault("CamGetDirectoryItemInfo", CAM_ERR_DEVICE_INTERNAL_ERROR, 1);
    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    EXPECT_EQ(m_observer.names(), (std::vector<std::string>{"error"}));
    EXPECT_EQ(calls("CamRelease").size(), 1u);
}

// Guards against the camera's answer to the completion notice turning a fully written picture
// into an error (the operator would lose the shot).
TEST_F(ShootingCommandTest, FailedCompletionNoticeStillCompletesTheDownload)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    const std::string name = info.szFileName;
    injectFault("CamDownloadComplete", CAM_ERR_DEVICE_INTERNAL_ERROR, 1);
    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    ASSERT_EQ(calls("CamDownloadComplete").size(), 1u);
    EXPECT_EQ(calls("CamDownloadComplete")[0].result, CamError{CAM_ERR_DEVICE_INTERNAL_ERROR});
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DownloadStart " + name, "DownloadComplete " + name}));
    EXPECT_EQ(fs::file_size(m_folder / name), info.size);
}

// Guards against a failed transfer being announced as complete, or leaking the item or the stream.
TEST_F(ShootingCommandTest, FailedTransferReportsAnErrorAndReleasesItemAndStream)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    injectFault("CamDownload", CAM_ERR_COMM_DISCONNECTED, 1);
    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    const std::string name = m_observer.named("DownloadStart").at(0).text;
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DownloadStart " + name, "error c1"}));
    EXPECT_TRUE(calls("CamDownloadComplete").empty());
    EXPECT_EQ(calls("CamRelease").size(), 2u);
}

// Guards against one busy or not-ready answer losing the picture: the item is kept, "DeviceBusy"
// announced, the start announced once, and no partial file is left under any name.
TEST_F(ShootingCommandTest, BusyOrNotReadyTransferIsRetriedWithTheItemKept)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    const std::string name = info.szFileName;
    DownloadCommand download(m_model.get(), item);
    const struct {
        const char* function;
        CamError code;
    } transientFailures[] = {{"CamGetDirectoryItemInfo", CAM_ERR_DEVICE_BUSY},
                             {"CamGetDirectoryItemInfo", CAM_ERR_OBJECT_NOTREADY},
                             {"CamCreateFileStream", CAM_ERR_DEVICE_BUSY},
                             {"CamDownload", CAM_ERR_DEVICE_BUSY},
                             {"CamDownload", CAM_ERR_OBJECT_NOTREADY}};
    for (const auto& failure : transientFailures) {
        SCOPED_TRACE(failure.function);
        injectFault(failure.function, failure.code, 1);
        EXPECT_FALSE(download.execute());
        EXPECT_TRUE(fs::is_empty(m_folder)) << "no partial file";
    }
    EXPECT_TRUE(calls("CamRelease").size() == calls("CamCreateFileStream").size() - 1) << "only the streams went";
    EXPECT_TRUE(download.execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DeviceBusy", "DeviceBusy", "DownloadStart " + name, "DeviceBusy",
                                                            "DeviceBusy", "DeviceBusy", "DownloadComplete " + name}));
    EXPECT_EQ(fs::file_size(m_folder / name), info.size);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

// Guards against a failed download wiping an older picture of the same name or leaving a
// partial file behind.
TEST_F(ShootingCommandTest, FailedDownloadKeepsAnOlderFileOfTheSameNameIntact)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    const std::string name = info.szFileName;
    const std::string older(85948, 'o');
    std::ofstream(name, std::ios::binary) << older;
    injectFault("CamDownload", CAM_ERR_COMM_DISCONNECTED, 1);
    EXPECT_TRUE(DownloadCommand(m_model.get(), item).execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DownloadStart " + name, "error c1"}));
    std::ifstream file(m_folder / name, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), older);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

// Guards against a discarded download leaking its item.
TEST_F(ShootingCommandTest, DiscardedDownloadReleasesItsItem)
{
    openModel();
    CamDirectoryItemRef item = shootItem();
    ASSERT_NE(item, nullptr);
    { DownloadCommand discarded(m_model.get(), item); }
    EXPECT_TRUE(m_observer.all().empty());
}

} // namespace
} // namespace camera::test
