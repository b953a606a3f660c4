// Pictures: live-view frames and shots are real JPEGs of the configured size, shots carry
// the configured EXIF orientation and download with progress; the INI file configures bodies.
#include "TestSupport.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <fstream>
#include <iterator>

namespace camsdk::test {
namespace {

CamSize jpegSize(const void* data, uint64_t length)
{
    tjhandle decoder = tjInitDecompress();
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    const int result = tjDecompressHeader3(decoder, static_cast<const unsigned char*>(data),
                                           static_cast<unsigned long>(length), &width, &height, &subsampling, &colourspace);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    const int decoded = result == 0 ? tjDecompress2(decoder, static_cast<const unsigned char*>(data),
                                                    static_cast<unsigned long>(length), pixels.data(), width, 0,
                                                    height, TJPF_RGB, 0)
                                    : -1;
    tjDestroy(decoder);
    return decoded == 0 ? CamSize{width, height} : CamSize{0, 0};
}

using PictureTest = SdkTest;

// Guards against live view answering without the host output, frames that are not JPEGs of
// the configured size, and an image release that takes the stream with it.
TEST_F(PictureTest, LiveViewFramesAreJpegsWithZoomGeometry)
{
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    own(stream);
    ASSERT_EQ(CamCreateEvfImageRef(stream, &image), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadEvfImage(m_camera, image), CAM_ERR_OBJECT_NOTREADY);

    ASSERT_EQ(write(CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC), CAM_ERR_OK);
    ASSERT_EQ(CamDownloadEvfImage(m_camera, image), CAM_ERR_OK);
    void* pointer = nullptr;
    uint64_t length = 0;
    ASSERT_EQ(CamGetPointer(stream, &pointer), CAM_ERR_OK);
    ASSERT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    const CamSize size = jpegSize(pointer, length);
    EXPECT_EQ(size.width, 1024);
    EXPECT_EQ(size.height, 680);

    uint32_t zoom = 0;
    CamSize coordinates{};
    CamRect rect{};
    CamPoint position{-1, -1};
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_ZOOM, 0, sizeof zoom, &zoom), CAM_ERR_OK);
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_COORDINATE_SYSTEM, 0, sizeof coordinates, &coordinates), CAM_ERR_OK);
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_ZOOM_RECT, 0, sizeof rect, &rect), CAM_ERR_OK);
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_IMAGE_POSITION, 0, sizeof position, &position), CAM_ERR_OK);
    EXPECT_EQ(zoom, 1u);
    EXPECT_EQ(coordinates.width, 1536);
    EXPECT_EQ(coordinates.height, 1024);
    EXPECT_EQ(rect.size.width, 1536 / 5);
    EXPECT_EQ(position.x, 0);

    ASSERT_EQ(write(CAM_PROP_EVF_ZOOM, 5), CAM_ERR_OK);
    ASSERT_EQ(CamDownloadEvfImage(m_camera, image), CAM_ERR_OK);
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_ZOOM, 0, sizeof zoom, &zoom), CAM_ERR_OK);
    ASSERT_EQ(CamGetPropertyData(image, CAM_PROP_EVF_IMAGE_POSITION, 0, sizeof position, &position), CAM_ERR_OK);
    EXPECT_EQ(zoom, 5u);
    EXPECT_EQ(position.x, rect.point.x) << "the magnified view starts at the zoom rectangle";
    EXPECT_EQ(position.y, rect.point.y);

    ASSERT_EQ(CamRelease(image), CAM_ERR_OK);
    ASSERT_EQ(CamGetPointer(stream, &pointer), CAM_ERR_OK);
    ASSERT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    EXPECT_EQ(jpegSize(pointer, length).width, 1024) << "the stream outlives its image";
}

struct Progress {
    std::vector<uint32_t> percents;
    std::thread::id thread;
    static CamError callback(uint32_t percent, void* context, int32_t* /*cancel*/)
    {
        auto* progress = static_cast<Progress*>(context);
        progress->percents.push_back(percent);
        progress->thread = std::this_thread::get_id();
        return CAM_ERR_OK;
    }
};

