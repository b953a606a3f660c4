// The capture dialog's template as data, and dialog units.
//
// Threading: dialogFont and dialogBaseUnits need the GUI application (font metrics).
#include "DialogTemplate.h"

#include <QFontMetrics>

#include <array>

namespace dialog {
namespace {

using K = ItemKind;
constexpr bool hidden = true;
constexpr bool shown = false;
constexpr int comboHeight = 193;

constexpr std::array items{
    TemplateItem{1059, K::GroupBox, "Preview Image", 8, 0, 270, 357, shown},
    TemplateItem{1057, K::ImagingControl, "", 12, 9, 262, 344, shown},
    TemplateItem{1024, K::EvfPictureBox, "", 12, 9, 262, 344, shown},
    TemplateItem{1000, K::RoundButton, "&Take Picture", 8, 361, 270, 31, shown},
    TemplateItem{1082, K::ReadOnlyEdit, "", 281, 346, 132, 12, shown},
    TemplateItem{1081, K::ProgressBar, "", 417, 346, 130, 11, hidden},
    TemplateItem{1061, K::RoundButton, "Add &Image", 283, 361, 62, 31, shown},
    TemplateItem{1075, K::Label, "Image Count:", 348, 363, 50, 8, shown},
    TemplateItem{1063, K::Label, "0", 348, 376, 50, 16, shown},
    TemplateItem{1, K::RoundButton, "&OK", 419, 361, 62, 31, shown},
    TemplateItem{2, K::RoundButton, "C&ancel", 484, 361, 62, 31, shown},
    TemplateItem{1060, K::GroupBox, "Reference Image", 282, 0, 125, 118, shown},
    TemplateItem{1058, K::ImagingControl, "", 286, 9, 115, 103, shown},
    TemplateItem{1089, K::GroupBox, "Panner Controls", 282, 120, 125, 77, hidden},
    TemplateItem{1085, K::RoundButton, "Up", 326, 129, 31, 22, hidden},
    TemplateItem{1086, K::RoundButton, "Right", 356, 150, 31, 22, hidden},
    TemplateItem{1087, K::RoundButton, "Down", 326, 171, 31, 22, hidden},
    TemplateItem{1088, K::RoundButton, "Left", 296, 150, 31, 22, hidden},
    TemplateItem{1090, K::PushButton, "Home", 326, 150, 31, 22, hidden},
    TemplateItem{1091, K::VerticalSlider, "", 390, 128, 14, 65, hidden},
    TemplateItem{1039, K::GroupBox, "Live View Focus Settings", 410, 0, 136, 197, hidden},
    TemplateItem{1080, K::CheckBox, "Use Live View Focus", 415, 10, 127, 10, hidden},
    TemplateItem{1051, K::Label, "Live View Auto Focus Mode:", 415, 21, 127, 8, hidden},
    TemplateItem{1032, K::EvfAfModeCombo, "", 415, 31, 127, comboHeight, hidden},
    TemplateItem{1035, K::EvfAfButton, "Live View Auto Focus", 415, 45, 127, 18, hidden},
    TemplateItem{1071, K::Label, "Live View Manual Focus:", 418, 64, 87, 8, hidden},
    TemplateItem{1012, K::RoundActionButton, "<<<", 415, 73, 21, 17, hidden},
    TemplateItem{1013, K::RoundActionButton, "<<", 436, 73, 21, 17, hidden},
    TemplateItem{1014, K::RoundActionButton, "<", 457, 73, 21, 17, hidden},
    TemplateItem{1020, K::RoundActionButton, ">", 478, 73, 21, 17, hidden},
    TemplateItem{1021, K::RoundActionButton, ">>", 499, 73, 21, 17, hidden},
    TemplateItem{1022, K::RoundActionButton, ">>>", 520, 73, 21, 17, hidden},
    TemplateItem{1072, K::Label, "Near", 415, 90, 15, 8, hidden},
    TemplateItem{1073, K::Label, "Far", 524, 90, 17, 8, hidden},
    TemplateItem{1065, K::ActionButton, "Full Frame", 415, 102, 57, 17, hidden},
    TemplateItem{1066, K::ActionButton, "Focus Box", 484, 102, 57, 17, hidden},
    TemplateItem{1070, K::Label, "Focus Box Pos:", 416, 120, 54, 8, hidden},
    TemplateItem{1076, K::RoundActionButton, "Up", 468, 129, 31, 22, hidden},
    TemplateItem{1077, K::RoundActionButton, "Left", 438, 150, 31, 22, hidden},
    TemplateItem{1030, K::RoundActionButton, "Center", 468, 150, 31, 22, hidden},
    TemplateItem{1078, K::RoundActionButton, "Right", 498, 150, 31, 22, hidden},
    TemplateItem{1079, K::RoundActionButton, "Down", 468, 171, 31, 22, hidden},
    TemplateItem{1074, K::GroupBox, "Camera Settings", 282, 201, 264, 103, shown},
    TemplateItem{1052, K::Label, "BodyID:", 290, 213, 26, 8, shown},
    TemplateItem{1083, K::ReadOnlyEdit, "", 317, 211, 64, 12, shown},
    TemplateItem{1056, K::Label, "Model Name:", 400, 211, 53, 11, shown},
    TemplateItem{1084, K::ReadOnlyEdit, "", 455, 211, 87, 12, shown},
    TemplateItem{1047, K::Label, "Mode:", 290, 229, 26, 8, shown},
    TemplateItem{1002, K::AEModeCombo, "", 317, 227, 65, comboHeight, shown},
    TemplateItem{1048, K::Label, "Tv:", 290, 244, 26, 8, shown},
    TemplateItem{1003, K::TvCombo, "", 317, 242, 65, comboHeight, shown},
    TemplateItem{1049, K::Label, "Av:", 290, 259, 26, 8, shown},
    TemplateItem{1004, K::AvCombo, "", 317, 257, 65, comboHeight, shown},
    TemplateItem{1050, K::Label, "ISO:", 290, 274, 26, 8, shown},
    TemplateItem{1005, K::IsoCombo, "", 317, 272, 65, comboHeight, shown},
    TemplateItem{1043, K::Label, "WB:", 290, 288, 26, 8, shown},
    TemplateItem{1037, K::WhiteBalanceCombo, "", 317, 287, 65, comboHeight, shown},
    TemplateItem{1044, K::Label, "Metering Mode:", 400, 228, 53, 8, shown},
    TemplateItem{1006, K::MeteringModeCombo, "", 455, 227, 87, comboHeight, shown},
    TemplateItem{1045, K::Label, "Exposure Comp:", 400, 243, 53, 8, shown},
    TemplateItem{1007, K::ExposureCompCombo, "", 455, 242, 87, comboHeight, shown},
    TemplateItem{1046, K::Label, "Image Quality:", 400, 258, 53, 8, shown},
    TemplateItem{1023, K::ImageQualityCombo, "", 455, 257, 87, comboHeight, shown},
    TemplateItem{1055, K::Label, "Picture Style:", 400, 273, 53, 8, shown},
    TemplateItem{1038, K::PictureStyleCombo, "", 455, 272, 87, comboHeight, shown},
    TemplateItem{1054, K::Label, "Rotation:", 400, 287, 53, 8, shown},
    TemplateItem{1053, K::DropDownList, "", 455, 287, 63, 78, shown},
    TemplateItem{1042, K::MessageLine, "", 283, 308, 263, 34, shown},
};

} // namespace

std::span<const TemplateItem> dialogTemplate()
{
    return items;
}

QFont dialogFont()
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QSize dialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((letters / 26 + 1) / 2, metrics.height());
}

QRect dialogUnitsToPixels(const QRect& units, QSize baseUnits)
{
    const auto horizontal = [&](int value) { return (value * baseUnits.width() + 2) / 4; };
    const auto vertical = [&](int value) { return (value * baseUnits.height() + 4) / 8; };
    const int left = horizontal(units.x());
    const int top = vertical(units.y());
    return QRect(left, top, horizontal(units.x() + units.width()) - left, vertical(units.y() + units.height()) - top);
}

} // namespace dialog
