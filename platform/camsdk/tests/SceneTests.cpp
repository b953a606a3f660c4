// The simulated scene's configurable truth: the face lands where SceneConfig puts it and is as
// large as configured, or is absent; blur softens the picture without changing its brightness;
// exposure scales it; shots and live view show the configured scene; the INI file's [Scene]
// keys are read and bad values keep the defaults.
#include "TestSupport.h"

#include "../src/Scene.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace camsdk::test {
namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* at(int x, int y) const
    {
        return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
    }
    // Rows above the counter band (as the renderer draws it).
    int sceneRows() const { return height - std::min(height, std::max(8, height / 24)); }
};

Picture render(int width, int height, const sim::SceneConfig& scene)
{
    detail::SceneView view;
    view.sensorAspect = static_cast<double>(width) / height;
    view.time = 3;
    view.counter = 42;
    view.scene = scene;
    return {width, height, detail::renderScene(width, height, view)};
}

Picture decodeJpeg(const void* data, uint64_t length)
{
    Picture picture;
    tjhandle decoder = tjInitDecompress();
    int subsampling = 0;
    int colourspace = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (tjDecompressHeader3(decoder, bytes, static_cast<unsigned long>(length), &picture.width, &picture.height,
                            &subsampling, &colourspace) == 0) {
        picture.rgb.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3);
        if (tjDecompress2(decoder, bytes, static_cast<unsigned long>(length), picture.rgb.data(), picture.width, 0,
                          picture.height, TJPF_RGB, 0) != 0) {
            picture = {};
        }
    }
    tjDestroy(decoder);
    return picture;
}

// Skin as the simulated face shows it (lit, shaded or in the sockets' shadow): reddish,
// brighter than the floor, neither the wall, the hair, the lips, the shirt nor the ball.
bool isSkin(const uint8_t* pixel)
{
    const double r = pixel[0];
    const double g = pixel[1];
    const double b = pixel[2];
    return r > 140.0 && g > 0.6 * r && g < 0.85 * r && b > 0.45 * r && b < 0.75 * r;
}