// Guards against shots that do not reach the host as a complete file, progress that does not
// end at 100, and an EXIF orientation other than the body's.
TEST(Shot, DownloadsIntoAFileWithProgressAndTheBodysOrientation)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.downloadChunkBytes = 8 * 1024;
    config.bodies[0].exifOrientation = 6;
    config.bodies[0].shotWidth = 640;
    config.bodies[0].shotHeight = 480;
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    EventRecorder recorder;
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    ASSERT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder), CAM_ERR_OK);
    const uint32_t toHost = CAM_SAVE_TO_HOST;
    ASSERT_EQ(CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), CAM_ERR_OK);
    ASSERT_EQ(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY), CAM_ERR_OK);
    ASSERT_TRUE(recorder.waitFor(1));
    const Event event = recorder.events().at(0);
    ASSERT_EQ(event.event, CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER);
    ASSERT_NE(event.object, nullptr);

    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(event.object, &info), CAM_ERR_OK);
    EXPECT_STREQ(info.szFileName, "IMG_0001.JPG");
    TemporaryFolder folder;
    const std::string path = folder.path() + "/" + info.szFileName;
    { std::ofstream(path) << "an older file of the same name, longer than nothing"; }
    CamStreamRef stream = nullptr;
    ASSERT_EQ(CamCreateFileStream(path.c_str(), CAM_FILE_CREATE_DISPOSITION_CREATE_ALWAYS, CAM_ACCESS_READ_WRITE, &stream), CAM_ERR_OK);
    Progress progress;
    ASSERT_EQ(CamSetProgressCallback(stream, Progress::callback, CAM_PROGRESS_OPTION_PERIODICALLY, &progress), CAM_ERR_OK);
    ASSERT_EQ(CamDownload(event.object, info.size, stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadComplete(event.object), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(event.object), CAM_ERR_OK);

    ASSERT_GE(progress.percents.size(), 2u) << "one call per chunk";
    EXPECT_EQ(progress.percents.back(), 100u);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.thread, std::this_thread::get_id()) << "progress runs on the downloading thread";

    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), info.size);
    const CamSize size = jpegSize(bytes.data(), bytes.size());
    EXPECT_EQ(size.width, 640) << "pixels stay as the sensor gives them";
    EXPECT_EQ(size.height, 480);
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    ASSERT_NE(exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")), exif.end());
    EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"))->toLong(), 6);
    EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Image.Model"))->toString(), "Vesk Simulated Camera");
    EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Photo.ISOSpeedRatings"))->toLong(), 100);
    EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.Photo.ExposureTime"))->toString(), "1/125");

    releaseAndTerminate(camera, list);
}

struct Cancelling {
    int calls = 0;
    static CamError callback(uint32_t /*percent*/, void* context, int32_t* cancel)
    {
        ++static_cast<Cancelling*>(context)->calls;
        *cancel = 1;
        return CAM_ERR_OK;
    }
};

