// Texts of the portrait findings. Values are shown rounded as the operator reads them; a value
// that rounds onto the limit it breaks gets one decimal, so that "50% ... 50-80% wanted" never
// reads as a failure of a value inside the range.
//
// Threading: pure functions.
#include "Findings.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace portrait::detail {
namespace {

constexpr double kNoUpperLimit = std::numeric_limits<double>::infinity();

std::string format(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A limit as the station wrote it: whole numbers without decimals, others with up to two.
std::string formatLimit(double limit)
{
    if (std::abs(limit - std::round(limit)) < 1e-9) {
        return format(limit, 0);
    }
    std::string text = format(limit, 2);
    while (text.back() == '0') {
        text.pop_back();
    }
    return text;
}

// A measured value, whole unless rounding would land it on `limit` while it is not there.
std::string formatValue(double value, double limit)
{
    if (std::round(value) == std::round(limit) && value != limit) {
        return format(value, 1);
    }
    return format(value, 0);
}

std::string range(double low, double high)
{
    return formatLimit(low) + "-" + formatLimit(high);
}

Finding make(Check check, bool passed, double value, double low, double high, std::string text)
{
    return Finding{check, passed, value, low, high, std::move(text)};
}

// The limit a failing value is closest to, for formatValue.
double brokenLimit(double value, double low, double high)
{
    return value < low ? low : high;
}

} // namespace

Finding faceCountFinding(int count)
{
    if (count == 1) {
        return make(Check::FaceCount, true, 1, 1, 1, "1 face found");
    }
    if (count == 0) {
        return make(Check::FaceCount, false, 0, 1, 1, "no face found");
    }
    return make(Check::FaceCount, false, count, 1, 1, std::to_string(count) + " faces found (exactly one wanted)");
}

Finding faceHeightFinding(double percent, const PortraitLimits& limits)
{
    const double low = limits.faceHeightMin;
    const double high = limits.faceHeightMax;
    const std::string limitsText = range(low, high) + "%";
    if (percent >= low && percent <= high) {
        return make(Check::FaceHeight, true, percent, low, high,
                    "face height " + format(percent, 0) + "% of height (" + limitsText + ")");
    }
    const std::string shown = formatValue(percent, brokenLimit(percent, low, high));
    return make(Check::FaceHeight, false, percent, low, high,
                std::string(percent < low ? "face too small (" : "face too large (") + shown + "% of height, "
                    + limitsText + " wanted)");
}

Finding faceCentreFinding(double percent, const PortraitLimits& limits)
{
    const double high = limits.centreOffsetMax;
    if (percent <= high) {
        return make(Check::FaceCentre, true, percent, 0, high,
                    "face centre " + format(percent, 0) + "% of width off the middle (at most " + formatLimit(high) + "%)");
    }
    return make(Check::FaceCentre, false, percent, 0, high,
                "face off centre (" + formatValue(percent, high) + "% of width, at most " + formatLimit(high) + "% wanted)");
}

Finding eyeLineFinding(std::optional<double> percent, const PortraitLimits& limits)
{
    const double low = limits.eyeLineMin;
    const double high = limits.eyeLineMax;
    if (!percent) {
        return make(Check::EyeLine, false, 0, low, high, "eyes not found");
    }
    const std::string limitsText = range(low, high) + "%";
    const double value = *percent;
    if (value >= low && value <= high) {
        return make(Check::EyeLine, true, value, low, high,
                    "eyes " + format(value, 0) + "% from top (" + limitsText + ")");
    }
    const std::string shown = formatValue(value, brokenLimit(value, low, high));
    return make(Check::EyeLine, false, value, low, high,
                std::string(value < low ? "eyes too high (" : "eyes too low (") + shown + "% from top, " + limitsText
                    + " wanted)");
}

Finding sharpnessFinding(double sharpness, const PortraitLimits& limits)
{
    const double low = limits.sharpnessMin;
    if (sharpness >= low) {
        return make(Check::Sharpness, true, sharpness, low, kNoUpperLimit,
                    "face sharpness " + format(sharpness, 0) + " (at least " + formatLimit(low) + ")");
    }
    return make(Check::Sharpness, false, sharpness, low, kNoUpperLimit,
                "face blurred (sharpness " + formatValue(sharpness, low) + ", at least " + formatLimit(low) + " wanted)");
}

Finding brightnessFinding(double brightness, const PortraitLimits& limits)
{
    const double low = limits.brightnessMin;
    const double high = limits.brightnessMax;
    if (brightness >= low && brightness <= high) {
        return make(Check::Brightness, true, brightness, low, high,
                    "face brightness " + format(brightness, 0) + " (" + range(low, high) + ")");
    }
    const std::string shown = formatValue(brightness, brokenLimit(brightness, low, high));
    return make(Check::Brightness, false, brightness, low, high,
                std::string(brightness < low ? "face too dark (brightness " : "face too bright (brightness ") + shown
                    + ", " + range(low, high) + " wanted)");
}

namespace {

Finding clippedFinding(Check check, const char* what, double percent, double high)
{
    if (percent <= high) {
        return make(check, true, percent, 0, high,
                    std::string(what) + " clipped " + format(percent, 0) + "% of face (at most " + formatLimit(high) + "%)");
    }
    return make(check, false, percent, 0, high,
                std::string(what) + " clipped (" + formatValue(percent, high) + "% of face, at most " + formatLimit(high)
                    + "% wanted)");
}

} // namespace

Finding highlightsFinding(double percent, const PortraitLimits& limits)
{
    return clippedFinding(Check::Highlights, "highlights", percent, limits.highlightsMax);
}

Finding shadowsFinding(double percent, const PortraitLimits& limits)
{
    return clippedFinding(Check::Shadows, "shadows", percent, limits.shadowsMax);
}

Finding pictureSizeFinding(int width, int height, const PortraitLimits& limits)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string wanted = std::to_string(limits.minWidth) + "x" + std::to_string(limits.minHeight);
    const bool widthShort = width < limits.minWidth;
    const bool passed = !widthShort && height >= limits.minHeight;
    // The dimension that falls short (the width when both do, or when neither does).
    const double value = widthShort || passed ? width : height;
    const double low = widthShort || passed ? limits.minWidth : limits.minHeight;
    if (passed) {
        return make(Check::PictureSize, true, value, low, kNoUpperLimit, "picture size " + size + " (at least " + wanted + ")");
    }
    return make(Check::PictureSize, false, value, low, kNoUpperLimit,
                "picture too small (" + size + ", at least " + wanted + " wanted)");
}

Finding compressionFinding(double bytesPerPixel, const PortraitLimits& limits)
{
    const double low = limits.minBytesPerPixel;
    if (bytesPerPixel >= low) {
        return make(Check::Compression, true, bytesPerPixel, low, kNoUpperLimit,
                    "compression " + format(bytesPerPixel, 2) + " bytes per pixel (at least " + format(low, 2) + ")");
    }
    // Two decimals, or three where two would round onto the limit.
    const int decimals = format(bytesPerPixel, 2) == format(low, 2) ? 3 : 2;
    return make(Check::Compression, false, bytesPerPixel, low, kNoUpperLimit,
                "picture too compressed (" + format(bytesPerPixel, decimals) + " bytes per pixel, at least "
                    + format(low, 2) + " wanted)");
}

} // namespace portrait::detail