size_t skinCount(const Picture& picture, int left, int top, int right, int bottom)
{
    size_t count = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, picture.height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, picture.width); ++x) {
            count += isSkin(picture.at(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// The face as the skin shows it: its top (the hairline), its widest rows (the centre, where
// the face ellipse is widest; the neck below is narrower) and their extent.
struct FaceBox {
    double centreX = 0.0;
    double centreY = 0.0;
    double width = 0.0;
    double height = 0.0;
    bool found = false;
};

FaceBox faceOf(const Picture& picture)
{
    FaceBox box;
    int top = -1;
    int widest = 0;
    std::vector<std::pair<int, int>> extents(static_cast<size_t>(picture.height), {-1, -1});
    for (int y = 0; y < picture.sceneRows(); ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (!isSkin(picture.at(x, y))) {
                continue;
            }
            auto& [first, last] = extents[static_cast<size_t>(y)];
            first = first < 0 ? x : first;
            last = x;
        }
        const auto [first, last] = extents[static_cast<size_t>(y)];
        if (first >= 0) {
            top = top < 0 ? y : top;
            widest = std::max(widest, last - first + 1);
        }
    }
    if (top < 0) {
        return box;
    }
    // The rows within a pixel of the widest: centred on the face's middle row.
    double rows = 0.0;
    double rowSum = 0.0;
    double middleSum = 0.0;
    for (int y = 0; y < picture.height; ++y) {
        const auto [first, last] = extents[static_cast<size_t>(y)];
        if (first >= 0 && last - first + 1 >= widest - 1) {
            rows += 1.0;
            rowSum += y + 0.5;
            middleSum += (first + last + 1) / 2.0;
        }
    }
    box.centreY = rowSum / rows;
    box.centreX = middleSum / rows;
    box.width = widest;
    box.height = 2.0 * (box.centreY - top);
    box.found = true;
    return box;
}

double meanOfScene(const Picture& picture)
{
    double sum = 0.0;
    const size_t bytes = static_cast<size_t>(picture.sceneRows()) * static_cast<size_t>(picture.width) * 3;
    for (size_t index = 0; index < bytes; ++index) {
        sum += picture.rgb[index];
    }
    return sum / static_cast<double>(bytes);
}

// Sum of squared differences between neighbouring pixels (each channel), over the scene rows.
double edgeEnergy(const Picture& picture)
{
    double energy = 0.0;
    for (int y = 0; y + 1 < picture.sceneRows(); ++y) {
        for (int x = 0; x + 1 < picture.width; ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                const double here = picture.at(x, y)[channel];
                const double right = picture.at(x + 1, y)[channel];
                const double below = picture.at(x, y + 1)[channel];
                energy += (right - here) * (right - here) + (below - here) * (below - here);
            }
        }
    }
    return energy;
}

bool bandsEqual(const Picture& a, const Picture& b)
{
    const size_t start = static_cast<size_t>(a.sceneRows()) * static_cast<size_t>(a.width) * 3;
    return a.rgb.size() == b.rgb.size() && std::equal(a.rgb.begin() + static_cast<std::ptrdiff_t>(start), a.rgb.end(),
                                                      b.rgb.begin() + static_cast<std::ptrdiff_t>(start));
}

struct Placement {
    double centreX;
    double centreY;
    double height;
};

// Guards against the face being drawn elsewhere or at another size than configured: the
// portrait checks are tested against this truth.
TEST(Scene, ConfiguredFaceLandsWhereConfiguredAtTheConfiguredSize)
{
    const int width = 1200;
    const int height = 800;
    for (const Placement placement : {Placement{0.5, 0.45, 0.34}, Placement{0.3, 0.4, 0.2}, Placement{0.55, 0.5, 0.6},
                                      Placement{0.7, 0.35, 0.25}}) {
        sim::SceneConfig scene;
        scene.faceCentreX = placement.centreX;
        scene.faceCentreY = placement.centreY;
        scene.faceHeight = placement.height;
        const FaceBox face = faceOf(render(width, height, scene));
        SCOPED_TRACE(testing::Message() << "face at " << placement.centreX << ", " << placement.centreY << " of height "
                                        << placement.height);
        ASSERT_TRUE(face.found);
        EXPECT_NEAR(face.centreX, placement.centreX * width, 2.0);
        EXPECT_NEAR(face.centreY, placement.centreY * height, 3.0);
        EXPECT_NEAR(face.height, placement.height * height, 4.0) << "chin to hairline";
        EXPECT_NEAR(face.width, placement.height * height * 0.12 / 0.17, 3.0);
    }
}

// Guards against the default scene moving: pictures and tests elsewhere rely on its person.
TEST(Scene, DefaultFaceIsCentredAtTheUsualPlace)
{
    const FaceBox face = faceOf(render(1536, 1024, sim::SceneConfig{}));
    ASSERT_TRUE(face.found);
    EXPECT_NEAR(face.centreX, 768.0, 2.0);
    EXPECT_NEAR(face.centreY, 0.45 * 1024, 3.0);
    EXPECT_NEAR(face.height, 0.34 * 1024, 4.0);
}

// Guards against a face, or a part of one, in the empty room.
TEST(Scene, NoFaceMeansNoSkin)
{
    sim::SceneConfig scene;
    const Picture withFace = render(900, 600, scene);
    EXPECT_GT(skinCount(withFace, 0, 0, 900, 600), 10'000u);
    scene.facePresent = false;
    const Picture empty = render(900, 600, scene);
    EXPECT_EQ(skinCount(empty, 0, 0, 900, 600), 0u);
    EXPECT_FALSE(faceOf(empty).found);
    // The room is the same room: its corner, far from the person, is unchanged.
    EXPECT_TRUE(std::equal(empty.rgb.begin(), empty.rgb.begin() + 3 * 100, withFace.rgb.begin()));
}

// Guards against a blur that changes the brightness, blurs the counter band, costs something
// when off, or does not soften the picture the more the larger it is.
TEST(Scene, BlurLowersTheEdgeEnergyAndKeepsTheMean)
{
    sim::SceneConfig scene;
    const Picture sharp = render(900, 600, scene);
    scene.blur = 0.0;
    EXPECT_EQ(render(900, 600, scene).rgb, sharp.rgb) << "no blur: the picture as it was";
    scene.blur = 0.004;
    const Picture soft = render(900, 600, scene);
    scene.blur = 0.02;
    const Picture softer = render(900, 600, scene);

    const double sharpEnergy = edgeEnergy(sharp);
    EXPECT_LT(edgeEnergy(soft), 0.5 * sharpEnergy);
    EXPECT_LT(edgeEnergy(softer), 0.5 * edgeEnergy(soft));
    EXPECT_NEAR(meanOfScene(soft), meanOfScene(sharp), 0.5);
    EXPECT_NEAR(meanOfScene(softer), meanOfScene(sharp), 0.5);
    EXPECT_TRUE(bandsEqual(soft, sharp)) << "the counter band stays sharp";
}

// Guards against a blur reaching further or less far than its radius: a point spreads exactly
// `reach` pixels each way, keeping its total.
TEST(Scene, BlurSpreadsAPointAsFarAsItsReach)
{
    const int size = 41;
    std::vector<uint8_t> rgb(static_cast<size_t>(size) * size * 3, 0);
    const size_t centre = (static_cast<size_t>(20) * size + 20) * 3;
    rgb[centre] = 255;
    rgb[centre + 1] = 255;
    rgb[centre + 2] = 255;
    detail::blurRgb(rgb, size, size, 1);
    // Reach 1: a 3 x 3 box, 255 / 9 each.
    EXPECT_EQ(rgb[centre], 28);
    EXPECT_EQ(rgb[centre + 3], 28);
    EXPECT_EQ(rgb[centre + 2 * 3], 0);
    EXPECT_EQ(rgb[centre - static_cast<size_t>(size) * 3], 28);
    EXPECT_EQ(rgb[centre - static_cast<size_t>(size) * 3 * 2], 0);

    // A square bright enough that the faint rim survives the rounding of the passes (their
    // half-widths 3, 3 and 2 add up to 8).
    std::vector<uint8_t> bright(rgb.size(), 0);
    for (int y = 17; y <= 23; ++y) {
        for (int x = 17; x <= 23; ++x) {
            std::fill_n(bright.begin() + static_cast<std::ptrdiff_t>((static_cast<size_t>(y) * size + static_cast<size_t>(x)) * 3), 3, 255);
        }
    }
    detail::blurRgb(bright, size, size, 8);
    int left = size;
    int right = -1;
    for (int x = 0; x < size; ++x) {
        if (bright[(static_cast<size_t>(20) * size + static_cast<size_t>(x)) * 3] > 0) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    EXPECT_EQ(left, 17 - 8) << "the square's edge spread 8 pixels out";
    EXPECT_EQ(right, 23 + 8);
}

// Guards against exposure changing anything but brightness, or not clipping.
TEST(Scene, ExposureScalesTheMeanAndClipsTheHighlights)
{
    sim::SceneConfig scene;
    const Picture normal = render(900, 600, scene);
    scene.exposure = 0.5;
    const Picture dark = render(900, 600, scene);
    EXPECT_NEAR(meanOfScene(dark), 0.5 * meanOfScene(normal), 1.0);
    EXPECT_TRUE(bandsEqual(dark, normal)) << "the counter band is not part of the scene";

    scene.exposure = 3.0;
    const Picture bright = render(900, 600, scene);
    // The face's middle: clipped in all three channels (232, 190, 160 times 3).
    const int faceX = 450;
    const int faceY = static_cast<int>(0.45 * 600) + 5;
    const uint8_t* pixel = bright.at(faceX, faceY);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 255);
    EXPECT_GT(meanOfScene(bright), 1.5 * meanOfScene(normal));
    EXPECT_LT(meanOfScene(bright), 3.0 * meanOfScene(normal)) << "clipped";
}

// Takes a picture with body 0 into memory and decodes it.
Picture takeShot(CamCameraRef camera)
{
    EventRecorder recorder;
    EXPECT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, EventRecorder::onObject, &recorder), CAM_ERR_OK);
    const uint32_t toHost = CAM_SAVE_TO_HOST;
    EXPECT_EQ(CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), CAM_ERR_OK);
    EXPECT_EQ(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY), CAM_ERR_OK);
    if (!recorder.waitFor(1)) {
        ADD_FAILURE() << "no picture arrived";
        return {};
    }
    const CamBaseRef item = recorder.events().at(0).object;
    CamDirectoryItemInfo info{};
    EXPECT_EQ(CamGetDirectoryItemInfo(item, &info), CAM_ERR_OK);
    CamStreamRef stream = nullptr;
    EXPECT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownload(item, info.size, stream), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadComplete(item), CAM_ERR_OK);
    void* pointer = nullptr;
    uint64_t length = 0;
    EXPECT_EQ(CamGetPointer(stream, &pointer), CAM_ERR_OK);
    EXPECT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    Picture picture = decodeJpeg(pointer, length);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(item), CAM_ERR_OK);
    EXPECT_EQ(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr), CAM_ERR_OK);
    return picture;
}

