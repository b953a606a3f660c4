// The label tables of the ten camera-setting boxes, in the order the boxes insert them.
//
// Threading: constant data, read from any thread.
#pragma once

#include "controls/PropertyComboBox.h"

#include <array>

namespace controls::tables {

extern const std::array<SettingLabel, 25> aeModeLabels;
extern const std::array<SettingLabel, 75> tvLabels;
extern const std::array<SettingLabel, 56> avLabels;
extern const std::array<SettingLabel, 37> isoLabels;
extern const std::array<SettingLabel, 20> whiteBalanceLabels;
extern const std::array<SettingLabel, 5> meteringModeLabels;
extern const std::array<SettingLabel, 42> exposureCompLabels;
extern const std::array<SettingLabel, 14> imageQualityLabels;
extern const std::array<SettingLabel, 7> pictureStyleLabels;
extern const std::array<SettingLabel, 12> evfAfModeLabels;

} // namespace controls::tables
