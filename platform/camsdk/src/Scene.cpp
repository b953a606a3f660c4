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

// The room without the person. x runs over 0..aspect, y over 0..1, so circles stay round.
Colour roomColour(double x, double y, double aspect, double ballX)
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
    return colour;
}

// The person over `colour`, in the person's own coordinates: (0, 0) is the centre of the face,
// a face of the default size (0.34 of the height) spans v = -0.17..0.17. Everything the person
// covers lies within kPersonLeft..kPersonRight, kPersonTop..kPersonBottom.
constexpr double kPersonHalfWidth = 0.34;
constexpr double kPersonTop = -0.25;
constexpr double kPersonBottom = 0.87;
constexpr double kDefaultFaceHeight = 0.34;

// How much of a point an ellipse covers, with a rim `soft` wide (in the units of the radii)
// fading from 1 inside to 0 outside, as a lens draws an edge.
double cover(double u, double v, double cx, double cy, double rx, double ry, double soft)
{
    const double inside = ellipse(u, v, cx, cy, rx, ry);
    const double radius = std::min(rx, ry);
    const double outer = 1.0 + 0.5 * soft / radius;
    if (inside >= outer * outer) {
        return 0.0;
    }
    return std::clamp((1.0 - std::sqrt(inside)) * radius / soft + 0.5, 0.0, 1.0);
}

// The sockets, eyes and brows over the skin `colour`.
Colour eyeRegionColour(double u, double v, Colour colour)
{
    const double bridge = std::max(0.0, 1.0 - ellipse(u, v, 0.0, -0.035, 0.012, 0.03));
    for (const double side : {-1.0, 1.0}) {
        const double eyeX = side * 0.045;
        // The socket: a soft shadow from the brow down to below the eye.
        const double socket = cover(u, v, eyeX, -0.043, 0.034, 0.024, 0.02);
        if (socket > 0.0) {
            colour = mix(colour, {150, 105, 85}, 0.45 * socket * (1.0 - bridge));
        }
        const double eye = cover(u, v, eyeX, -0.04, 0.022, 0.011, 0.002);
        if (eye > 0.0) {
            Colour inner{235, 230, 225};
            const double iris = cover(u, v, eyeX, -0.041, 0.0095, 0.0095, 0.0015);
            inner = mix(inner, {90, 62, 45}, iris);
            inner = mix(inner, {25, 18, 15}, cover(u, v, eyeX, -0.041, 0.0042, 0.0042, 0.001));
            inner = mix(inner, {250, 250, 250}, cover(u, v, eyeX + 0.003, -0.044, 0.0018, 0.0018, 0.001));
            // The upper lid's lashes, darker than the lower rim.
            const double lid = std::clamp((-0.04 - v) / 0.011, 0.0, 1.0) *
                               std::clamp((ellipse(u, v, eyeX, -0.04, 0.022, 0.011) - 0.55) / 0.45, 0.0, 1.0);
            inner = mix(inner, {45, 30, 25}, lid);
            colour = mix(colour, inner, eye);
        }
        const double brow = cover(u, v, eyeX + side * 0.003, -0.066 + 0.0012 * std::abs(u - eyeX) / 0.01, 0.029,
                                  0.0055, 0.002);
        if (brow > 0.0) {
            colour = mix(colour, {65, 45, 32}, brow);
        }
    }
    return colour;
}

