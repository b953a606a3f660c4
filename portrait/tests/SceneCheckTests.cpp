// The portrait checks on simulated shots whose truth is known, on the sample photograph and on
// made-up pictures: each check passes a good picture and fails the fault it is there for.
//
// Threading: single test thread.
#include "Findings.h"
#include "SimulatedShot.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <stdexcept>

namespace portrait::test {
namespace {

using camsdk::sim::SceneConfig;

const Finding* findingOf(const PortraitReport& report, Check check)
{
    const auto found = std::find_if(report.findings.begin(), report.findings.end(),
                                    [&](const Finding& finding) { return finding.check == check; });
    return found == report.findings.end() ? nullptr : &*found;
}

std::vector<Check> checksOf(const PortraitReport& report)
{
    std::vector<Check> checks;
    for (const Finding& finding : report.findings) {
        checks.push_back(finding.check);
    }
    return checks;
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

// A face as a station wants it: large, centred, eyes a little above the middle, sharp, lit.
SceneConfig wellFramed()
{
    SceneConfig scene;
    scene.faceHeight = 0.62;
    scene.faceCentreY = 0.5;
    return scene;
}

class SceneChecks : public ::testing::Test {
protected:
    PortraitChecker m_checker;
    PortraitLimits m_limits;
};

// Guards against false alarms on a good picture, a face box or eye line placed at the wrong
// scale, and pixel layouts (grey, BGRA, padded rows) read wrongly.
TEST_F(SceneChecks, WellFramedSharpFacePassesEveryCheckInEveryPixelLayout)
{
    const Shot shot = takeShot(wellFramed());
    ASSERT_FALSE(shot.picture.empty());
    const PortraitReport report = m_checker.check(viewOfMat(shot.picture), m_limits, true);
    EXPECT_TRUE(report.passed()) << report.failures();
    EXPECT_EQ(checksOf(report), (std::vector<Check>{Check::FaceCount, Check::FaceHeight, Check::FaceCentre, Check::EyeLine,
                                                    Check::Sharpness, Check::Brightness, Check::Highlights, Check::Shadows,
                                                    Check::PictureSize}));
    EXPECT_TRUE(report.failures().empty());
    ASSERT_TRUE(report.face.has_value());
    EXPECT_NEAR(report.face->x + report.face->width / 2.0, shot.picture.cols / 2.0, 0.03 * shot.picture.cols);
    ASSERT_TRUE(report.eyeLine.has_value());
    EXPECT_GT(*report.eyeLine, report.face->y);
    EXPECT_LT(*report.eyeLine, report.face->y + report.face->height / 2);
    EXPECT_TRUE(startsWith(findingOf(report, Check::FaceHeight)->text, "face height "));

    cv::Mat grey;
    cv::Mat bgra;
    cv::cvtColor(shot.picture, grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(shot.picture, bgra, cv::COLOR_BGR2BGRA);
    cv::Mat padded(shot.picture.rows, shot.picture.cols + 37, CV_8UC3, cv::Scalar(0, 0, 255));
    shot.picture.copyTo(padded(cv::Rect(0, 0, shot.picture.cols, shot.picture.rows)));
    for (const cv::Mat& layout : {grey, bgra, cv::Mat(padded(cv::Rect(0, 0, shot.picture.cols, shot.picture.rows)))}) {
        const PortraitReport same = m_checker.check(viewOfMat(layout), m_limits, true);
        ASSERT_EQ(same.findings.size(), report.findings.size()) << layout.channels() << " channels";
        for (size_t index = 0; index < same.findings.size(); ++index) {
            EXPECT_NEAR(same.findings[index].value, report.findings[index].value, 0.02 * report.findings[index].value + 1.0)
                << report.findings[index].text << " / " << same.findings[index].text;
        }
    }
}

// Guards against a small face not being found at all (rather than reported too small), and
// against the centre and eye-line measures missing a face placed low and to the side.
TEST_F(SceneChecks, SmallFaceLowAndAsideFailsHeightCentreAndEyeLine)
{
    SceneConfig scene;
    scene.faceHeight = 0.3;
    scene.faceCentreX = 0.62;
    scene.faceCentreY = 0.62;
    const Shot shot = takeShot(scene);
    ASSERT_FALSE(shot.picture.empty());
    const PortraitReport report = m_checker.check(viewOfMat(shot.picture), m_limits, true);
    ASSERT_TRUE(findingOf(report, Check::FaceCount)->passed) << findingOf(report, Check::FaceCount)->text;
    EXPECT_TRUE(startsWith(findingOf(report, Check::FaceHeight)->text, "face too small (")) << report.failures();
    const Finding* centre = findingOf(report, Check::FaceCentre);
    EXPECT_FALSE(centre->passed);
    EXPECT_NEAR(centre->value, 12.0, 2.5) << centre->text;
    EXPECT_TRUE(startsWith(centre->text, "face off centre (")) << centre->text;
    EXPECT_TRUE(startsWith(findingOf(report, Check::EyeLine)->text, "eyes too low (")) << report.failures();
    EXPECT_TRUE(findingOf(report, Check::Sharpness)->passed) << report.failures();
    EXPECT_TRUE(findingOf(report, Check::Brightness)->passed) << report.failures();
}

// Guards against an oversized face or eyes near the top passing, and two people in the
// picture being taken for one.
TEST_F(SceneChecks, LargeFaceHighEyesAndTwoPeopleFail)
{
    SceneConfig scene;
    scene.faceHeight = 1.1;
    scene.faceCentreY = 0.55;
    const Shot large = takeShot(scene);
    ASSERT_FALSE(large.picture.empty());
    const PortraitReport report = m_checker.check(viewOfMat(large.picture), m_limits, true);
    ASSERT_TRUE(findingOf(report, Check::FaceCount)->passed) << findingOf(report, Check::FaceCount)->text;
    EXPECT_TRUE(startsWith(findingOf(report, Check::FaceHeight)->text, "face too large (")) << report.failures();

    SceneConfig high;
    high.faceHeight = 0.45;
    high.faceCentreY = 0.33;
    const Shot person = takeShot(high);
    ASSERT_FALSE(person.picture.empty());
    const PortraitReport alone = m_checker.check(viewOfMat(person.picture), m_limits, true);
    ASSERT_TRUE(findingOf(alone, Check::FaceCount)->passed) << findingOf(alone, Check::FaceCount)->text;
    EXPECT_TRUE(startsWith(findingOf(alone, Check::EyeLine)->text, "eyes too high (")) << alone.failures();

    cv::Mat twoPeople;
    cv::hconcat(person.picture, person.picture, twoPeople);
    const PortraitReport pair = m_checker.check(viewOfMat(twoPeople), m_limits, true);
    EXPECT_EQ(pair.failures(), "2 faces found (exactly one wanted)");
    EXPECT_FALSE(pair.face.has_value());
    EXPECT_EQ(checksOf(pair), (std::vector<Check>{Check::FaceCount, Check::PictureSize}));
}

// Guards against a blurred face passing the calibrated default (a sharp one passes in the
// well-framed test).
TEST_F(SceneChecks, BlurredFaceFailsTheDefaultSharpness)
{
    SceneConfig scene = wellFramed();
    scene.blur = 0.008;
    const Shot shot = takeShot(scene);
    ASSERT_FALSE(shot.picture.empty());
    const PortraitReport report = m_checker.check(viewOfMat(shot.picture), m_limits, true);
    ASSERT_TRUE(findingOf(report, Check::FaceCount)->passed) << findingOf(report, Check::FaceCount)->text;
    const Finding* sharpness = findingOf(report, Check::Sharpness);
    EXPECT_FALSE(sharpness->passed);
    EXPECT_TRUE(startsWith(sharpness->text, "face blurred (sharpness ")) << sharpness->text;
}

// Guards against under- and over-exposed faces passing, and clipped highlights going unseen.
TEST_F(SceneChecks, DarkAndBrightFacesFailExposure)
{
    SceneConfig dark = wellFramed();
    dark.exposure = 0.35;
    const Shot darkShot = takeShot(dark);
    ASSERT_FALSE(darkShot.picture.empty());
    const PortraitReport darkReport = m_checker.check(viewOfMat(darkShot.picture), m_limits, true);
    ASSERT_TRUE(findingOf(darkReport, Check::FaceCount)->passed) << findingOf(darkReport, Check::FaceCount)->text;
    EXPECT_TRUE(startsWith(findingOf(darkReport, Check::Brightness)->text, "face too dark (brightness "))
        << darkReport.failures();

    SceneConfig bright = wellFramed();
    bright.exposure = 1.6;
    const Shot brightShot = takeShot(bright);
    ASSERT_FALSE(brightShot.picture.empty());
    const PortraitReport brightReport = m_checker.check(viewOfMat(brightShot.picture), m_limits, true);
    ASSERT_TRUE(findingOf(brightReport, Check::FaceCount)->passed) << findingOf(brightReport, Check::FaceCount)->text;
    EXPECT_TRUE(startsWith(findingOf(brightReport, Check::Brightness)->text, "face too bright (brightness "))
        << brightReport.failures();
    EXPECT_TRUE(startsWith(findingOf(brightReport, Check::Highlights)->text, "highlights clipped ("))
        << brightReport.failures();
}

// Guards against face findings made up for a picture without a face, and face checks run on
// a view that has no frontal face.
TEST_F(SceneChecks, WithoutFaceOnlyTheCountSizeAndCompressionAreReported)
{
    SceneConfig scene;
    scene.facePresent = false;
    const Shot shot = takeShot(scene);
    ASSERT_FALSE(shot.picture.empty());
    m_limits.minBytesPerPixel = 0.05;
    const PortraitReport report = m_checker.check(viewOfMat(shot.picture, shot.jpeg.size()), m_limits, true);
    EXPECT_EQ(checksOf(report), (std::vector<Check>{Check::FaceCount, Check::PictureSize, Check::Compression}));
    EXPECT_EQ(report.failures(), "no face found");
    EXPECT_FALSE(report.face.has_value());

    const PortraitReport sideView = m_checker.check(viewOfMat(shot.picture, shot.jpeg.size()), m_limits, false);
    EXPECT_EQ(checksOf(sideView), (std::vector<Check>{Check::PictureSize, Check::Compression}));
    EXPECT_TRUE(sideView.passed()) << sideView.failures();
}

// Guards against the photograph of a real person (small, to one side) being missed or judged
// fit for a record.
TEST(SamplePhotograph, SmallFaceOffCentreIsFoundAndReported)
{
    const cv::Mat photograph = cv::imread(VESK_SAMPLE_PHOTOGRAPH, cv::IMREAD_COLOR);
    ASSERT_FALSE(photograph.empty()) << VESK_SAMPLE_PHOTOGRAPH;
    PortraitChecker checker;
    const PortraitReport report = checker.check(viewOfMat(photograph), PortraitLimits{}, true);
    EXPECT_EQ(findingOf(report, Check::FaceCount)->text, "1 face found");
    ASSERT_TRUE(report.face.has_value());
    // The face is about 37 pixels high, above and left of the middle.
    EXPECT_NEAR(report.face->height, 37, 6);
    EXPECT_LT(report.face->x + report.face->width / 2, photograph.cols / 2);
    EXPECT_TRUE(startsWith(findingOf(report, Check::FaceHeight)->text, "face too small (")) << report.failures();
    EXPECT_TRUE(startsWith(findingOf(report, Check::FaceCentre)->text, "face off centre (")) << report.failures();
    EXPECT_EQ(findingOf(report, Check::PictureSize)->text, "picture too small (548x342, at least 480x600 wanted)");
}

// Guards against the size check passing a short side, compression being judged without a
// saved size or limit, and the unread dimensions of the picture.
TEST(PictureChecks, SizeAndCompressionHoldTheirLimits)
{
    PortraitChecker checker;
    PortraitLimits limits;
    limits.minBytesPerPixel = 0.1;
    const cv::Mat small(500, 400, CV_8UC3, cv::Scalar(128, 128, 128));
    const PortraitReport tooSmall = checker.check(viewOfMat(small, 8000), limits, false);
    EXPECT_EQ(tooSmall.failures(),
              "picture too small (400x500, at least 480x600 wanted), picture too compressed (0.04 bytes per pixel, at "
              "least 0.10 wanted)");
    const cv::Mat wideButShort(599, 2000, CV_8UC3, cv::Scalar(128, 128, 128));
    EXPECT_FALSE(checker.check(viewOfMat(wideButShort), limits, false).passed());

    const cv::Mat enough(600, 480, CV_8UC3, cv::Scalar(128, 128, 128));
    const PortraitReport fine = checker.check(viewOfMat(enough, 600 * 480 / 10), limits, false);
    EXPECT_TRUE(fine.passed()) << fine.failures();
    EXPECT_EQ(fine.findings.back().text, "compression 0.10 bytes per pixel (at least 0.10)");
    EXPECT_EQ(checksOf(checker.check(viewOfMat(enough, 0), limits, false)), std::vector<Check>{Check::PictureSize});
    limits.minBytesPerPixel = 0.0;
    EXPECT_EQ(checksOf(checker.check(viewOfMat(enough, 10), limits, false)), std::vector<Check>{Check::PictureSize});
}

// Guards against reading past a picture the caller described wrongly, and a checker that
// starts without its cascades.
TEST(PictureChecks, RejectsUnusablePicturesAndMissingCascades)
{
    PortraitChecker checker;
    const cv::Mat picture(600, 480, CV_8UC3, cv::Scalar(128, 128, 128));
    PictureView view = viewOfMat(picture);
    view.stride = 480;
    EXPECT_THROW(checker.check(view, PortraitLimits{}, true), std::invalid_argument);
    view = viewOfMat(picture);
    view.channels = 2;
    EXPECT_THROW(checker.check(view, PortraitLimits{}, true), std::invalid_argument);
    view = viewOfMat(picture);
    view.pixels = nullptr;
    EXPECT_THROW(checker.check(view, PortraitLimits{}, true), std::invalid_argument);
    try {
        PortraitChecker withoutCascades("/nonexistent-cascades");
        ADD_FAILURE() << "a checker started without cascades";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("/nonexistent-cascades/haarcascade_frontalface_default.xml"),
                  std::string::npos)
            << error.what();
    }
}

// Guards against texts that do not read as the operator is told, and a rounded value that
// lands on the limit it breaks ("50% of height, 50-80% wanted").
TEST(FindingTexts, ReadAsTheOperatorIsTold)
{
    const PortraitLimits limits;
    EXPECT_EQ(detail::faceHeightFinding(48.2, limits).text, "face too small (48% of height, 50-80% wanted)");
    EXPECT_EQ(detail::faceHeightFinding(85, limits).text, "face too large (85% of height, 50-80% wanted)");
    EXPECT_EQ(detail::faceHeightFinding(62.4, limits).text, "face height 62% of height (50-80%)");
    EXPECT_EQ(detail::faceHeightFinding(49.7, limits).text, "face too small (49.7% of height, 50-80% wanted)");
    EXPECT_TRUE(detail::faceHeightFinding(80, limits).passed);
    EXPECT_EQ(detail::faceCentreFinding(9, limits).text, "face off centre (9% of width, at most 5% wanted)");
    EXPECT_EQ(detail::eyeLineFinding(25, limits).text, "eyes too high (25% from top, 30-50% wanted)");
    EXPECT_EQ(detail::eyeLineFinding(55, limits).text, "eyes too low (55% from top, 30-50% wanted)");
    EXPECT_EQ(detail::eyeLineFinding(std::nullopt, limits).text, "eyes not found");
    EXPECT_FALSE(detail::eyeLineFinding(std::nullopt, limits).passed);
    PortraitLimits calibrated = limits;
    calibrated.sharpnessMin = 40;
    calibrated.faceHeightMin = 52.5;
    EXPECT_EQ(detail::sharpnessFinding(12.3, calibrated).text, "face blurred (sharpness 12, at least 40 wanted)");
    EXPECT_EQ(detail::faceHeightFinding(50, calibrated).text, "face too small (50% of height, 52.5-80% wanted)");
    EXPECT_EQ(detail::brightnessFinding(60, limits).text, "face too dark (brightness 60, 80-200 wanted)");
    EXPECT_EQ(detail::brightnessFinding(215, limits).text, "face too bright (brightness 215, 80-200 wanted)");
    EXPECT_EQ(detail::highlightsFinding(6, limits).text, "highlights clipped (6% of face, at most 2% wanted)");
    EXPECT_EQ(detail::shadowsFinding(3, limits).text, "shadows clipped (3% of face, at most 2% wanted)");
    EXPECT_EQ(detail::faceCountFinding(0).text, "no face found");
    EXPECT_EQ(detail::faceCountFinding(3).text, "3 faces found (exactly one wanted)");
}

} // namespace
} // namespace portrait::test
