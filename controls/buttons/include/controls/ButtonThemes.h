// The two looks of the capture dialog's round buttons, chosen by the "ED_ButtonTheme" setting:
// "BLUE" (in any letter case) or the standard grey. Each theme has a large style (Take
// Picture, Add Image, OK, Cancel), a small one (autofocus, focus, focus-box and pan buttons)
// and the text colours of every round button.
//
// Threading: UI thread (the styles' background is the palette's button colour).
#pragma once

#include "controls/RoundButtonStyle.h"

#include <string_view>

namespace controls {

enum class ButtonTheme { Standard, Blue };

ButtonTheme buttonThemeFromSetting(std::string_view setting);

RoundButtonStyleRecord largeButtonStyle(ButtonTheme theme);
RoundButtonStyleRecord smallButtonStyle(ButtonTheme theme);
StateColors roundButtonTextColors(ButtonTheme theme);

} // namespace controls
