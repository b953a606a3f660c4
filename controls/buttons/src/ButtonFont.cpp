// Font descriptions turned into platform fonts.
//
// Threading: see ButtonFont.h.
#include "controls/ButtonFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace controls {
namespace {

constexpr int antialiasedQuality = 4;
constexpr int nonAntialiasedQuality = 3;

// Windows faces of the dialog and its buttons, all drawn with the platform's sans-serif.
constexpr std::array<std::string_view, 8> sansSerifFaces = {
    "Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif",
    "Arial", "Segoe UI", "Verdana"};

bool isSansSerifFace(std::string_view face)
{
    return std::any_of(sansSerifFaces.begin(), sansSerifFaces.end(), [face](std::string_view known) {
        return QString::fromUtf8(known.data(), static_cast<qsizetype>(known.size()))
                   .compare(QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size())),
                            Qt::CaseInsensitive) == 0;
    });
}

void setFamily(QFont& font, const std::string& face)
{
    const std::string kept = face.substr(0, maxFaceNameLength);
    const QString family = QString::fromStdString(kept);
    if (!kept.empty() && !isSansSerifFace(kept) && QFontDatabase::hasFamily(family)) {
        font.setFamily(family);
        return;
    }
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies(QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
}

// A positive height is the cell height (ascent plus descent): scale the pixel size until the
// platform font's line height matches it.
void setHeight(QFont& font, int32_t height)
{
    if (height < 0) {
        font.setPixelSize(std::max(1, -height));
        return;
    }
    if (height == 0) {
        return;
    }
    font.setPixelSize(height);
    const int lineHeight = QFontMetrics(font).height();
    if (lineHeight > 0) {
        const double scaled = std::round(static_cast<double>(height) * height / lineHeight);
        font.setPixelSize(std::max(1, static_cast<int>(scaled)));
    }
}

} // namespace

LogFont roundButtonDefaultFont()
{
    LogFont font;
    font.height = 16;
    font.weight = 700;
    font.charSet = 1;
    font.quality = antialiasedQuality;
    font.faceName = "Tahoma";
    return font;
}

QFont toQFont(const LogFont& description)
{
    QFont font;
    setFamily(font, description.faceName);
    setHeight(font, description.height);
    if (description.weight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(description.weight, 1, 1000)));
    }
    font.setItalic(description.italic != 0);
    font.setUnderline(description.underline != 0);
    font.setStrikeOut(description.strikeOut != 0);
    if (description.quality == antialiasedQuality) {
        font.setStyleStrategy(QFont::PreferAntialias);
    } else if (description.quality == nonAntialiasedQuality) {
        font.setStyleStrategy(QFont::NoAntialias);
    }
    return font;
}

} // namespace controls
