// Rendering of the round image: every pixel mixes the background, ring and face colours of
// each state by weights that blend the edges, shade the ring and face, and light the face.
//
// Threading: see RoundButtonStyle.h.
#include "controls/RoundButtonStyle.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <limits>

namespace controls {
namespace {

// A style far larger than any button would need a picture of hundreds of megabytes; this
// keeps a mistyped radius to a few.
constexpr int maxRoundImageRadius = 256;

double clamp(double value, double low, double high)
{
    // NaN never reaches a pixel: it counts as the low end.
    if (!(value >= low)) {
        return low;
    }
    return std::min(value, high);
}

// numerator / denominator for a width that may be zero: a zero-width blend is a hard step.
double ratio(double numerator, double denominator)
{
    if (denominator > 0.0) {
        return numerator / denominator;
    }
    if (numerator == 0.0) {
        return 0.0;
    }
    return numerator > 0.0 ? std::numeric_limits<double>::infinity()
                           : -std::numeric_limits<double>::infinity();
}

// Truncated towards zero and limited to 0 .. 255.
int channel(double value)
{
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 255.0) {
        return 255;
    }
    return static_cast<int>(value);
}

struct PixelWeights {
    double background;
    double border;
    double face;
};

PixelWeights weightsAt(const RoundButtonStyleRecord& style, double innerRadius, int x, int y)
{
    const double d1 = style.edgeBlur;
    const double d2 = style.radius;
    const double dist = std::hypot(x, y);
    const double light = std::hypot(x - style.lightX, y - style.lightY);

    const double u = ratio(2.0 * (dist - d2), d1);
    const double w = ratio(2.0 * (dist - innerRadius), d1);
    // A ring of no width has no shading across it, and a face of no width no rim.
    const double v = d2 - innerRadius > 0.0 ? ((innerRadius + d2) - 2.0 * dist) / (d2 - innerRadius) : 0.0;
    const double rim = innerRadius > 0.0 ? (dist / innerRadius) * (dist / innerRadius) : 0.0;

    const double m = style.faceShading > 0.0 ? 1.0 : 1.0 + style.faceShading;
    const double f = style.faceShading * rim;
    const double q = clamp(1.0 - ratio(style.faceShading * light, style.lightReach), -1.0, 1.0);

    PixelWeights weights{};
    weights.background = clamp(u + 0.5, 0.0, 1.0);
    weights.border = (1.0 - style.borderShading * v * v) * clamp(0.5 - u, 0.0, 1.0) * clamp(w + 0.5, 0.0, 1.0);
    weights.face = (m - f) * clamp(0.5 - w, 0.0, 1.0) * (1.0 + style.lightStrength * q);
    return weights;
}

int mix(int background, int border, int face, const PixelWeights& weights)
{
    return channel(background * weights.background + border * weights.border + face * weights.face);
}

} // namespace

RoundButtonStyleRecord defaultRoundButtonStyle()
{
    RoundButtonStyleRecord record;
    const ColorRef buttonFace = toColorRef(QGuiApplication::palette().color(QPalette::Button));
    record.background.fill(buttonFace);
    return record;
}

int roundImageRadius(const RoundButtonStyleRecord& record)
{
    const double radius = std::ceil(record.radius + record.edgeBlur / 2.0);
    if (!(radius > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(radius, double{maxRoundImageRadius}));
}

QImage renderRoundImage(const RoundButtonStyleRecord& record)
{
    const int radius = roundImageRadius(record);
    const int side = 2 * radius + 1;
    QImage image(side, buttonStateCount * side, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    const double innerRadius = clamp((1.0 - record.borderRatio) * record.radius, 0.0, std::max(record.radius, 0.0));

    for (int y = -radius; y <= radius; ++y) {
        for (int x = -radius; x <= radius; ++x) {
            const PixelWeights weights = weightsAt(record, innerRadius, x, y);
            for (int state = 0; state < buttonStateCount; ++state) {
                const ColorRef back = record.background[state];
                const ColorRef ring = record.border[state];
                const ColorRef face = record.face[state];
                const int red = mix(redOf(back), redOf(ring), redOf(face), weights);
                const int green = mix(greenOf(back), greenOf(ring), greenOf(face), weights);
                const int blue = mix(blueOf(back), blueOf(ring), blueOf(face), weights);
                image.setPixel(x + radius, y + radius + state * side, qRgb(red, green, blue));
            }
        }
    }
    return image;
}

CRoundButtonStyle::CRoundButtonStyle() : m_record(defaultRoundButtonStyle()) {}

bool CRoundButtonStyle::GetButtonStyle(RoundButtonStyleRecord* record) const
{
    if (!record) {
        return false;
    }
    *record = m_record;
    return true;
}

void CRoundButtonStyle::SetButtonStyle(const RoundButtonStyleRecord* record)
{
    if (!record) {
        return;
    }
    m_record = *record;
    m_imageValid = false;
}

const QImage& CRoundButtonStyle::GetButtonBitmap()
{
    if (!m_imageValid) {
        m_radius = roundImageRadius(m_record);
        m_roundImage = renderRoundImage(m_record);
        m_imageValid = true;
    }
    return m_roundImage;
}

} // namespace controls