// Skin, eye sockets, eyes, brows, nose and mouth, inside the face ellipse (`face` < 1).
// Proportions of a real face, which the usual face and eye detectors look for: eyes a little
// above the middle of the face, shadowed sockets, a lighter bridge of the nose between them,
// a shadow beside and under the nose, lips darker than the skin.
Colour faceColour(double u, double v, double face)
{
    Colour colour = mix({232, 190, 160}, {190, 140, 110}, face * face);
    // The features lie in two bands; most of the face is bare skin, drawn at once.
    if (v > -0.08 && v < -0.005 && std::abs(u) < 0.095) {
        colour = eyeRegionColour(u, v, colour);
    }
    if (v < -0.015 || v > 0.115 || std::abs(u) > 0.05) {
        return colour;
    }
    for (const double side : {-1.0, 1.0}) {
        const double nostril = cover(u, v, side * 0.01, 0.047, 0.005, 0.0025, 0.002);
        if (nostril > 0.0) {
            colour = mix(colour, {120, 75, 60}, 0.6 * nostril);
        }
    }
    // The nose: a shadow along its side and under its tip.
    const double nose = cover(u, v, 0.0, 0.02, 0.012, 0.03, 0.006);
    if (nose > 0.0) {
        colour = mix(colour, {150, 100, 80}, 0.35 * nose);
    }
    const double underNose = cover(u, v, 0.0, 0.054, 0.02, 0.006, 0.006);
    if (underNose > 0.0) {
        colour = mix(colour, {165, 115, 92}, 0.4 * underNose);
    }
    // The lips, parted by a darker line.
    const double lips = cover(u, v, 0.0, 0.08, 0.04, 0.012, 0.002);
    if (lips > 0.0) {
        Colour lip = v < 0.08 ? Colour{160, 65, 65} : Colour{185, 78, 76};
        lip = mix(lip, {90, 35, 35}, std::clamp(1.0 - std::abs(v - 0.08) / 0.0025, 0.0, 1.0));
        colour = mix(colour, lip, lips);
    }
    // The shadow under the lower lip and the chin.
    const double chin = cover(u, v, 0.0, 0.103, 0.03, 0.006, 0.008);
    if (chin > 0.0) {
        colour = mix(colour, {175, 125, 100}, 0.35 * chin);
    }
    return colour;
}

