// The portrait checker: finds the face with OpenCV's frontal-face cascade on a small grey copy
// of the picture, confirms it and finds the eye line with the eye cascade, and measures
// sharpness and exposure on the face box at full resolution.
//
// Threading: a checker is used by one thread at a time (OpenCV's cascades keep scratch state);
// check() changes nothing it holds.
#include "portrait/PortraitCheck.h"

#include "Findings.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#ifndef VESK_PORTRAIT_CASCADE_FOLDER
#define VESK_PORTRAIT_CASCADE_FOLDER "/usr/share/opencv4/haarcascades"
#endif

namespace portrait {
namespace {

// Faces are searched on a grey copy this many rows high (smaller pictures are searched as
// they are): a 1200x800 picture is searched at 480x320.
constexpr int kDetectionHeight = 320;
// The search runs twice: a coarse pass over the whole copy in steps of 20% in size finds the
// candidates, and a fine pass in steps of 5% around each candidate (sizes within 30% of it)
// confirms it with more neighbours and pins its size down, so the face height is measured
// finely for a third less work than a fine search everywhere.
constexpr double kCoarseStep = 1.2;
constexpr int kCoarseNeighbours = 3;
constexpr double kFineStep = 1.05;
constexpr int kFineNeighbours = 4;
constexpr double kFineSizeRange = 1.3;
constexpr double kFineMargin = 0.4;
// The smallest face searched for is a fifth of the smallest face wanted, so that a face far
// too small is still found and reported as too small (a person photographed whole); but never
// below this share of the searched height, where the search would slow down for faces no
// station wants.
constexpr double kSmallestFaceReach = 0.2;
constexpr double kSmallestFaceShare = 0.08;
// The cascade's own window: nothing smaller can be found.
constexpr int kFaceCascadeWindow = 24;
constexpr int kEyeCascadeWindow = 20;
// Eyes are searched in the upper part of the face box, scaled to this width, so that small
// faces still show eyes of the eye cascade's size and large ones cost no more than small ones.
constexpr int kEyeSearchWidth = 160;
constexpr double kEyeSearchDepth = 0.6;
// Sharpness is measured with the face box scaled to this height, so that the same face reads
// the same whether the picture is 800 or 4000 rows high.
constexpr int kSharpnessWorkingHeight = 200;
constexpr int kHighlightLevel = 250;
constexpr int kShadowLevel = 5;

cv::Rect toRect(const Rectangle& rectangle)
{
    return {rectangle.x, rectangle.y, rectangle.width, rectangle.height};
}

void validate(const PictureView& picture)
{
    if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) {
        throw std::invalid_argument("portrait check: empty picture");
    }
    if (picture.channels != 1 && picture.channels != 3 && picture.channels != 4) {
        throw std::invalid_argument("portrait check: pictures have 1, 3 or 4 channels");
    }
    if (picture.stride < picture.width * picture.channels) {
        throw std::invalid_argument("portrait check: rows shorter than the picture's width");
    }
}

cv::Mat greyOf(const PictureView& picture)
{
    const cv::Mat pixels(picture.height, picture.width, CV_8UC(picture.channels), const_cast<uint8_t*>(picture.pixels),
                         static_cast<size_t>(picture.stride));
    if (picture.channels == 1) {
        return pixels;
    }
    cv::Mat grey;
    cv::cvtColor(pixels, grey, picture.channels == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
    return grey;
}

struct Candidate {
    cv::Rect box;                 // in picture pixels
    std::optional<double> eyeRow; // in picture pixels
};

// Drops a candidate whose centre lies inside a larger candidate: one face seen twice.
std::vector<Candidate> withoutNested(std::vector<Candidate> candidates)
{
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.box.area() > b.box.area(); });
    std::vector<Candidate> kept;
    for (const Candidate& candidate : candidates) {
        const cv::Rect& box = candidate.box;
        const cv::Point centre(box.x + box.width / 2, box.y + box.height / 2);
        if (std::none_of(kept.begin(), kept.end(), [&](const Candidate& larger) { return larger.box.contains(centre); })) {
            kept.push_back(candidate);
        }
    }
    return kept;
}

} // namespace

struct PortraitChecker::Detectors {
    cv::CascadeClassifier faces;
    cv::CascadeClassifier eyes;

    std::vector<Candidate> findFaces(const cv::Mat& grey, const PortraitLimits& limits);
    std::optional<cv::Rect> refine(const cv::Mat& searched, const cv::Rect& coarse);
    std::optional<double> findEyeRow(const cv::Mat& grey, const cv::Rect& face);
};

