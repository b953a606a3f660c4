// The libgphoto2 back end against variants of the virtual camera (scripts/camera-fixture.d/):
// bodies that refuse previews, lack a serial number or a capture target, fail to focus, report
// exposure compensation in rounded thirds, stop answering or reuse a picture's name, and the
// requests the back end makes of an idle body.
// Threading: events arrive on the SDK's event thread and are read here under the recorder's lock.
#include "TestSupport.h"

#include "../src/gphoto/Backend.h"

#include <turbojpeg.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace camsdk::test {
namespace {

size_t countOf(const std::vector<Event>& events, uint32_t event, uint32_t property = 0)
{
    return static_cast<size_t>(std::count_if(events.begin(), events.end(), [&](const Event& e) {
        return e.event == event && (property == 0 || e.property == property);
    }));
}

uint32_t readValue(CamCameraRef camera, CamPropertyID property)
{
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(CamGetPropertyData(camera, property, 0, sizeof value, &value), CAM_ERR_OK) << std::hex << property;
    return value;
}

CamError writeValue(CamCameraRef camera, CamPropertyID property, uint32_t value)
{
    return CamSetPropertyData(camera, property, 0, sizeof value, &value);
}

bool decodes(const uint8_t* data, size_t size)
{
    tjhandle handle = tjInitDecompress();
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    bool decoded = tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                                       &subsampling, &colorspace) == 0;
    if (decoded) {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        decoded = tjDecompress2(handle, data, static_cast<unsigned long>(size), pixels.data(), width, 0, height,
                                TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    return decoded;
}

// The virtual camera as the variant named in VESK_VCAMERA, with a trace of the requests it got.
class VariantTest : public ::testing::Test {
protected:
    void start(const char* variant)
    {
        ::setenv("VESK_VCAMERA", variant, 1);
        ::setenv("VESK_VCAMERA_TRACE", trace().c_str(), 1);
        ::setenv("VESK_VCAMERA_STALL", stallFile().c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(startWithTheOnlyCamera(m_list, m_camera));
        ASSERT_EQ(CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, EventRecorder::onProperty,
                                             &m_properties),
                  CAM_ERR_OK);
        ASSERT_EQ(CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &m_objects),
                  CAM_ERR_OK);
        ASSERT_EQ(CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, EventRecorder::onState, &m_states),
                  CAM_ERR_OK);
        ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    }
    void TearDown() override
    {
        std::filesystem::remove(stallFile());
        if (m_camera) {
            CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, nullptr, nullptr);
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
            CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
            for (const Event& event : m_objects.events()) {
                CamRelease(event.object);
            }
            CamCloseSession(m_camera);
            EXPECT_EQ(CamRelease(m_camera), CAM_ERR_OK);
        }
        if (m_list) {
            EXPECT_EQ(CamRelease(m_list), CAM_ERR_OK);
        }
        EXPECT_EQ(CamTerminateSDK(), CAM_ERR_OK);
        EXPECT_EQ(sim::handlesLiveAtLastTerminate(), 0u);
        ::unsetenv("VESK_VCAMERA");
        ::unsetenv("VESK_VCAMERA_TRACE");
        ::unsetenv("VESK_VCAMERA_STALL");
    }

    std::string trace() const { return m_folder.path() + "/requests.txt"; }
    std::string stallFile() const { return m_folder.path() + "/stalled"; }
    // Requests of one operation code (hex, as traced) with their first parameters.
    std::vector<uint32_t> requests(const std::string& code) const
    {
        std::ifstream file(trace());
        std::vector<uint32_t> params;
        std::string opcode;
        std::string param;
        while (file >> opcode >> param) {
            if (opcode == code) {
                params.push_back(static_cast<uint32_t>(std::stoul(param, nullptr, 16)));
            }
        }
        return params;
    }
    // Takes a picture and waits for the object event of it.
    CamBaseRef shoot()
    {
        const size_t before = m_objects.events().size();
        EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_OK);
        if (!m_objects.waitFor(before + 1, 10000)) {
            ADD_FAILURE() << "no object event for the picture";
            return nullptr;
        }
        return m_objects.events()[before].object;
    }
    // Downloads an item as the download command does (its reported size) and completes it.
    std::vector<uint8_t> download(CamBaseRef item)
    {
        CamDirectoryItemInfo info{};
        EXPECT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
        CamStreamRef stream = nullptr;
        EXPECT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
        EXPECT_EQ(CamDownload(item, info.size, stream), CAM_ERR_OK);
        EXPECT_EQ(CamDownloadComplete(item), CAM_ERR_OK);
        uint64_t length = 0;
        void* bytes = nullptr;
        CamGetLength(stream, &length);
        CamGetPointer(stream, &bytes);
        std::vector<uint8_t> copy(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
        CamRelease(stream);
        return copy;
    }

    TemporaryFolder m_folder;
    CamCameraListRef m_list = nullptr;
    CamCameraRef m_camera = nullptr;
    EventRecorder m_properties;
    EventRecorder m_objects;
    EventRecorder m_states;
};

