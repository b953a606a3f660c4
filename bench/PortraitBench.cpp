// Portrait check figures on a 1200x800 processed picture: the whole check (median of the
// repetitions), the face search within it (its steps repeated here as the checker runs them),
// and beside them the floor: the bare coarse cascade pass on the downscaled grey copy, and
// the decode of the same picture saved as JPEG.
//
// Threading: single-threaded; the camera SDK's event thread only hands over the shot.
#include "camsdk/CamSdk.h"
#include "camsdk/Simulator.h"
#include "portrait/PortraitCheck.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kProcessedWidth = 1200;
constexpr int kProcessedHeight = 800;
constexpr const char* kPhotograph = "/usr/share/doc/opencv-doc/examples/data/messi5.jpg";
constexpr const char* kCascades = "/usr/share/opencv4/haarcascades/";

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

void require(bool condition, const char* what)
{
    if (!condition) {
        throw std::runtime_error(what);
    }
}

// One shot of the simulated camera's default scene with a face as a station wants it.
std::vector<uint8_t> simulatedShot()
{
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.scene.faceHeight = 0.62;
    config.scene.faceCentreY = 0.5;
    camsdk::sim::reset();
    camsdk::sim::configure(config);
    require(CamInitializeSDK() == CAM_ERR_OK, "the camera SDK does not start");
    CamCameraListRef list = nullptr;
    CamCameraRef camera = nullptr;
    require(CamGetCameraList(&list) == CAM_ERR_OK && CamGetChildAtIndex(list, 0, &camera) == CAM_ERR_OK, "no camera");
    require(CamOpenSession(camera) == CAM_ERR_OK, "no session");
    ArrivingItem arriving;
    CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, ArrivingItem::onObject, &arriving);
    const uint32_t toHost = CAM_SAVE_TO_HOST;
    CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost);
    require(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY) == CAM_ERR_OK,
            "the shutter does not fire");
    CamDirectoryItemRef item = nullptr;
    {
        std::unique_lock lock(arriving.mutex);
        arriving.arrived.wait_for(lock, std::chrono::seconds(20), [&] { return arriving.item != nullptr; });
        item = arriving.item;
    }
    require(item != nullptr, "the shot never arrived");
    CamDirectoryItemInfo info{};
    CamStreamRef stream = nullptr;
    CamGetDirectoryItemInfo(item, &info);
    CamCreateMemoryStream(0, &stream);
    require(CamDownload(item, info.size, stream) == CAM_ERR_OK, "the download failed");
    CamDownloadComplete(item);
    void* data = nullptr;
    uint64_t length = 0;
    CamGetPointer(stream, &data);
    CamGetLength(stream, &length);
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> jpeg(bytes, bytes + length);
    CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
    CamRelease(stream);
    CamRelease(item);
    CamCloseSession(camera);
    CamRelease(camera);
    CamRelease(list);
    CamTerminateSDK();
    return jpeg;
}

struct Pictures {
    cv::Mat photograph;   // the real photograph scaled to 1200x800
    cv::Mat simulated;    // the simulated shot processed as the dialog does
    std::vector<uint8_t> photographJpeg;
    std::vector<uint8_t> simulatedJpeg;
};

const Pictures& pictures()
{
    static const Pictures made = [] {
        Pictures result;
        const cv::Mat photograph = cv::imread(kPhotograph, cv::IMREAD_COLOR);
        require(!photograph.empty(), "the sample photograph cannot be read (package opencv-doc)");
        cv::resize(photograph, result.photograph, cv::Size(kProcessedWidth, kProcessedHeight), 0, 0, cv::INTER_CUBIC);
        const cv::Mat shot = cv::imdecode(simulatedShot(), cv::IMREAD_COLOR);
        require(!shot.empty(), "the simulated shot does not decode");
        cv::resize(shot, result.simulated, cv::Size(kProcessedWidth, kProcessedHeight), 0, 0, cv::INTER_AREA);
        const std::vector<int> quality = {cv::IMWRITE_JPEG_QUALITY, 90};
        cv::imencode(".jpg", result.photograph, result.photographJpeg, quality);
        cv::imencode(".jpg", result.simulated, result.simulatedJpeg, quality);
        return result;
    }();
    return made;
}

const cv::Mat& pictureOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? pictures().photograph : pictures().simulated;
}

const char* nameOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? "photograph" : "simulated";
}

