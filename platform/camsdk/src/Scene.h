// The synthetic scene the simulated sensor sees: a room with a person facing the camera and a
// ball moving across the wall, plus a band with a counter along the bottom of each picture.
// Where the person stands, how large the face is, whether there is anyone at all, how sharp
// and how bright the picture is come from the simulator's SceneConfig, so that a picture's
// truth is known to the tests of checks that measure it.
//
// Threading: pure functions, safe from any thread.
#pragma once

#include "camsdk/Simulator.h"

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
    sim::SceneConfig scene;      // the person, blur and exposure
};

// Largest picture rendered, in pixels: far above any sensor simulated, far below sizes whose
// bytes would not fit in memory.
inline constexpr int64_t kLargestScenePixels = 200'000'000;

// RGB bytes, width * height * 3; empty for a size that is not positive or exceeds
// kLargestScenePixels.
//
// The face (chin to hairline) is an ellipse scene.faceHeight of the sensor's height tall,
// centred at (scene.faceCentreX of its width, scene.faceCentreY of its height), 0.705 times as
// wide as tall; hair, eyes, brows, nose, mouth, neck and shoulders keep their places on it
// (the eyes' centres 0.04 / 0.34 of the face height above its centre, 0.09 / 0.34 apart).
// scene.exposure multiplies every colour of the scene (clamped to 0-255). scene.blur is the
// reach of the blur in shares of the sensor's height (0.004 on a 2000-pixel-high picture of
// the whole sensor: 8 pixels each way; a magnified view is blurred as much as the sensor, so
// more pixels): three box passes each way, together close to a Gaussian whose sigma is a
// third (large reaches) to 0.4 (small ones) of the reach, in time proportional to the pixels
// whatever the reach. Neither touches the counter band.
std::vector<uint8_t> renderScene(int width, int height, const SceneView& view);

// Largest reach of the blur in pixels (larger ones are cut to it): far beyond any picture.
inline constexpr int kLargestBlurReach = 60'000;

// Blurs rows [0, rows) of an RGB picture `width` pixels wide in place with three box passes
// each way whose half-widths add up to `reach` pixels (edges repeat). Nothing for reach <= 0.
void blurRgb(std::vector<uint8_t>& rgb, int width, int rows, int reach);

} // namespace camsdk::detail
