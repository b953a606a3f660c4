// The libgphoto2 back end against libgphoto2's own virtual PTP camera (built by
// scripts/camera-fixture): detection, session, mapped properties, a write, capture and
// download, and vesk-camctl on top of it (its variants: GphotoVariantTests.cpp).
// Threading: events arrive on the SDK's event thread and are read here under the recorder's lock.
#include "TestSupport.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace camsdk::test {
namespace {

bool hasEvent(const std::vector<Event>& events, uint32_t event, uint32_t property)
{
    return std::any_of(events.begin(), events.end(),
                       [&](const Event& e) { return e.event == event && e.property == property; });
}

uint32_t readValue(CamCameraRef camera, CamPropertyID property)
{
    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(camera, property, 0, sizeof value, &value), CAM_ERR_OK) << std::hex << property;
    return value;
}

std::vector<uint32_t> allowedValues(CamCameraRef camera, CamPropertyID property)
{
    CamPropertyDesc desc{};
    EXPECT_EQ(CamGetPropertyDesc(camera, property, &desc), CAM_ERR_OK);
    return std::vector<uint32_t>(desc.propDesc, desc.propDesc + desc.numElements);
}

// The size of a JPEG that decodes; 0,0 when it does not.
std::pair<int, int> decodedSize(const uint8_t* data, size_t size)
{
    tjhandle handle = tjInitDecompress();
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    std::vector<uint8_t> pixels;
    bool decoded = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                                       &subsampling, &colorspace) == 0;
    if (decoded) {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        decoded = tjDecompress2(handle, data, static_cast<unsigned long>(size), pixels.data(), width, 0, height,
                                TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    return decoded ? std::make_pair(width, height) : std::make_pair(0, 0);
}

struct Progress {
    std::mutex mutex;
    std::vector<uint32_t> percents;
    static CamError record(uint32_t percent, void* context, int32_t*)
    {
        auto* progress = static_cast<Progress*>(context);
        std::lock_guard lock(progress->mutex);
        progress->percents.push_back(percent);
        return CAM_ERR_OK;
    }
};

class GphotoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(startWithTheOnlyCamera(m_list, m_camera));
    }
    void TearDown() override
    {
        if (m_camera) {
            CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
            CamCloseSession(m_camera);
            EXPECT_EQ(CamRelease(m_camera), CAM_ERR_OK);
        }
        EXPECT_EQ(CamRelease(m_list), CAM_ERR_OK);
        EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
        EXPECT_EQ(sim::handlesLiveAtLastTerminate(), 0u);
    }

    CamCameraListRef m_list = nullptr;
    CamCameraRef m_camera = nullptr;
};

TEST_F(GphotoTest, DetectedCameraHasModelPortAndNewerSubtype)
{
    CamDeviceInfo info{};
    ASSERT_EQ(CamGetDeviceInfo(m_camera, &info), CAM_ERR_OK);
    EXPECT_STREQ(info.szPortName, "usb:001,001");
    EXPECT_NE(std::string(info.szDeviceDescription).find("D750"), std::string::npos) << info.szDeviceDescription;
    EXPECT_EQ(info.deviceSubType, 1u);
}

// Guards against properties read before the session, events missing at opening, choice texts
// translated to wrong codes and absent properties answered as present.
TEST_F(GphotoTest, SessionAnnouncesAndTranslatesTheCamerasSettings)
{
    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_TV, 0, sizeof value, &value), CAM_ERR_SESSION_NOT_OPEN);
    EventRecorder recorder;
    ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, EventRecorder::onProperty, &recorder),
              CAM_ERR_OK);
    ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    // The opening's announcements arrive one by one on the event thread: the wait is for the
    // ones looked at, not for a number of events.
    const auto announced = [](const std::vector<Event>& events) {
        for (const CamPropertyID property : {CAM_PROP_TV, CAM_PROP_AV, CAM_PROP_EXPOSURE_COMPENSATION}) {
            if (!hasEvent(events, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property) ||
                !hasEvent(events, CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, property)) {
                return false;
            }
        }
        return hasEvent(events, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_BODY_ID);
    };
    EXPECT_TRUE(recorder.waitUntil(announced));
    const auto events = recorder.events();
    EXPECT_FALSE(hasEvent(events, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_ISO_SPEED));

    // The virtual body starts at 1/100 s, f/2.8 and no compensation.
    EXPECT_EQ(readValue(m_camera, CAM_PROP_TV), 0x6Du);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_AV), 0x20u);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EXPOSURE_COMPENSATION), 0u);
    const auto tv = allowedValues(m_camera, CAM_PROP_TV);
    EXPECT_NE(std::find(tv.begin(), tv.end(), 0x38u), tv.end()); // 1 s
    EXPECT_NE(std::find(tv.begin(), tv.end(), 0x85u), tv.end()); // 1/800 s, shown as 0.0012s
    const auto compensation = allowedValues(m_camera, CAM_PROP_EXPOSURE_COMPENSATION);
    EXPECT_EQ(compensation.front(), 0xE8u); // -3
    EXPECT_NE(std::find(compensation.begin(), compensation.end(), 0x0Cu), compensation.end()); // +1 1/2

    char bodyId[CAM_MAX_NAME] = {};
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_BODY_ID, 0, sizeof bodyId, bodyId), CAM_ERR_OK);
    EXPECT_STRNE(bodyId, "");
    CamDataType type = 0;
    uint32_t size = 0;
    EXPECT_EQ(CamGetPropertySize(m_camera, CAM_PROP_ISO_SPEED, 0, &type, &size), CAM_ERR_PROPERTIES_UNAVAILABLE);
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_PICTURE_STYLE, 0, sizeof value, &value),
              CAM_ERR_PROPERTIES_UNAVAILABLE);
}

