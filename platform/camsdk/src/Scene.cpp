// Renders the synthetic scene pixel by pixel from shapes given in sensor coordinates, so a
// magnified view shows the same scene in finer detail.
// Threading: pure functions.
#include "Scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace camsdk::detail {
namespace {

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Squared normalized distance to an ellipse centre: below 1 inside.
double ellipse(double x, double y, double cx, double cy, double rx, double ry)
{
    const double dx = (x - cx) / rx;
    const double dy = (y - cy) / ry;
    return dx * dx + dy * dy;
}

// x runs over 0..aspect, y over 0..1, so circles stay round.
Colour sceneColour(double x, double y, double aspect, double ballX)
{
    const double mid = aspect / 2.0;
    Colour colour = y < 0.8 ? mix({70, 110, 160}, {150, 170, 190}, y / 0.8)
                            : mix({120, 100, 80}, {90, 70, 55}, (y - 0.8) / 0.2);
    // Picture frame on the wall.
    if (x > mid - 0.62 && x < mid - 0.38 && y > 0.18 && y < 0.42) {
        const bool inner = x > mid - 0.6 && x < mid - 0.4 && y > 0.2 && y < 0.4;
        colour = inner ? mix({90, 140, 90}, {200, 220, 120}, (y - 0.2) / 0.2) : Colour{110, 80, 40};
    }
    // The ball.
    if (ellipse(x, y, ballX, 0.14, 0.05, 0.05) < 1.0) {
        const double shade = 1.0 - 0.5 * ellipse(x, y, ballX - 0.015, 0.125, 0.05, 0.05);
        colour = {235 * shade, 150 * shade, 30 * shade};
    }
    // Shoulders and neck.
    if (ellipse(x, y, mid, 1.02, 0.34, 0.3) < 1.0) {
        colour = {40, 60, 120};
    } else if (std::abs(x - mid) < 0.045 && y > 0.55 && y < 0.76) {
        colour = {200, 155, 125};
    }
    // Hair, face, eyes, nose, mouth.
    if (ellipse(x, y, mid, 0.4, 0.15, 0.2) < 1.0) {
        colour = {55, 38, 25};
    }
    const double face = ellipse(x, y, mid, 0.45, 0.12, 0.17);
    if (face < 1.0) {
        colour = mix({232, 190, 160}, {190, 140, 110}, face * face);
        for (const double side : {-1.0, 1.0}) {
            const double eyeX = mid + side * 0.045;
            if (ellipse(x, y, eyeX, 0.41, 0.022, 0.011) < 1.0) {
                colour = ellipse(x, y, eyeX, 0.41, 0.008, 0.008) < 1.0 ? Colour{40, 30, 25} : Colour{245, 245, 240};
            }
            if (ellipse(x, y, eyeX, 0.385, 0.028, 0.005) < 1.0) {
                colour = {70, 50, 35};
            }
        }
        if (ellipse(x, y, mid, 0.47, 0.012, 0.03) < 1.0) {
            colour = mix(colour, {150, 100, 80}, 0.35);
        }
        if (ellipse(x, y, mid, 0.53, 0.04, 0.012) < 1.0) {
            colour = {175, 70, 70};
        }
    }
    return colour;
}

// Digits 0-9 as 3 x 5 bitmaps, one row per 3 bits, top row first.
constexpr std::array<uint16_t, 10> kDigits = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9,
                                              0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

bool digitPixel(int digit, int column, int row)
{
    const int bit = 14 - (row * 3 + column);
    return ((kDigits[static_cast<size_t>(digit)] >> bit) & 1) != 0;
}

void drawBand(std::vector<uint8_t>& rgb, int width, int height, uint32_t counter)
{
    const int bandHeight = std::min(height, std::max(8, height / 24));
    const int scale = std::max(1, bandHeight / 7);
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%06u", counter);
    const int textLeft = scale * 2;
    const int textTop = height - bandHeight + (bandHeight - 5 * scale) / 2;
    for (int y = height - bandHeight; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t value = 30;
            const int column = (x - textLeft) / scale;
            const int row = (y - textTop) / scale;
            if (x >= textLeft && y >= textTop && row < 5 && column < length * 4 && column % 4 < 3) {
                const int digit = text[column / 4] - '0';
                if (digitPixel(digit, column % 4, row)) {
                    value = 235;
                }
            }
            uint8_t* pixel = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
            pixel[0] = pixel[1] = pixel[2] = value;
        }
    }
}

} // namespace

std::vector<uint8_t> renderScene(int width, int height, const SceneView& view)
{
    if (width <= 0 || height <= 0 || int64_t{width} * height > kLargestScenePixels) {
        return {};
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    // A sensor without area shows the scene at the usual 3:2.
    const double aspect = std::isfinite(view.sensorAspect) && view.sensorAspect > 0.0 ? view.sensorAspect : 1.5;
    const double phase = static_cast<double>(view.time) * 0.08;
    const double ballX = aspect * (0.5 + 0.4 * std::sin(phase));
    size_t offset = 0;
    for (int row = 0; row < height; ++row) {
        const double y = view.top + view.height * (row + 0.5) / height;
        for (int column = 0; column < width; ++column) {
            const double x = aspect * (view.left + view.width * (column + 0.5) / width);
            const Colour colour = sceneColour(x, y, aspect, ballX);
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.r, 0.0, 255.0));
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.g, 0.0, 255.0));
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.b, 0.0, 255.0));
        }
    }
    drawBand(rgb, width, height, view.counter);
    return rgb;
}

} // namespace camsdk::detail
