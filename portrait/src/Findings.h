// The findings of the portrait checks: each measured value held against its limits, with the
// text the operator reads.
//
// Threading: pure functions, safe from any thread.
#pragma once

#include "portrait/PortraitCheck.h"

#include <optional>

namespace portrait::detail {

Finding faceCountFinding(int count);
Finding faceHeightFinding(double percentOfHeight, const PortraitLimits& limits);
Finding faceCentreFinding(double percentOfWidth, const PortraitLimits& limits);
// An empty eye line reads "eyes not found".
Finding eyeLineFinding(std::optional<double> percentFromTop, const PortraitLimits& limits);
Finding sharpnessFinding(double sharpness, const PortraitLimits& limits);
Finding brightnessFinding(double brightness, const PortraitLimits& limits);
Finding highlightsFinding(double percentOfFace, const PortraitLimits& limits);
Finding shadowsFinding(double percentOfFace, const PortraitLimits& limits);
Finding pictureSizeFinding(int width, int height, const PortraitLimits& limits);
Finding compressionFinding(double bytesPerPixel, const PortraitLimits& limits);

} // namespace portrait::detail