PortraitChecker::PortraitChecker(const std::string& cascadeFolder)
    : m_detectors(std::make_unique<Detectors>())
{
    const std::string folder = cascadeFolder.empty() ? std::string(VESK_PORTRAIT_CASCADE_FOLDER) : cascadeFolder;
    const auto load = [&](cv::CascadeClassifier& cascade, const char* name) {
        const std::string path = folder + "/" + name;
        bool loaded = false;
        try {
            loaded = cascade.load(path);
        } catch (const cv::Exception&) {
            loaded = false;
        }
        if (!loaded || cascade.empty()) {
            throw std::runtime_error("cannot read the cascade " + path);
        }
    };
    load(m_detectors->faces, "haarcascade_frontalface_default.xml");
    load(m_detectors->eyes, "haarcascade_eye.xml");
}

PortraitChecker::~PortraitChecker() = default;

// The face cascade alone finds faces in crowds, patterns and shoulders now and then; the eye
// cascade decides between its candidates: when several are found and some of them show eyes,
// only those count as faces. A single candidate is the face even without eyes (the eye line
// then fails as "eyes not found"), and so are several when none shows eyes. Of the faces left,
// one whose centre lies inside a larger one is the same face found twice.
std::vector<Candidate> PortraitChecker::Detectors::findFaces(const cv::Mat& grey, const PortraitLimits& limits)
{
    const double scale = grey.rows > kDetectionHeight ? static_cast<double>(kDetectionHeight) / grey.rows : 1.0;
    cv::Mat small;
    if (scale < 1.0) {
        cv::resize(grey, small, cv::Size(), scale, scale, cv::INTER_AREA);
    } else {
        small = grey;
    }
    cv::Mat equalized;
    cv::equalizeHist(small, equalized);
    const double smallestShare = std::max(kSmallestFaceReach * limits.faceHeightMin / 100.0, kSmallestFaceShare);
    const int smallest = std::max(kFaceCascadeWindow, static_cast<int>(smallestShare * small.rows));
    std::vector<cv::Rect> coarse;
    faces.detectMultiScale(equalized, coarse, kCoarseStep, kCoarseNeighbours, 0, cv::Size(smallest, smallest));
    std::vector<cv::Rect> found;
    for (const cv::Rect& box : coarse) {
        if (const auto fine = refine(equalized, box)) {
            found.push_back(*fine);
        }
    }

    std::vector<Candidate> candidates;
    for (const cv::Rect& box : found) {
        const cv::Rect full = cv::Rect(static_cast<int>(std::lround(box.x / scale)), static_cast<int>(std::lround(box.y / scale)),
                                       static_cast<int>(std::lround(box.width / scale)),
                                       static_cast<int>(std::lround(box.height / scale)))
            & cv::Rect(0, 0, grey.cols, grey.rows);
        if (full.area() > 0) {
            candidates.push_back({full, findEyeRow(grey, full)});
        }
    }
    if (candidates.size() > 1) {
        std::vector<Candidate> withEyes;
        std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(withEyes),
                     [](const Candidate& candidate) { return candidate.eyeRow.has_value(); });
        if (!withEyes.empty()) {
            candidates = std::move(withEyes);
        }
    }
    return withoutNested(std::move(candidates));
}

// The fine pass around one coarse candidate: the face found there whose centre is nearest the
// candidate's, or none when the fine pass does not confirm it.
std::optional<cv::Rect> PortraitChecker::Detectors::refine(const cv::Mat& searched, const cv::Rect& coarse)
{
    const int marginX = static_cast<int>(coarse.width * kFineMargin);
    const int marginY = static_cast<int>(coarse.height * kFineMargin);
    const cv::Rect around = cv::Rect(coarse.x - marginX, coarse.y - marginY, coarse.width + 2 * marginX,
                                     coarse.height + 2 * marginY)
        & cv::Rect(0, 0, searched.cols, searched.rows);
    const int smallest = std::max(kFaceCascadeWindow, static_cast<int>(coarse.width / kFineSizeRange));
    const int largest = std::max(smallest, static_cast<int>(coarse.width * kFineSizeRange));
    std::vector<cv::Rect> found;
    faces.detectMultiScale(searched(around), found, kFineStep, kFineNeighbours, 0, cv::Size(smallest, smallest),
                           cv::Size(largest, largest));
    const cv::Point2d centre(coarse.x + coarse.width / 2.0 - around.x, coarse.y + coarse.height / 2.0 - around.y);
    std::optional<cv::Rect> nearest;
    double nearestDistance = 0.0;
    for (const cv::Rect& box : found) {
        const double distance = cv::norm(cv::Point2d(box.x + box.width / 2.0, box.y + box.height / 2.0) - centre);
        if (!nearest || distance < nearestDistance) {
            nearest = box + around.tl();
            nearestDistance = distance;
        }
    }
    return nearest;
}

