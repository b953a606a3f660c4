// Font descriptions as the dialog and its buttons keep them (the fields of a Windows LOGFONT),
// and the platform font that stands in for one: the dialog and button faces become the
// platform's sans-serif.
//
// Threading: toQFont needs the GUI application (font metrics); call it on the UI thread.
#pragma once

#include <QFont>

#include <cstddef>
#include <cstdint>
#include <string>

namespace controls {

inline constexpr std::size_t maxFaceNameLength = 31;

struct LogFont {
    int32_t height = 0;       // > 0: cell height in pixels; < 0: character height; 0: default
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;       // 0 default, 400 normal, 700 bold
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;      // 3 never antialiased, 4 antialiased
    uint8_t pitchAndFamily = 0;
    std::string faceName;     // at most 31 characters are kept

    bool operator==(const LogFont&) const = default;
};

// The round buttons' font until the dialog gives them its own: Tahoma, 16 pixels, bold.
LogFont roundButtonDefaultFont();

// The platform font for a description. A face the platform lacks is replaced by its
// sans-serif; a positive height is matched against the font's line height.
QFont toQFont(const LogFont& description);

} // namespace controls