// Guards against live view staying "to the host" for ever on a body that advertises previews
// and refuses them, and against the dialog's ending of live view and of autofocus failing there.
TEST_F(VariantTest, RefusedPreviewTurnsLiveViewOffAndClearingSucceeds)
{
    start("");
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE), 0u);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EVF_MODE), 0u);
    ASSERT_EQ(writeValue(m_camera, CAM_PROP_EVF_MODE, 1), CAM_ERR_OK);
    const size_t before = m_properties.events().size();
    // Switching the output to the host tries the preview, which this body refuses.
    ASSERT_EQ(writeValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC),
              CAM_ERR_OK);
    // Both changes are announced; the event of the earlier write may still be on its way, so
    // the wait is for the two properties, not for a number of events.
    EXPECT_TRUE(m_properties.waitUntil([before](const std::vector<Event>& events) {
        const std::vector<Event> after(events.begin() + static_cast<std::ptrdiff_t>(before), events.end());
        return countOf(after, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_OUTPUT_DEVICE) >= 1 &&
               countOf(after, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_MODE) >= 1;
    }));
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE), 0u);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EVF_MODE), 0u);

    // What the dialog does before a shot: autofocus off and live view off, both already so.
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_OFF), CAM_ERR_OK);
    EXPECT_EQ(writeValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0), CAM_ERR_OK);
    EXPECT_EQ(writeValue(m_camera, CAM_PROP_EVF_MODE, 0), CAM_ERR_OK);
    // What the operator cannot have on this body.
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DO_EVF_AF, CAM_EVF_AF_ON), CAM_ERR_NOT_SUPPORTED);
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_DRIVE_LENS_EVF, 1), CAM_ERR_NOT_SUPPORTED);
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    ASSERT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    ASSERT_EQ(CamCreateEvfImageRef(stream, &image), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadEvfImage(m_camera, image), CAM_ERR_OBJECT_NOTREADY);
    EXPECT_EQ(CamRelease(image), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    // A later request to switch on is answered, and the reading stays off.
    EXPECT_EQ(writeValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_PC), CAM_ERR_OK);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EVF_OUTPUT_DEVICE), 0u);
}

// Guards against a body without a serial number being unusable: its Body ID is empty text.
TEST_F(VariantTest, BodyWithoutSerialNumberHasAnEmptyBodyId)
{
    start("noserial");
    ASSERT_TRUE(m_properties.waitUntil([](const std::vector<Event>& events) {
        return countOf(events, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_BODY_ID) >= 1;
    }));
    EXPECT_EQ(countOf(m_properties.events(), CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_BODY_ID), 1u);
    CamDataType type = 0;
    uint32_t size = 0;
    ASSERT_EQ(CamGetPropertySize(m_camera, CAM_PROP_BODY_ID, 0, &type, &size), CAM_ERR_OK);
    EXPECT_EQ(type, static_cast<CamDataType>(CAM_DATATYPE_STRING));
    char bodyId[CAM_MAX_NAME] = {'x'};
    ASSERT_EQ(CamGetPropertyData(m_camera, CAM_PROP_BODY_ID, 0, sizeof bodyId, bodyId), CAM_ERR_OK);
    EXPECT_STREQ(bodyId, "");
}

// Guards against a body without a capture target failing the session's save-to-host write, and
// against its pictures staying on the camera after they reached the host.
TEST_F(VariantTest, BodyWithoutCaptureTargetKeepsSaveToHostAndDeletesDownloads)
{
    start("generic");
    ASSERT_EQ(writeValue(m_camera, CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST), CAM_ERR_OK);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_SAVE_TO), static_cast<uint32_t>(CAM_SAVE_TO_HOST));
    EXPECT_EQ(writeValue(m_camera, CAM_PROP_SAVE_TO, 7), CAM_ERR_DEVICE_INVALID_PARAMETER);
    const CamBaseRef item = shoot();
    ASSERT_NE(item, nullptr);
    const std::vector<uint8_t> picture = download(item);
    EXPECT_TRUE(decodes(picture.data(), picture.size()));
    // DeleteObject (0x100B) went to the camera.
    EXPECT_EQ(requests("100b").size(), 1u);
}

// Guards against a shot that found no focus being reported as a plain failure: the dialog
// restarts live view only on the state event with the autofocus code.
TEST_F(VariantTest, FocusFailureRaisesTheCaptureErrorEvent)
{
    start("focusfail");
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY), CAM_ERR_OK);
    ASSERT_TRUE(m_states.waitFor(1));
    const Event failure = m_states.events().front();
    EXPECT_EQ(failure.event, static_cast<uint32_t>(CAM_STATE_EVENT_CAPTURE_ERROR));
    EXPECT_EQ(failure.parameter, static_cast<uint32_t>(CAM_ERR_TAKE_PICTURE_AF_NG));
    EXPECT_TRUE(m_objects.events().empty());
}

