// Portrait check figures on a 1200x800 processed picture: the whole check (median of the
// repetitions) with the face search's share of it as the checker measures it, and beside them
// the floor: the bare coarse cascade pass on the downscaled grey copy, and
// the decode of the same picture saved as JPEG.
//
// Threading: single-threaded; the camera SDK's event thread only hands over the shot.
#include "camsdk/Simulator.h"
#include "camsdk_test/SimulatedShot.h"
#include "portrait/MatView.h"
#include "portrait/PortraitCheck.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kProcessedWidth = 1200;
constexpr int kProcessedHeight = 800;
constexpr const char* kPhotograph = "/usr/share/doc/opencv-doc/examples/data/messi5.jpg";
constexpr const char* kCascades = "/usr/share/opencv4/haarcascades/";

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
    return camsdk_test::shootThroughSdk(config);
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
    const portrait::PictureView view = portrait::viewOfMat(picture);
    const portrait::PortraitLimits limits;
    std::string failures;
    double searchMilliseconds = 0.0;
    for (auto _ : state) {
        const portrait::PortraitReport report = checker.check(view, limits, true);
        benchmark::DoNotOptimize(report.findings.data());
        failures = report.failures();
        searchMilliseconds += report.faceSearchMilliseconds;
    }
    // The face search's own time, as the checker measures it, per check.
    state.counters["face_search_ms"] = benchmark::Counter(searchMilliseconds, benchmark::Counter::kAvgIterations);
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
BENCHMARK(BM_FaceCascadeOnly)->Apply(configure);
BENCHMARK(BM_DecodeJpeg)->Apply(configure);

} // namespace

BENCHMARK_MAIN();
