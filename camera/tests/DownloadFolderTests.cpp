// Downloads through the controller into the folder its owner gives: shots taken with the
// simulated camera land there under a free name, never over an earlier file, whatever the
// length of the camera's file name.
#include "ControllerFixture.h"

#include <fstream>
#include <iterator>

namespace camera::test {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::size_t entriesIn(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class DownloadIntoFolderTest : public ControllerTest {
protected:
    // Starts the controller with its download folder set and the handlers registered.
    void startWithFolder(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {})
    {
        m_target = m_folder / "pictures";
        fs::create_directories(m_target);
        startConnecting(adjust, [this] {
            m_controller->setDownloadFolder(m_target.string());
            registerHandlers();
        });
        ASSERT_TRUE(m_observer.waitFor("CameraConnected"));
    }

    // Takes a picture through the controller and returns the path "DownloadComplete" carried.
    std::string shoot(std::size_t shot)
    {
        m_source.fireAction("TakePicture", nullptr);
        EXPECT_TRUE(m_observer.waitFor("DownloadComplete", shot));
        const auto complete = m_observer.named("DownloadComplete");
        return complete.size() >= shot ? complete[shot - 1].text : std::string();
    }

    fs::path m_target;
};

// Guards against downloads landing in the process's current folder instead of the folder
// given, and against "DownloadComplete" naming a file the receiver cannot find from there.
TEST_F(DownloadIntoFolderTest, ShotsLandInTheGivenFolderAndCompleteCarriesTheirPath)
{
    startWithFolder();
    const std::string written = shoot(1);
    EXPECT_EQ(written, (m_target / "IMG_0001.JPG").string());
    EXPECT_EQ(m_observer.named("DownloadStart").at(0).text, "IMG_0001.JPG") << "the camera's name, for the log";
    ASSERT_TRUE(fs::exists(written));
    EXPECT_EQ(contentOf(written).substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(entriesIn(m_target), 1u);
    EXPECT_EQ(entriesIn(m_folder), 1u) << "nothing in the current folder but the download folder";
}

// Guards against a download replacing an earlier file of the same name (a picture not yet
// taken over, a camera that restarted its numbering): the new one takes the next free name.
TEST_F(DownloadIntoFolderTest, TakenNamesAreSkippedAndNeverReplaced)
{
    startWithFolder();
    std::ofstream(m_target / "IMG_0001.JPG") << "earlier 1";
    std::ofstream(m_target / "IMG_0002.JPG") << "earlier 2";
    std::ofstream(m_target / "IMG_0002_1.JPG") << "earlier 2_1";

    EXPECT_EQ(shoot(1), (m_target / "IMG_0001_1.JPG").string());
    EXPECT_EQ(shoot(2), (m_target / "IMG_0002_2.JPG").string());
    EXPECT_EQ(contentOf(m_target / "IMG_0001.JPG"), "earlier 1");
    EXPECT_EQ(contentOf(m_target / "IMG_0002.JPG"), "earlier 2");
    EXPECT_EQ(contentOf(m_target / "IMG_0002_1.JPG"), "earlier 2_1");
    EXPECT_EQ(contentOf(m_target / "IMG_0001_1.JPG").substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(contentOf(m_target / "IMG_0002_2.JPG").substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(entriesIn(m_target), 5u) << "no temporary file left";
    EXPECT_TRUE(m_observer.named("error").empty());
}

// Guards against long camera file names failing to download: the temporary name was built
// from the camera's name and went over the file system's 255-byte limit from 242 bytes on.
TEST_F(DownloadIntoFolderTest, A250ByteCameraFileNameDownloads)
{
    const std::string prefix(242, 'L');
    startWithFolder([&](auto& config) { config.imageFilePrefix = prefix; });
    const std::string name = prefix + "0001.JPG";
    ASSERT_EQ(name.size(), 250u);
    EXPECT_EQ(shoot(1), (m_target / name).string());
    EXPECT_TRUE(m_observer.named("error").empty());
    EXPECT_GT(fs::file_size(m_target / name), 0u);
    EXPECT_EQ(entriesIn(m_target), 1u);
}

// Guards against a taken name of the longest size getting a numbered name over the limit
// (the download would fail): the stem is cut so that the numbered name fits in 255 bytes.
TEST_F(DownloadIntoFolderTest, ATaken255ByteNameGetsANumberedNameThatFits)
{
    const std::string prefix(247, 'M');
    startWithFolder([&](auto& config) { config.imageFilePrefix = prefix; });
    const std::string name = prefix + "0001.JPG";
    ASSERT_EQ(name.size(), 255u);
    std::ofstream(m_target / name) << "earlier";
    const std::string numbered = prefix + "00_1.JPG";
    EXPECT_EQ(shoot(1), (m_target / numbered).string());
    EXPECT_TRUE(m_observer.named("error").empty());
    EXPECT_EQ(contentOf(m_target / name), "earlier");
    EXPECT_GT(fs::file_size(m_target / numbered), 0u);
}

} // namespace
} // namespace camera::test
