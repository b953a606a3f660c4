// The synthetic scene the simulated sensor sees: a room with a person facing the camera and a
// ball moving across the wall, plus a band with a counter along the bottom of each picture.
//
// Threading: pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace camsdk::detail {

struct SceneView {
    // Region of the sensor shown, as fractions of its width and height.
    double left = 0.0;
    double top = 0.0;
    double width = 1.0;
    double height = 1.0;
    double sensorAspect = 1.5;   // sensor width / height
    uint32_t time = 0;           // moves the ball
    uint32_t counter = 0;        // number shown in the band
};

// Largest picture rendered, in pixels: far above any sensor simulated, far below sizes whose
// bytes would not fit in memory.
inline constexpr int64_t kLargestScenePixels = 200'000'000;

// RGB bytes, width * height * 3; empty for a size that is not positive or exceeds
// kLargestScenePixels.
std::vector<uint8_t> renderScene(int width, int height, const SceneView& view);

} // namespace camsdk::detail
