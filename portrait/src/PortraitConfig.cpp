// Reading a station's portrait-check keys, and the report's summaries.
//
// Threading: pure functions.
#include "portrait/PortraitCheck.h"

#include "profile/Profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace portrait {
namespace {

using vesk::profile::equalsIgnoreCase;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// The host's reading of its Y/N flags: "Y" or "YES" in any case is yes, anything else no.
bool isYes(std::string_view text)
{
    return equalsIgnoreCase(text, "Y") || equalsIgnoreCase(text, "YES");
}

// A finite decimal number of at least zero, the whole value (blanks around it aside).
std::optional<double> readNonNegative(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < 0.0) {
        return std::nullopt;
    }
    return value;
}

void readNumber(const SettingLookup& get, std::string_view key, double& target)
{
    if (const auto text = get(key)) {
        if (const auto value = readNonNegative(*text)) {
            target = *value;
        }
    }
}

void readPixels(const SettingLookup& get, std::string_view key, int& target)
{
    double value = target;
    readNumber(get, key, value);
    if (value <= 1e6) {
        target = static_cast<int>(std::lround(value));
    }
}

// A range whose minimum lies above its maximum cannot be met by any picture, and which of
// the two was meant is unknown: both ends go back to their defaults.
void keepRangeSound(double& low, double& high, double defaultLow, double defaultHigh)
{
    if (low > high) {
        low = defaultLow;
        high = defaultHigh;
    }
}

} // namespace

bool PortraitConfig::checksFaceOf(std::string_view viewName) const
{
    return std::any_of(views.begin(), views.end(),
                       [&](const std::string& view) { return view == "*" || equalsIgnoreCase(view, viewName); });
}

PortraitConfig readPortraitConfig(const SettingLookup& get)
{
    PortraitConfig config;
    if (const auto text = get("PC_Enabled")) {
        config.enabled = isYes(trimmed(*text));
    }
    if (const auto text = get("PC_AskBeforeAdd")) {
        config.askBeforeAdd = isYes(trimmed(*text));
    }
    // An empty value names no view: only the picture's size and compression are checked.
    if (const auto text = get("PC_Views")) {
        config.views.clear();
        std::string_view rest = *text;
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            const std::string_view name = trimmed(rest.substr(0, comma));
            if (!name.empty()) {
                config.views.emplace_back(name);
            }
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }

    const PortraitLimits defaults;
    PortraitLimits& limits = config.limits;
    readNumber(get, "PC_FaceHeightMin", limits.faceHeightMin);
    readNumber(get, "PC_FaceHeightMax", limits.faceHeightMax);
    readNumber(get, "PC_CentreOffsetMax", limits.centreOffsetMax);
    readNumber(get, "PC_EyeLineMin", limits.eyeLineMin);
    readNumber(get, "PC_EyeLineMax", limits.eyeLineMax);
    readNumber(get, "PC_SharpnessMin", limits.sharpnessMin);
    readNumber(get, "PC_BrightnessMin", limits.brightnessMin);
    readNumber(get, "PC_BrightnessMax", limits.brightnessMax);
    readNumber(get, "PC_HighlightsMax", limits.highlightsMax);
    readNumber(get, "PC_ShadowsMax", limits.shadowsMax);
    readPixels(get, "PC_MinWidth", limits.minWidth);
    readPixels(get, "PC_MinHeight", limits.minHeight);
    readNumber(get, "PC_MinBytesPerPixel", limits.minBytesPerPixel);
    keepRangeSound(limits.faceHeightMin, limits.faceHeightMax, defaults.faceHeightMin, defaults.faceHeightMax);
    keepRangeSound(limits.eyeLineMin, limits.eyeLineMax, defaults.eyeLineMin, defaults.eyeLineMax);
    keepRangeSound(limits.brightnessMin, limits.brightnessMax, defaults.brightnessMin, defaults.brightnessMax);
    return config;
}

bool PortraitReport::passed() const
{
    return std::all_of(findings.begin(), findings.end(), [](const Finding& finding) { return finding.passed; });
}

std::string PortraitReport::failures() const
{
    std::string text;
    for (const Finding& finding : findings) {
        if (!finding.passed) {
            text += text.empty() ? "" : ", ";
            text += finding.text;
        }
    }
    return text;
}

} // namespace portrait