void BM_Check(benchmark::State& state)
{
    const cv::Mat& picture = pictureOf(state);
    const portrait::PortraitChecker checker;
    portrait::PictureView view;
    view.pixels = picture.data;
    view.width = picture.cols;
    view.height = picture.rows;
    view.stride = static_cast<int>(picture.step[0]);
    view.channels = picture.channels();
    const portrait::PortraitLimits limits;
    std::string failures;
    for (auto _ : state) {
        const portrait::PortraitReport report = checker.check(view, limits, true);
        benchmark::DoNotOptimize(report.findings.data());
        failures = report.failures();
    }
    state.SetLabel(std::string(nameOf(state)) + ": " + (failures.empty() ? "all passed" : failures));
}

// The grey copy the check searches: 320 rows, equalized.
cv::Mat searchedCopy(const cv::Mat& picture)
{
    cv::Mat grey;
    cv::Mat small;
    cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    const double scale = 320.0 / picture.rows;
    cv::resize(grey, small, cv::Size(), scale, scale, cv::INTER_AREA);
    cv::equalizeHist(small, small);
    return small;
}

cv::CascadeClassifier faceCascade()
{
    cv::CascadeClassifier faces(std::string(kCascades) + "haarcascade_frontalface_default.xml");
    require(!faces.empty(), "the face cascade cannot be read");
    return faces;
}

// The check's face search as it runs inside check() (the eye search aside): the searched copy
// made, the coarse pass (steps of 20%, smallest face 10% of the rows at the default limits) and
// the fine pass (steps of 5%) around each candidate.
void BM_FaceSearch(benchmark::State& state)
{
    const cv::Mat& picture = pictureOf(state);
    cv::CascadeClassifier faces = faceCascade();
    size_t found = 0;
    for (auto _ : state) {
        const cv::Mat small = searchedCopy(picture);
        std::vector<cv::Rect> coarse;
        faces.detectMultiScale(small, coarse, 1.2, 3, 0, cv::Size(32, 32));
        found = 0;
        for (const cv::Rect& box : coarse) {
            const cv::Rect around = cv::Rect(box.x - box.width * 2 / 5, box.y - box.height * 2 / 5, box.width * 9 / 5,
                                             box.height * 9 / 5)
                & cv::Rect(0, 0, small.cols, small.rows);
            const int smallest = std::max(24, static_cast<int>(box.width / 1.3));
            const int largest = std::max(smallest, static_cast<int>(box.width * 1.3));
            std::vector<cv::Rect> fine;
            faces.detectMultiScale(small(around), fine, 1.05, 4, 0, cv::Size(smallest, smallest),
                                   cv::Size(largest, largest));
            found += fine.empty() ? 0 : 1;
        }
    }
    state.SetLabel(std::string(nameOf(state)) + ": " + std::to_string(found) + " faces confirmed");
}

// The floor: the bare coarse cascade pass on the searched copy, made beforehand.
void BM_FaceCascadeOnly(benchmark::State& state)
{
    const cv::Mat small = searchedCopy(pictureOf(state));
    cv::CascadeClassifier faces = faceCascade();
    size_t found = 0;
    for (auto _ : state) {
        std::vector<cv::Rect> boxes;
        faces.detectMultiScale(small, boxes, 1.2, 3, 0, cv::Size(32, 32));
        found = boxes.size();
    }
    state.SetLabel(std::string(nameOf(state)) + ": " + std::to_string(found) + " candidates");
}

// For comparison: decoding the same picture saved as JPEG at quality 90.
void BM_DecodeJpeg(benchmark::State& state)
{
    const std::vector<uint8_t>& jpeg = state.range(0) == 0 ? pictures().photographJpeg : pictures().simulatedJpeg;
    for (auto _ : state) {
        const cv::Mat decoded = cv::imdecode(jpeg, cv::IMREAD_COLOR);
        benchmark::DoNotOptimize(decoded.data);
    }
    state.SetLabel(std::string(nameOf(state)) + ": " + std::to_string(jpeg.size()) + " bytes");
}

void configure(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgName("picture")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(9)
        ->ReportAggregatesOnly(true)->MinTime(0.5);
}

BENCHMARK(BM_Check)->Apply(configure);
BENCHMARK(BM_FaceSearch)->Apply(configure);
BENCHMARK(BM_FaceCascadeOnly)->Apply(configure);
BENCHMARK(BM_DecodeJpeg)->Apply(configure);

} // namespace

BENCHMARK_MAIN();
