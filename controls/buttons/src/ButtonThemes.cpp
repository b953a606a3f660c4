// The round button themes: what each changes from the default style record.
//
// Threading: see ButtonThemes.h.
#include "controls/ButtonThemes.h"

#include <QString>

namespace controls {
namespace {

constexpr ColorRef black = 0x000000;
constexpr ColorRef white = 0xFFFFFF;

RoundButtonStyleRecord themeStyle(ButtonTheme theme, double radius, double standardBorderRatio)
{
    RoundButtonStyleRecord record = defaultRoundButtonStyle();
    record.radius = radius;
    if (theme == ButtonTheme::Blue) {
        record.borderRatio = 0.2;
        record.borderShading = 0.0;
        record.faceShading = 0.0;
        record.lightStrength = 0.0;
        record.border = {0x9F9F9F, 0xF7AB75, 0xF7AB75, 0xA76B35, 0x8080A4};
        record.face = {0xBFBFBF, 0x975B25, 0xB77B45, 0xB77B45, 0xC0C0C0};
    } else {
        record.borderRatio = standardBorderRatio;
        record.borderShading = 0.25;
        record.faceShading = 0.25;
        record.lightStrength = 0.4;
        record.border = {0xAFAFAF, 0x808080, 0x00FFFF, 0x808080, 0x8080A4};
        record.face = {0xAFAFAF, 0xA4A4A4, 0xA4A4A4, 0x404040, 0xC0C0C0};
    }
    return record;
}

} // namespace

ButtonTheme buttonThemeFromSetting(std::string_view setting)
{
    const QString text = QString::fromUtf8(setting.data(), static_cast<qsizetype>(setting.size()));
    return text.compare(QLatin1String("BLUE"), Qt::CaseInsensitive) == 0 ? ButtonTheme::Blue : ButtonTheme::Standard;
}

RoundButtonStyleRecord largeButtonStyle(ButtonTheme theme)
{
    return themeStyle(theme, 10.0, 0.2);
}

RoundButtonStyleRecord smallButtonStyle(ButtonTheme theme)
{
    return themeStyle(theme, 6.0, 0.1);
}

StateColors roundButtonTextColors(ButtonTheme theme)
{
    const ColorRef normal = theme == ButtonTheme::Blue ? white : black;
    return {0x9F9F9F, normal, normal, white, black};
}

} // namespace controls
