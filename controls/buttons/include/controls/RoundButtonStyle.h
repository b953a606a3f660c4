// The shared look of the round buttons: a style record (shape, shading, light and the colours
// of the five button states) and the round image rendered from it, five square slices stacked
// from the top, one per state.
//
// Threading: UI thread only (the default background is the palette's button colour).
#pragma once

#include "controls/ColorRef.h"

#include <QImage>

#include <array>
#include <cstdint>

namespace controls {

// Button states, which are also the slice and colour indexes.
enum ButtonState : int { stateDisabled = 0, stateNormal = 1, stateChecked = 2, statePressed = 3, stateHover = 4 };
inline constexpr int buttonStateCount = 5;

using StateColors = std::array<ColorRef, buttonStateCount>;

// The style record, read and written whole.
struct RoundButtonStyleRecord {
    double edgeBlur = 2.0;        // edges blend over half this width, in pixels
    double radius = 10.0;         // outer radius, in pixels
    double borderRatio = 0.2;     // ring width as a fraction of the radius
    double borderShading = 0.5;   // darkening of the ring towards its edges
    double faceShading = 0.5;     // darkening of the face towards its rim; weights the light
    double lightX = 0.0;          // light position, pixels right of the centre
    double lightY = -7.0;         // light position, pixels below the centre
    double lightReach = 7.0;      // distance over which the light fades
    double lightStrength = 0.4;   // brightening or darkening by the light
    StateColors background{};     // outside the shape
    StateColors border{0x808080, 0x606060, 0x00FFFF, 0x8080A4, 0x8080A4};
    StateColors face{0xAFAFAF, 0x808080, 0xA4A4A4, 0xA4A4A4, 0xC0C0C0};
};

// The record of a new style: the defaults above, with the palette's button colour as the
// background of every state.
RoundButtonStyleRecord defaultRoundButtonStyle();

// The outer radius in whole pixels that an image of `record` covers: the radius plus half
// the edge blur, rounded up.
int roundImageRadius(const RoundButtonStyleRecord& record);

// Renders the round image of `record`: (2R + 1) pixels wide and 5 (2R + 1) high.
QImage renderRoundImage(const RoundButtonStyleRecord& record);

class CRoundButtonStyle final {
public:
    CRoundButtonStyle();

    // Copies the record out; false when given nowhere to copy it.
    bool GetButtonStyle(RoundButtonStyleRecord* record) const;
    // Copies the record in (null changes nothing) and marks the image for rendering. Buttons
    // already built with this style keep their images until they are rebuilt.
    void SetButtonStyle(const RoundButtonStyleRecord* record);
    // The round image, rendered first if the record changed since the last call.
    const QImage& GetButtonBitmap();

    // The radius R of the rendered image (valid after GetButtonBitmap).
    int Radius() const { return m_radius; }
    // The outer radius of the record, in pixels.
    double StyleRadius() const { return m_record.radius; }

private:
    bool m_imageValid = false;
    int m_radius = 0;
    QImage m_roundImage;
    RoundButtonStyleRecord m_record;
};

} // namespace controls