Colour personColour(double u, double v, Colour colour)
{
    // Shoulders and neck, in the chin's shadow at the top.
    if (ellipse(u, v, 0.0, 0.57, 0.34, 0.3) < 1.0) {
        colour = {40, 60, 120};
    } else if (std::abs(u) < 0.045 && v > 0.10 && v < 0.31) {
        colour = mix({150, 108, 85}, {200, 155, 125}, std::clamp((v - 0.15) / 0.06, 0.0, 1.0));
    }
    // Hair, then the face over it.
    if (ellipse(u, v, 0.0, -0.05, 0.15, 0.2) < 1.0) {
        colour = {55, 38, 25};
    }
    const double face = ellipse(u, v, 0.0, 0.0, 0.12, 0.17);
    if (face < 1.0) {
        colour = faceColour(u, v, face);
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

int bandHeightOf(int height)
{
    return std::min(height, std::max(8, height / 24));
}

void drawBand(std::vector<uint8_t>& rgb, int width, int height, uint32_t counter)
{
    const int bandHeight = bandHeightOf(height);
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

// Division by a box's window as a multiplication and a shift: exact for every sum of up to
// 256 windows of bytes while the window stays below 65536.
struct Divider {
    explicit Divider(uint32_t window)
        : half(window / 2), reciprocal(((uint64_t{1} << 40) + window - 1) / window)
    {
    }
    uint8_t operator()(uint32_t sum) const { return static_cast<uint8_t>(((sum + half) * reciprocal) >> 40); }
    uint64_t half;
    uint64_t reciprocal;
};

// One box pass of half-width `half` over `count` values `step` bytes apart starting at `values`
// (edges repeat), through `line`, a copy of the values with the edges repeated.
void boxPass(uint8_t* values, size_t step, int count, int half, std::vector<uint8_t>& line)
{
    const size_t padding = static_cast<size_t>(half) + 1;
    const size_t length = static_cast<size_t>(count);
    line.resize(length + 2 * padding);
    std::fill(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(padding), values[0]);
    for (size_t index = 0; index < length; ++index) {
        line[padding + index] = values[index * step];
    }
    std::fill(line.begin() + static_cast<std::ptrdiff_t>(padding + length), line.end(), values[(length - 1) * step]);
    const Divider divide(static_cast<uint32_t>(2 * half + 1));
    uint32_t sum = 0;
    for (size_t index = padding - static_cast<size_t>(half); index <= padding + static_cast<size_t>(half); ++index) {
        sum += line[index];
    }
    for (size_t index = 0; index < length; ++index) {
        values[index * step] = divide(sum);
        sum += line[padding + index + static_cast<size_t>(half) + 1];
        sum -= line[padding + index - static_cast<size_t>(half)];
    }
}

// One vertical box pass of half-width `half` over rows [0, rows) of `rowBytes` bytes each,
// with running sums per byte: the rows above the one written are kept in a ring, since they
// are overwritten by then.
void verticalPass(uint8_t* pixels, size_t rowBytes, int rows, int half)
{
    std::vector<uint32_t> sums(rowBytes, 0);
    const auto row = [&](int index) { return pixels + static_cast<size_t>(std::clamp(index, 0, rows - 1)) * rowBytes; };
    for (int index = -half; index <= half; ++index) {
        const uint8_t* source = row(index);
        for (size_t byte = 0; byte < rowBytes; ++byte) {
            sums[byte] += source[byte];
        }
    }
    const size_t ringRows = static_cast<size_t>(half) + 1;
    std::vector<uint8_t> ring(ringRows * rowBytes);
    const Divider divide(static_cast<uint32_t>(2 * half + 1));
    for (int index = 0; index < rows; ++index) {
        uint8_t* target = pixels + static_cast<size_t>(index) * rowBytes;
        std::copy(target, target + rowBytes, ring.begin() + static_cast<std::ptrdiff_t>((static_cast<size_t>(index) % ringRows) * rowBytes));
        for (size_t byte = 0; byte < rowBytes; ++byte) {
            target[byte] = divide(sums[byte]);
        }
        if (index + 1 == rows) {
            break;
        }
        const uint8_t* entering = row(index + half + 1);
        const int leavingIndex = std::max(index - half, 0);
        const uint8_t* leaving = ring.data() + (static_cast<size_t>(leavingIndex) % ringRows) * rowBytes;
        for (size_t byte = 0; byte < rowBytes; ++byte) {
            sums[byte] += entering[byte];
            sums[byte] -= leaving[byte];
        }
    }
}

} // namespace

void blurRgb(std::vector<uint8_t>& rgb, int width, int rows, int reach)
{
    reach = std::min(reach, kLargestBlurReach);
    if (reach <= 0 || width <= 0 || rows <= 0 || rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(rows) * 3) {
        return;
    }
    // Three passes whose half-widths add up to the reach: 8 -> 3, 3, 2.
    std::array<int, 3> halves{};
    for (int pass = 0; pass < 3; ++pass) {
        halves[static_cast<size_t>(pass)] = reach / 3 + (pass < reach % 3 ? 1 : 0);
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> line;
    for (const int half : halves) {
        if (half == 0) {
            continue;
        }
        for (int row = 0; row < rows; ++row) {
            for (size_t channel = 0; channel < 3; ++channel) {
                boxPass(rgb.data() + static_cast<size_t>(row) * rowBytes + channel, 3, width, half, line);
            }
        }
        verticalPass(rgb.data(), rowBytes, rows, half);
    }
}

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
    const sim::SceneConfig& scene = view.scene;
    const double scale = scene.faceHeight / kDefaultFaceHeight;
    const double faceX = aspect * scene.faceCentreX;
    const double faceY = scene.faceCentreY;
    const bool person = scene.facePresent && std::isfinite(scale) && scale > 0.0 && std::isfinite(faceX) &&
                        std::isfinite(faceY);
    const double exposure = std::isfinite(scene.exposure) && scene.exposure >= 0.0 ? scene.exposure : 1.0;
    // The band covers the bottom rows: the scene is drawn (and blurred) above it only.
    const int sceneRows = height - bandHeightOf(height);
    size_t offset = 0;
    for (int row = 0; row < sceneRows; ++row) {
        const double y = view.top + view.height * (row + 0.5) / height;
        const double v = person ? (y - faceY) / scale : 0.0;
        const bool personRow = person && v >= kPersonTop && v <= kPersonBottom;
        for (int column = 0; column < width; ++column) {
            const double x = aspect * (view.left + view.width * (column + 0.5) / width);
            Colour colour = roomColour(x, y, aspect, ballX);
            if (personRow) {
                const double u = (x - faceX) / scale;
                if (std::abs(u) <= kPersonHalfWidth) {
                    colour = personColour(u, v, colour);
                }
            }
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.r * exposure, 0.0, 255.0));
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.g * exposure, 0.0, 255.0));
            rgb[offset++] = static_cast<uint8_t>(std::clamp(colour.b * exposure, 0.0, 255.0));
        }
    }
    // The reach in pixels: shares of the sensor's height, of which the view shows view.height.
    if (std::isfinite(scene.blur) && scene.blur > 0.0 && view.height > 0.0) {
        const double reach = scene.blur * height / view.height;
        blurRgb(rgb, width, sceneRows, static_cast<int>(std::lround(std::min(reach, double{kLargestBlurReach}))));
    }
    drawBand(rgb, width, height, view.counter);
    return rgb;
}

} // namespace camsdk::detail