// Guards against file streams that overwrite what they must not, open what is not there, or
// downloads that ignore the cancel flag.
TEST_F(PictureTest, FileStreamsHonourDispositionAndDownloadsHonourCancel)
{
    TemporaryFolder folder;
    const std::string existing = folder.path() + "/existing.jpg";
    { std::ofstream(existing) << "keep"; }
    CamStreamRef stream = nullptr;
    EXPECT_EQ(CamCreateFileStream(existing.c_str(), CAM_FILE_CREATE_DISPOSITION_CREATE_NEW, CAM_ACCESS_READ_WRITE, &stream),
              CAM_ERR_FILE_ALREADY_EXISTS);
    EXPECT_EQ(CamCreateFileStream((folder.path() + "/missing.jpg").c_str(), CAM_FILE_CREATE_DISPOSITION_OPEN_EXISTING,
                                  CAM_ACCESS_READ, &stream),
              CAM_ERR_FILE_NOT_FOUND);
    EXPECT_EQ(CamCreateFileStream((folder.path() + "/no/such/folder.jpg").c_str(),
                                  CAM_FILE_CREATE_DISPOSITION_CREATE_ALWAYS, CAM_ACCESS_READ_WRITE, &stream),
              CAM_ERR_FILE_OPEN_ERROR);

    registerAll(m_camera, m_recorder);
    ASSERT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(m_recorder.waitFor(1));
    const CamBaseRef item = m_recorder.events().at(0).object;
    own(item);
    CamDirectoryItemInfo info{};
    ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    own(stream);
    Cancelling cancelling;
    ASSERT_EQ(CamSetProgressCallback(stream, Cancelling::callback, CAM_PROGRESS_OPTION_PERIODICALLY, &cancelling), CAM_ERR_OK);
    EXPECT_EQ(CamDownload(item, info.size, stream), CAM_ERR_OPERATION_CANCELLED);
    EXPECT_EQ(cancelling.calls, 1);
    uint64_t length = 0;
    ASSERT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    EXPECT_LT(length, info.size);
}

// Guards against the INI file's bodies, Body IDs or property lists being read wrongly.
TEST(ConfigurationFile, DescribesTwoBodiesWithANegativeBodyIdAndAnOlderSubtype)
{
    TemporaryFolder folder;
    const std::string path = folder.path() + "/sim.ini";
    std::ofstream(path) << "[Simulator]\nBodies=3\nPropertyEventDelayMs=0\n"
                           "[Body1]\nModel=Studio One\nBodyID=0042\n"
                           "[Body2]\nModel=Old Body\nBodyID=-5\nPort=usb:002,007\nSubType=0\n"
                           "Orientation=5\nLiveViewWidth=320\nLiveViewFramesPerSecond=12\n0x406=0x68\n"
                           "0x406.Allowed=0x60, 0x68\n0x50E=none\n"
                           "[Body3]\nModel=Spare\nLiveViewFramesPerSecond=1000\n";
    ::setenv("VESK_CAMERA_SIM", path.c_str(), 1);
    sim::reset();
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    ::setenv("VESK_CAMERA_SIM", "", 1);

    CamCameraListRef list = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    int32_t count = 0;
    ASSERT_EQ(CamGetChildCount(list, &count), CAM_ERR_OK);
    ASSERT_EQ(count, 3);
    CamCameraRef camera = nullptr;
    ASSERT_EQ(CamGetChildAtIndex(list, 1, &camera), CAM_ERR_OK);
    CamDeviceInfo info{};
    ASSERT_EQ(CamGetDeviceInfo(camera, &info), CAM_ERR_OK);
    EXPECT_STREQ(info.szDeviceDescription, "Old Body");
    EXPECT_STREQ(info.szPortName, "usb:002,007");
    EXPECT_EQ(info.deviceSubType, 0u);
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    char bodyId[CAM_MAX_NAME] = {};
    ASSERT_EQ(CamGetPropertyData(camera, CAM_PROP_BODY_ID, 0, sizeof bodyId, bodyId), CAM_ERR_OK);
    EXPECT_STREQ(bodyId, "-5") << "the text exactly as configured";
    CamPropertyDesc desc{};
    ASSERT_EQ(CamGetPropertyDesc(camera, CAM_PROP_TV, &desc), CAM_ERR_OK);
    EXPECT_EQ(desc.numElements, 2);
    EXPECT_EQ(sim::propertyValue(1, CAM_PROP_TV), 0x68u);
    EXPECT_EQ(CamGetPropertyDesc(camera, CAM_PROP_EVF_AF_MODE, &desc), CAM_ERR_PROPERTIES_UNAVAILABLE);
    EXPECT_EQ(sim::propertyValue(0, CAM_PROP_TV), 0x70u) << "the first body keeps the defaults";

    sim::SimConfig loaded = sim::loadConfigFile(path);
    EXPECT_EQ(loaded.bodies.at(0).bodyId, "0042");
    EXPECT_EQ(loaded.bodies.at(1).exifOrientation, 1) << "an invalid orientation keeps the default";
    EXPECT_EQ(loaded.bodies.at(1).liveViewWidth, 320);
    EXPECT_EQ(loaded.bodies.at(1).liveViewFramesPerSecond, 12);
    EXPECT_EQ(loaded.bodies.at(2).liveViewFramesPerSecond, 30) << "an out-of-range rate keeps the default";
    EXPECT_EQ(loaded.propertyEventDelayMs, 0);
    // Bodies without a Port each get their own: two bodies on one port cannot be told apart.
    EXPECT_EQ(loaded.bodies.at(0).port, "usb:001,004");
    EXPECT_EQ(loaded.bodies.at(1).port, "usb:002,007");
    EXPECT_EQ(loaded.bodies.at(2).port, "usb:001,006");

    EXPECT_EQ(CamRelease(camera), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
}

// Guards against bodies configured in code with the built-in port all reporting the same one.
TEST(Configuration, BodiesKeepingTheBuiltInPortEachGetTheirOwn)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies.push_back(sim::makeDefaultBody());
    config.bodies.push_back(sim::makeDefaultBody());
    config.bodies[2].port = "usb:003,001";
    sim::reset();
    sim::configure(config);
    ASSERT_EQ(CamInitializeSDK(), CAM_ERR_OK);
    CamCameraListRef list = nullptr;
    ASSERT_EQ(CamGetCameraList(&list), CAM_ERR_OK);
    std::vector<std::string> ports;
    for (int32_t index = 0; index < 3; ++index) {
        CamCameraRef camera = nullptr;
        ASSERT_EQ(CamGetChildAtIndex(list, index, &camera), CAM_ERR_OK);
        CamDeviceInfo info{};
        EXPECT_EQ(CamGetDeviceInfo(camera, &info), CAM_ERR_OK);
        ports.emplace_back(info.szPortName);
        EXPECT_EQ(CamRelease(camera), CAM_ERR_OK);
    }
    EXPECT_EQ(ports, (std::vector<std::string>{"usb:001,004", "usb:001,005", "usb:003,001"}));
    EXPECT_EQ(CamRelease(list), CAM_ERR_OK);
    EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
}