Picture takeLiveViewFrame(CamCameraRef camera)
{
    const uint32_t toPc = CAM_EVF_OUTPUT_DEVICE_PC;
    EXPECT_EQ(CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof toPc, &toPc), CAM_ERR_OK);
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    EXPECT_EQ(CamCreateMemoryStream(0, &stream), CAM_ERR_OK);
    EXPECT_EQ(CamCreateEvfImageRef(stream, &image), CAM_ERR_OK);
    EXPECT_EQ(CamDownloadEvfImage(camera, image), CAM_ERR_OK);
    void* pointer = nullptr;
    uint64_t length = 0;
    EXPECT_EQ(CamGetPointer(stream, &pointer), CAM_ERR_OK);
    EXPECT_EQ(CamGetLength(stream, &length), CAM_ERR_OK);
    Picture picture = decodeJpeg(pointer, length);
    EXPECT_EQ(CamRelease(image), CAM_ERR_OK);
    EXPECT_EQ(CamRelease(stream), CAM_ERR_OK);
    return picture;
}

// Skin around a place given in shares of the picture, within a box a tenth of its height.
size_t skinAround(const Picture& picture, double x, double y)
{
    const int half = picture.height / 20;
    const int centreX = static_cast<int>(x * picture.width);
    const int centreY = static_cast<int>(y * picture.height);
    return skinCount(picture, centreX - half, centreY - half, centreX + half, centreY + half);
}

