// Takes simulated shots through the camera SDK and processes them for the portrait tests.
//
// Threading: one test thread.
#include "SimulatedShot.h"

#include "camsdk_test/SimulatedShot.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <unistd.h>

namespace portrait::test {

Shot takeShot(const camsdk::sim::SceneConfig& scene)
{
    Shot shot;
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.scene = scene;
    try {
        shot.jpeg = camsdk_test::shootThroughSdk(config);
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what();
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
