// The capture dialog's template: every item with its identifier, kind, caption, rectangle in
// dialog units and whether it starts hidden, and the conversion of dialog units to pixels
// with the dialog font's average character size.
//
// Threading: plain data and pure functions.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include <span>

namespace dialog {

enum class ItemKind {
    GroupBox,
    ImagingControl,
    EvfPictureBox,
    RoundButton,
    RoundActionButton,
    EvfAfButton,
    ActionButton,   // push-like radio button firing an action
    PushButton,
    ReadOnlyEdit,
    ProgressBar,
    Label,
    MessageLine,    // centred, bordered static
    CheckBox,
    VerticalSlider,
    DropDownList,   // plain drop-down list, no sorting
    AEModeCombo,
    TvCombo,
    AvCombo,
    IsoCombo,
    WhiteBalanceCombo,
    MeteringModeCombo,
    ExposureCompCombo,
    ImageQualityCombo,
    PictureStyleCombo,
    EvfAfModeCombo,
};

struct TemplateItem {
    int id;
    ItemKind kind;
    const char* caption;
    int x, y, width, height; // dialog units
    bool hidden;
};

inline constexpr const char* kDialogCaption = "Camera - Acquire Image";
inline constexpr int kDialogWidthUnits = 554;
inline constexpr int kDialogHeightUnits = 400;
// The height in dialog units given to the visible part of a drop-down list.
inline constexpr int kDropDownHeightUnits = 12;

std::span<const TemplateItem> dialogTemplate();

// The platform's stand-in for the dialog font ("MS Shell Dlg", 8 point).
QFont dialogFont();

// Dialog base units of a font, as the platform's dialogs compute them: the average width of
// the 52 letters A-Z and a-z (rounded), and the font's height.
QSize dialogBaseUnits(const QFont& font);
QRect dialogUnitsToPixels(const QRect& units, QSize baseUnits);

} // namespace dialog