// Guards against shots or live view ignoring the configured scene.
TEST(SceneThroughTheSdk, ShotsAndLiveViewShowTheConfiguredFace)
{
    sim::SimConfig config = sim::makeDefaultConfig();
    config.bodies[0].shotWidth = 900;
    config.bodies[0].shotHeight = 600;
    config.bodies[0].liveViewWidth = 600;
    config.bodies[0].liveViewHeight = 400;
    config.bodies[0].liveViewFramesPerSecond = 0;
    config.scene.faceCentreX = 0.25;
    config.scene.faceHeight = 0.2;
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);

    const Picture shot = takeShot(camera);
    ASSERT_EQ(shot.width, 900);
    const Picture frame = takeLiveViewFrame(camera);
    ASSERT_EQ(frame.width, 600);
    for (const Picture* picture : {&shot, &frame}) {
        const size_t box = static_cast<size_t>(picture->height / 10) * static_cast<size_t>(picture->height / 10);
        EXPECT_GT(skinAround(*picture, 0.25, 0.45), box * 3 / 4) << picture->width << " wide: the configured face";
        EXPECT_EQ(skinAround(*picture, 0.5, 0.45), 0u) << picture->width << " wide: nobody at the default place";
    }
    releaseAndTerminate(camera, list);

    config.scene = sim::SceneConfig{};
    config.scene.facePresent = false;
    ASSERT_NO_FATAL_FAILURE(startWithFirstCamera(config, list, camera));
    ASSERT_EQ(CamOpenSession(camera), CAM_ERR_OK);
    const Picture emptyShot = takeShot(camera);
    const Picture emptyFrame = takeLiveViewFrame(camera);
    ASSERT_EQ(emptyShot.width, 900);
    ASSERT_EQ(emptyFrame.width, 600);
    EXPECT_EQ(skinAround(emptyShot, 0.5, 0.45), 0u);
    EXPECT_EQ(skinAround(emptyFrame, 0.5, 0.45), 0u);
    releaseAndTerminate(camera, list);
}