// The eye line: the mean row of the largest eye found left of the face's middle and the
// largest right of it (one eye is enough).
std::optional<double> PortraitChecker::Detectors::findEyeRow(const cv::Mat& grey, const cv::Rect& face)
{
    const cv::Rect upper(face.x, face.y, face.width, std::max(1, static_cast<int>(face.height * kEyeSearchDepth)));
    const double scale = static_cast<double>(kEyeSearchWidth) / face.width;
    cv::Mat region;
    cv::resize(grey(upper), region, cv::Size(), scale, scale, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
    std::vector<cv::Rect> found;
    eyes.detectMultiScale(region, found, 1.1, 3, 0, cv::Size(kEyeCascadeWindow, kEyeCascadeWindow),
                          cv::Size(region.cols / 2, region.cols / 2));
    const cv::Rect* left = nullptr;
    const cv::Rect* right = nullptr;
    for (const cv::Rect& eye : found) {
        const cv::Rect*& side = eye.x + eye.width / 2 < region.cols / 2 ? left : right;
        if (side == nullptr || eye.area() > side->area()) {
            side = &eye;
        }
    }
    double rows = 0.0;
    int count = 0;
    for (const cv::Rect* eye : {left, right}) {
        if (eye != nullptr) {
            rows += eye->y + eye->height / 2.0;
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return face.y + rows / count / scale;
}

PortraitReport PortraitChecker::check(const PictureView& picture, const PortraitLimits& limits, bool checkFace) const
{
    validate(picture);
    PortraitReport report;
    if (checkFace) {
        const cv::Mat grey = greyOf(picture);
        const auto searchStarted = std::chrono::steady_clock::now();
        const std::vector<Candidate> faces = m_detectors->findFaces(grey, limits);
        report.faceSearchMilliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - searchStarted).count();
        report.findings.push_back(detail::faceCountFinding(static_cast<int>(faces.size())));
        if (faces.size() == 1) {
            const Candidate& face = faces.front();
            const cv::Rect& box = face.box;
            report.face = Rectangle{box.x, box.y, box.width, box.height};
            const double height = 100.0 * box.height / picture.height;
            const double offset = 100.0 * std::abs(box.x + box.width / 2.0 - picture.width / 2.0) / picture.width;
            report.findings.push_back(detail::faceHeightFinding(height, limits));
            report.findings.push_back(detail::faceCentreFinding(offset, limits));
            std::optional<double> eyeLine;
            if (face.eyeRow) {
                report.eyeLine = static_cast<int>(std::lround(*face.eyeRow));
                eyeLine = 100.0 * *face.eyeRow / picture.height;
            }
            report.findings.push_back(detail::eyeLineFinding(eyeLine, limits));

            const cv::Mat faceGrey = grey(toRect(*report.face));
            cv::Mat working;
            const double scale = static_cast<double>(kSharpnessWorkingHeight) / faceGrey.rows;
            cv::resize(faceGrey, working, cv::Size(), scale, scale, scale < 1.0 ? cv::INTER_AREA : cv::INTER_LINEAR);
            cv::Mat laplacian;
            cv::Laplacian(working, laplacian, CV_16S);
            cv::Scalar mean;
            cv::Scalar deviation;
            cv::meanStdDev(laplacian, mean, deviation);
            report.findings.push_back(detail::sharpnessFinding(deviation[0] * deviation[0], limits));

            const double pixels = static_cast<double>(faceGrey.total());
            const int highlights = cv::countNonZero(faceGrey >= kHighlightLevel);
            const int shadows = cv::countNonZero(faceGrey <= kShadowLevel);
            report.findings.push_back(detail::brightnessFinding(cv::mean(faceGrey)[0], limits));
            report.findings.push_back(detail::highlightsFinding(100.0 * highlights / pixels, limits));
            report.findings.push_back(detail::shadowsFinding(100.0 * shadows / pixels, limits));
        }
    }
    report.findings.push_back(detail::pictureSizeFinding(picture.width, picture.height, limits));
    if (limits.minBytesPerPixel > 0.0 && picture.savedBytes > 0) {
        const double bytesPerPixel = static_cast<double>(picture.savedBytes) / (static_cast<double>(picture.width) * picture.height);
        report.findings.push_back(detail::compressionFinding(bytesPerPixel, limits));
    }
    return report;
}

} // namespace portrait
