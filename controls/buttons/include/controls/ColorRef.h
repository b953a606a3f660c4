// Colours as the system stores them: 32-bit values 0x00BBGGRR (red in the low byte).
//
// Threading: pure functions, any thread.
#pragma once

#include <QColor>

#include <cstdint>

namespace controls {

using ColorRef = uint32_t;

constexpr int redOf(ColorRef color) { return static_cast<int>(color & 0xFFu); }
constexpr int greenOf(ColorRef color) { return static_cast<int>((color >> 8) & 0xFFu); }
constexpr int blueOf(ColorRef color) { return static_cast<int>((color >> 16) & 0xFFu); }

inline QColor toQColor(ColorRef color)
{
    return QColor(redOf(color), greenOf(color), blueOf(color));
}

inline ColorRef toColorRef(const QColor& color)
{
    return static_cast<ColorRef>(color.red()) | (static_cast<ColorRef>(color.green()) << 8) |
           (static_cast<ColorRef>(color.blue()) << 16);
}

} // namespace controls