// Guards against the [Scene] keys being ignored, read wrongly (or by the locale), or bad
// values replacing the defaults.
TEST(SceneConfigurationFile, KeysAreReadAndBadValuesKeepTheDefaults)
{
    TemporaryFolder folder;
    const std::string good = folder.path() + "/good.ini";
    std::ofstream(good) << "[Scene]\nFacePresent=N\nFaceCentreX=0.3\nFaceCentreY=0.4\nFaceHeight=0.55\n"
                           "Blur=0.004\nExposure=2.5\n";
    const sim::SimConfig read = sim::loadConfigFile(good);
    EXPECT_FALSE(read.scene.facePresent);
    EXPECT_DOUBLE_EQ(read.scene.faceCentreX, 0.3);
    EXPECT_DOUBLE_EQ(read.scene.faceCentreY, 0.4);
    EXPECT_DOUBLE_EQ(read.scene.faceHeight, 0.55);
    EXPECT_DOUBLE_EQ(read.scene.blur, 0.004);
    EXPECT_DOUBLE_EQ(read.scene.exposure, 2.5);
    EXPECT_EQ(read.bodies.size(), 1u) << "the rest of the world as built in";

    const std::string yes = folder.path() + "/yes.ini";
    std::ofstream(yes) << "[Scene]\nFacePresent=Y\nFaceCentreX=1\nFaceCentreY=0\nFaceHeight=1.5\nBlur=0\nExposure=0.05\n";
    const sim::SimConfig edges = sim::loadConfigFile(yes);
    EXPECT_TRUE(edges.scene.facePresent);
    EXPECT_DOUBLE_EQ(edges.scene.faceCentreX, 1.0) << "the range's ends are valid";
    EXPECT_DOUBLE_EQ(edges.scene.faceCentreY, 0.0);
    EXPECT_DOUBLE_EQ(edges.scene.faceHeight, 1.5);
    EXPECT_DOUBLE_EQ(edges.scene.exposure, 0.05);

    const std::string bad = folder.path() + "/bad.ini";
    std::ofstream(bad) << "[Scene]\nFacePresent=maybe\nFaceCentreX=1.2\nFaceCentreY=abc\nFaceHeight=0.01\n"
                          "Blur=0.5\nExposure=0,5\n";
    testing::internal::CaptureStderr();
    const sim::SimConfig kept = sim::loadConfigFile(bad);
    const std::string warnings = testing::internal::GetCapturedStderr();
    const sim::SceneConfig defaults;
    EXPECT_TRUE(kept.scene.facePresent);
    EXPECT_EQ(kept.scene.faceCentreX, defaults.faceCentreX);
    EXPECT_EQ(kept.scene.faceCentreY, defaults.faceCentreY);
    EXPECT_EQ(kept.scene.faceHeight, defaults.faceHeight);
    EXPECT_EQ(kept.scene.blur, defaults.blur);
    EXPECT_EQ(kept.scene.exposure, defaults.exposure);
    for (const char* key : {"FacePresent=maybe", "FaceCentreX=1.2", "FaceCentreY=abc", "FaceHeight=0.01", "Blur=0.5",
                            "Exposure=0,5"}) {
        EXPECT_NE(warnings.find(std::string("[Scene] ") + key + " is not valid"), std::string::npos) << key;
    }

    // Without a [Scene] section, the built-in scene.
    const std::string none = folder.path() + "/none.ini";
    std::ofstream(none) << "[Simulator]\nBodies=1\n";
    const sim::SimConfig plain = sim::loadConfigFile(none);
    EXPECT_TRUE(plain.scene.facePresent);
    EXPECT_EQ(plain.scene.faceHeight, defaults.faceHeight);
    EXPECT_EQ(plain.scene.blur, 0.0);
}

} // namespace
} // namespace camsdk::test
