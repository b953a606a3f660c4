// Pictures for the portrait tests: a shot of the simulated camera's scene taken through the
// camera SDK and processed as the capture dialog does (decoded, scaled to its maximum height).
//
// Threading: one test thread.
#pragma once

#include "camsdk/Simulator.h"
#include "portrait/MatView.h"
#include "portrait/PortraitCheck.h"

#include <opencv2/core.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace portrait::test {

// The processed height of every test picture, as a station's dialog scales it.
inline constexpr int kProcessedHeight = 800;

struct Shot {
    std::vector<uint8_t> jpeg;   // as the camera sent it
    cv::Mat picture;             // processed: BGR, kProcessedHeight rows
};

// Takes one picture of `scene`; an empty picture (with a test failure) when the camera fails.
Shot takeShot(const camsdk::sim::SceneConfig& scene);

// A file removed with the object, in the system's temporary folder.
class TemporaryFile final {
public:
    explicit TemporaryFile(const std::string& suffix);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace portrait::test