// Guards against writes that do not reach the camera, missing change events and values
// outside the camera's choices being sent to it.
TEST_F(GphotoTest, WriteReachesTheCameraAndRefusesWhatItDoesNotOffer)
{
    ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    EventRecorder recorder;
    ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, EventRecorder::onProperty,
                                         &recorder),
              CAM_ERR_OK);
    const uint32_t f8 = 0x38;
    ASSERT_EQ(CamSetPropertyData(m_camera, CAM_PROP_AV, 0, sizeof f8, &f8), CAM_ERR_OK);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_AV), f8);
    // Announcements of the opening may still come in first.
    EXPECT_TRUE(recorder.waitUntil([](const std::vector<Event>& events) {
        return hasEvent(events, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_AV);
    }));

    const uint32_t f1 = 0x08;
    EXPECT_EQ(CamSetPropertyData(m_camera, CAM_PROP_AV, 0, sizeof f1, &f1), CAM_ERR_DEVICE_INVALID_PARAMETER);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_AV), f8);
    const uint32_t iso100 = 0x48;
    EXPECT_EQ(CamSetPropertyData(m_camera, CAM_PROP_ISO_SPEED, 0, sizeof iso100, &iso100),
              CAM_ERR_PROPERTIES_UNAVAILABLE);
    const uint32_t half = 50;
    EXPECT_EQ(CamSetPropertyData(m_camera, CAM_PROP_BATTERY_LEVEL, 0, sizeof half, &half), CAM_ERR_NOT_SUPPORTED);
}

// Guards against a capture that raises no object event, a download that loses bytes or
// reports no progress, and item handles left alive.
TEST_F(GphotoTest, CaptureRaisesTransferEventAndDownloadsADecodableJpeg)
{
    ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    EventRecorder recorder;
    ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder),
              CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(recorder.waitFor(1, 10000));
    const Event shot = recorder.events().front();
    EXPECT_EQ(shot.event, static_cast<uint32_t>(CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER));
    ASSERT_NE(shot.object, nullptr);

    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(shot.object, &info), CAM_ERR_OK);
    EXPECT_NE(std::string(info.szFileName).find(".JPG"), std::string::npos) << info.szFileName;
    EXPECT_GT(info.size, 0u);

    CamStreamRef stream = nullptr;
    ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    Progress progress;
    ASSERT_EQ(CamSetProgressCallback(stream, Progress::record, CAM_PROGRESS_OPTION_PERIODICALLY, &progress),
              CAM_ERR_OK);
    EXPECT_EQ(CamDownload(shot.object, info.size, stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadComplete(shot.object), CAM_ERR_OK);
    uint64_t length = 0;
    void* bytes = nullptr;
    ASSERT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    ASSERT_EQ(CamGetPointer(stream, &bytes), CAM_ERR_OK);
    EXPECT_EQ(length, info.size);
    const auto [width, height] = decodedSize(static_cast<const uint8_t*>(bytes), static_cast<size_t>(length));
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    ASSERT_FALSE(progress.percents.empty());
    EXPECT_EQ(progress.percents.back(), 100u);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));

    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(shot.object), CAM_ERR_OK);
}

TEST(GphotoToolTest, ShootFilesAJpegFromTheRealCameraBackEnd)
{
    TemporaryFolder folder;
    const std::string command = "'" VESK_CAMCTL_PATH "' shoot --out '" + folder.path() + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    const int status = ::pclose(pipe);
    ASSERT_EQ(status, 0) << output;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        files.push_back(entry.path());
    }
    ASSERT_EQ(files.size(), 1u) << output;
    std::ifstream file(files.front(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto [width, height] = decodedSize(bytes.data(), bytes.size());
    EXPECT_GT(width, 0) << files.front();
    EXPECT_NE(output.find(files.front().filename().string()), std::string::npos) << output;
}

} // namespace
} // namespace camsdk::test
