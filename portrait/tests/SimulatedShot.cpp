// Takes simulated shots through the camera SDK and processes them for the portrait tests.
//
// Threading: the object event arrives on the SDK's event thread and is handed over under a lock.
#include "SimulatedShot.h"

#include "camsdk/CamSdk.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace portrait::test {
namespace {

struct ArrivingItem {
    std::mutex mutex;
    std::condition_variable arrived;
    CamDirectoryItemRef item = nullptr;

    static CamError onObject(CamObjectEvent event, CamBaseRef object, void* context)
    {
        auto* self = static_cast<ArrivingItem*>(context);
        if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER) {
            std::lock_guard lock(self->mutex);
            self->item = object;
            self->arrived.notify_all();
        } else if (object != nullptr) {
            CamRelease(object);
        }
        return CAM_ERR_OK;
    }
};

void shoot(const camsdk::sim::SceneConfig& scene, std::vector<uint8_t>& jpeg)
{
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.scene = scene;
    camsdk::sim::reset();
    camsdk::sim::configure(config);
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    ASSERT_EQ(CamGetChildAtIndex(list, 0, &camera), CAM_ERR_OK);
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    ArrivingItem arriving;
    ASSERT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, ArrivingItem::onObject, &arriving), CAM_ERR_OK);
    const uint32_t toHost = CAM_SAVE_TO_HOST;
    ASSERT_EQ(CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY), CAM_ERR_OK);
    CamDirectoryItemRef item = nullptr;
    {
        std::unique_lock lock(arriving.mutex);
        arriving.arrived.wait_for(lock, std::chrono::seconds(20), [&] { return arriving.item != nullptr; });
        item = arriving.item;
    }
    ASSERT_NE(item, nullptr) << "the shot never arrived";
    CamDirectoryItemInfo info{};
    CamStreamRef stream = nullptr;
    EXPECT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    EXPECT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownload(item, info.size, stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadComplete(item), CAM_ERR_OK);
    void* data = nullptr;
    uint64_t length = 0;
    EXPECT_EQ(CamGetPointer(stream, &data), CAM_ERR_OK);
    EXPECT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    if (data != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        jpeg.assign(bytes, bytes + length);
    }
    CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(item), CAM_ERR_OK);
    EXPECT_EQ(CamCloseSession(camera), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(camera), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
}

} // namespace

Shot takeShot(const camsdk::sim::SceneConfig& scene)
{
    Shot shot;
    shoot(scene, shot.jpeg);
    if (shot.jpeg.empty()) {
        ADD_FAILURE() << "no picture came down";
        return shot;
    }
    const cv::Mat decoded = cv::imdecode(shot.jpeg, cv::IMREAD_COLOR);
    if (decoded.empty()) {
        ADD_FAILURE() << "the camera's picture does not decode";
        return shot;
    }
    const double scale = static_cast<double>(kProcessedHeight) / decoded.rows;
    cv::resize(decoded, shot.picture, cv::Size(), scale, scale, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    return shot;
}

PictureView viewOf(const cv::Mat& picture, uint64_t savedBytes)
{
    PictureView view;
    view.pixels = picture.data;
    view.width = picture.cols;
    view.height = picture.rows;
    view.stride = static_cast<int>(picture.step[0]);
    view.channels = picture.channels();
    view.savedBytes = savedBytes;
    return view;
}

TemporaryFile::TemporaryFile(const std::string& suffix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "portrait-test-XXXXXX").string() + suffix;
    const int descriptor = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (descriptor >= 0) {
        ::close(descriptor);
        m_path = pattern;
    }
}

TemporaryFile::~TemporaryFile()
{
    std::error_code error;
    std::filesystem::remove(m_path, error);
}

} // namespace portrait::test