// Guards against two-thirds stops printed as "0.6", "-1.6" or "2.6" being dropped from the
// choices and a camera set to one reading "unknown".
TEST_F(VariantTest, ExposureCompensationInRoundedThirdsMapsToItsCodes)
{
    start("thirds");
    CamPropertyDesc desc{};
    ASSERT_EQ(CamGetPropertyDesc(m_camera, CAM_PROP_EXPOSURE_COMPENSATION, &desc), CAM_ERR_OK);
    const std::vector<uint32_t> allowed(desc.propDesc, desc.propDesc + desc.numElements);
    EXPECT_EQ(allowed.size(), 19u);
    for (const uint32_t code : {0x05u, 0xF3u, 0x15u, 0x03u, 0xE8u, 0x18u}) {
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), code), allowed.end()) << std::hex << code;
    }
    ASSERT_EQ(writeValue(m_camera, CAM_PROP_EXPOSURE_COMPENSATION, 0xF3), CAM_ERR_OK);
    EXPECT_EQ(readValue(m_camera, CAM_PROP_EXPOSURE_COMPENSATION), 0xF3u);
}

// Guards against a body that answers only with time-outs leaving the dialog waiting: it is
// taken for gone once, and every later call says so.
TEST_F(VariantTest, BodyThatStopsAnsweringIsTakenForGone)
{
    start("");
    std::ofstream(stallFile()).put('x');
    // The first time-out may be a moment's delay: the write fails, the body is asked again.
    EXPECT_NE(writeValue(m_camera, CAM_PROP_AV, 0x38), CAM_ERR_OK);
    ASSERT_TRUE(m_states.waitFor(1, 10000));
    EXPECT_EQ(m_states.events().front().event, static_cast<uint32_t>(CAM_STATE_EVENT_SHUTDOWN));
    EXPECT_EQ(CamSendCommand(m_camera, CAM_COMMAND_TAKE_PICTURE, 0), CAM_ERR_COMM_DISCONNECTED);
    uint32_t value = 0;
    EXPECT_EQ(CamGetPropertyData(m_camera, CAM_PROP_AV, 0, sizeof value, &value), CAM_ERR_COMM_DISCONNECTED);
    EXPECT_FALSE(m_states.waitFor(2, 500));
}

// Guards against the whole configuration being read after every change the camera reports:
// the virtual body reports its exposure compensation as changed whenever it is read, so a
// back end that reads everything on such a report keeps reading the body's vendor settings
// (0xD000 and up, which only a full configuration asks for) while it is idle.
TEST_F(VariantTest, ReportedChangeReadsOnlyTheChangedSetting)
{
    start("");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::filesystem::remove(trace());
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    const std::vector<uint32_t> described = requests("1014"); // GetDevicePropDesc
    std::ostringstream vendor;
    for (const uint32_t property : described) {
        if (property >= 0xD000) {
            vendor << std::hex << property << ' ';
        }
    }
    EXPECT_EQ(vendor.str(), "") << "vendor settings read while idle";
    // The reported setting itself is still read again.
    EXPECT_NE(std::find(described.begin(), described.end(), 0x5010u), described.end());
}

// Guards against a second picture under the name of a deleted one (capture into the camera's
// memory) going unannounced.
TEST_F(VariantTest, NameReusedAfterDeletionIsAnnouncedAgain)
{
    start("samename");
    ASSERT_EQ(writeValue(m_camera, CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST), CAM_ERR_OK);
    for (int shot = 0; shot < 2; ++shot) {
        const CamBaseRef item = shoot();
        ASSERT_NE(item, nullptr) << "shot " << shot;
        CamDirectoryItemInfo info{};
        ASSERT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
        EXPECT_STREQ(info.szFileName, "GPH_RAM.JPG");
        EXPECT_TRUE(!download(item).empty());
    }
    EXPECT_EQ(requests("100b").size(), 2u);
    // The added-file reports that follow the captures announce nothing more.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(m_objects.events().size(), 2u);
}

// Guards against live-view frames whose markers are padded with 0xFF fill bytes being given a
// 0x0 coordinate system.
TEST(GphotoJpegTest, FrameSizeIsFoundPastFillBytes)
{
    tjhandle handle = tjInitCompress();
    std::vector<uint8_t> pixels(64 * 48 * 3, 128);
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(handle, pixels.data(), 64, 0, 48, TJPF_RGB, &jpeg, &size, TJSAMP_420, 80, 0), 0);
    std::vector<uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    EXPECT_EQ(gp::jpegSize(bytes).width, 64);
    // Fill bytes before every marker after the first.
    std::vector<uint8_t> padded(bytes.begin(), bytes.begin() + 2);
    size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA) {
        const size_t length = static_cast<size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        padded.insert(padded.end(), {0xFF, 0xFF, 0xFF});
        padded.insert(padded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        at += 2 + length;
    }
    padded.insert(padded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    const CamSize found = gp::jpegSize(padded);
    EXPECT_EQ(found.width, 64);
    EXPECT_EQ(found.height, 48);
    EXPECT_TRUE(decodes(padded.data(), padded.size()));
}

} // namespace
} // namespace camsdk::test