// Guards against pictures smaller than the counter band being drawn outside their pixels, and
// pictures without area crashing the camera instead of failing: live view answers an error,
// a shot a capture error.
TEST(Configuration, DegenerateSizesFailCleanlyInsteadOfWritingOutOfBounds)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies[0].liveViewHeight = 4;
    config.bodies[0].shotHeight = 0;
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    const uint32_t toHost = CAM_EVF_OUTPUT_DEVICE_PC;
    ASSERT_EQ(CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof toHost, &toHost), CAM_ERR_OK);
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    ASSERT_EQ(CamCreateEvfImageRef(stream, &image), CAM_ERR_OK);
    ASSERT_EQ(CamDownloadEvfImage(camera, image), CAM_ERR_OK);
    void* pointer = nullptr;
    uint64_t length = 0;
    ASSERT_EQ(CamGetPointer(stream, &pointer), CAM_ERR_OK);
    ASSERT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    EXPECT_EQ(jpegSize(pointer, length).height, 4);

    EventRecorder recorder;
    ASSERT_EQ(CamSetCameraStateEventHandler(camera, CAM_STATE_EVENT_ALL, EventRecorder::onState, &recorder), CAM_ERR_OK);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CamSendCommand(camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
    ASSERT_TRUE(recorder.waitFor(1));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(recorder.events().at(0).event, CAM_STATE_EVENT_CAPTURE_ERROR);
    EXPECT_EQ(recorder.events().at(0).parameter, CAM_ERR_DEVICE_INTERNAL_ERROR);

    EXPECT_EQ(CamRelease(image), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    releaseAndTerminate(camera, list);
}

} // namespace
} // namespace camsdk::test
