// Choice texts of real cameras turned into the codes of the system's setting tables: numeric
// settings (shutter speed, aperture, ISO, exposure compensation) by value, named ones by the
// names camera makers use for them. A choice the tables have no code for is left out.
// Threading: pure functions over constant tables.
#include "Translate.h"

#include "../Picture.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <cstdlib>
#include <utility>

namespace camsdk::gp {
namespace {

struct NumericCode {
    uint32_t code;
    double value;
};

struct NamedCode {
    const char* name; // lower case, letters and digits only
    uint32_t code;
};

// The exposure codes of the system's tables with the values the camera labels them by: the
// same tables the simulated camera writes into its pictures' EXIF.
template <class ValueOf>
std::vector<NumericCode> codesOf(ValueOf valueOf)
{
    std::vector<NumericCode> codes;
    // Code 0 is "automatic" where a table has it; cameras name it in words.
    for (uint32_t code = 1; code <= 0xFF; ++code) {
        if (const std::optional<double> value = valueOf(code)) {
            codes.push_back({code, *value});
        }
    }
    return codes;
}

double ratio(const std::pair<uint32_t, uint32_t>& fraction)
{
    return static_cast<double>(fraction.first) / fraction.second;
}

// Shutter speeds in seconds, apertures as f-numbers, ISO speeds.
const std::vector<NumericCode> kShutterSpeeds = codesOf([](uint32_t code) {
    const auto time = detail::exposureTimeOf(code);
    return time ? std::optional<double>(ratio(*time)) : std::nullopt;
});
const std::vector<NumericCode> kApertures = codesOf([](uint32_t code) {
    const auto fNumber = detail::fNumberOf(code);
    return fNumber ? std::optional<double>(ratio(*fNumber)) : std::nullopt;
});
const std::vector<NumericCode> kIsoSpeeds = codesOf([](uint32_t code) {
    const auto speed = detail::isoSpeedOf(code);
    return speed ? std::optional<double>(*speed) : std::nullopt;
});

// Exposure compensation in EV: whole steps of 8, thirds and halves in between, negative
// values as the two's complement of the byte.
std::vector<NumericCode> makeCompensations()
{
    std::vector<NumericCode> codes;
    const std::pair<uint32_t, double> fractions[] = {{0, 0.0}, {3, 1.0 / 3}, {4, 0.5}, {5, 2.0 / 3}};
    for (uint32_t whole = 0; whole <= 5; ++whole) {
        for (const auto& [step, fraction] : fractions) {
            if (whole == 5 && step != 0) {
                break;
            }
            const uint32_t code = whole * 8 + step;
            const double value = whole + fraction;
            codes.push_back({code, value});
            if (code != 0) {
                codes.push_back({(256 - code) & 0xFF, -value});
            }
        }
    }
    return codes;
}

const std::vector<NumericCode> kCompensations = makeCompensations();

const std::vector<NamedCode> kShootingModes = {
    {"p", 0x00}, {"program", 0x00}, {"programae", 0x00}, {"programauto", 0x00},
    {"tv", 0x01}, {"s", 0x01}, {"shutterpriority", 0x01}, {"shutterspeedpriority", 0x01},
    {"av", 0x02}, {"a", 0x02}, {"aperturepriority", 0x02},
    {"m", 0x03}, {"manual", 0x03}, {"bulb", 0x04}, {"b", 0x04}, {"adep", 0x05}, {"dep", 0x06},
    {"c1", 0x07}, {"custom1", 0x07}, {"c2", 0x10}, {"custom2", 0x10}, {"c3", 0x11}, {"custom3", 0x11},
    {"lock", 0x08}, {"auto", 0x09}, {"greenmode", 0x09}, {"green", 0x09}, {"fullauto", 0x09},
    {"nightportrait", 0x0A}, {"sports", 0x0B}, {"sport", 0x0B}, {"landscape", 0x0D},
    {"closeup", 0x0E}, {"macro", 0x0E}, {"nostrobo", 0x0F}, {"flashoff", 0x0F}, {"noflash", 0x0F},
    {"portrait", 0x0C}, {"creativeauto", 0x13}, {"ca", 0x13}, {"movies", 0x14}, {"movie", 0x14},
    {"video", 0x14}, {"scn", 0x19}, {"scene", 0x19}, {"specialscene", 0x19},
    {"sceneintelligentauto", 0x16}, {"intelligentauto", 0x16}, {"ia", 0x16},
    {"creativefilters", 0x1D}, {"creativefilter", 0x1D}, {"fv", 0x37}, {"flexiblepriority", 0x37}};

const std::vector<NamedCode> kMeteringModes = {
    {"spot", 0x01}, {"centerspot", 0x01}, {"centrespot", 0x01},
    {"evaluative", 0x03}, {"matrix", 0x03}, {"multisegment", 0x03}, {"multipattern", 0x03},
    {"partial", 0x04},
    {"centerweightedaverage", 0x05}, {"centreweightedaverage", 0x05}, {"centerweighted", 0x05},
    {"centreweighted", 0x05}, {"centerweightedavg", 0x05}};

const std::vector<NamedCode> kWhiteBalances = {
    {"auto", 0x00}, {"awb", 0x00}, {"automatic", 0x00}, {"daylight", 0x01}, {"sunny", 0x01},
    {"directsunlight", 0x01}, {"cloudy", 0x02}, {"tungsten", 0x03}, {"incandescent", 0x03},
    {"fluorescent", 0x04}, {"flash", 0x05}, {"manual", 0x06}, {"custom", 0x06}, {"shade", 0x08},
    {"colortemperature", 0x09}, {"colourtemperature", 0x09}, {"kelvin", 0x09},
    {"custompc1", 0x0A}, {"pc1", 0x0A}, {"custompc2", 0x0B}, {"pc2", 0x0B}, {"custompc3", 0x0C},
    {"pc3", 0x0C}, {"manual2", 0x0F}, {"manual3", 0x10}, {"manual4", 0x12}, {"manual5", 0x13},
    {"custompc4", 0x14}, {"pc4", 0x14}, {"custompc5", 0x15}, {"pc5", 0x15}};

const std::vector<NamedCode> kImageQualities = {
    {"largefinejpeg", 0x13FF0F}, {"largenormaljpeg", 0x12FF0F},
    {"mediumfinejpeg", 0x113FF0F}, {"middlefinejpeg", 0x113FF0F},
    {"mediumnormaljpeg", 0x112FF0F}, {"middlenormaljpeg", 0x112FF0F},
    {"smallfinejpeg", 0x213FF0F}, {"smallnormaljpeg", 0x212FF0F},
    {"small1finejpeg", 0xE13FF0F}, {"small1normaljpeg", 0xE12FF0F},
    {"smallerjpeg", 0xF13FF0F}, {"small2jpeg", 0xF13FF0F}, {"tinyjpeg", 0x1013FF0F},
    {"small3jpeg", 0x1013FF0F}, {"largejpeg", 0x10FF0F}, {"middle1jpeg", 0x510FF0F},
    {"medium1jpeg", 0x510FF0F}, {"middle2jpeg", 0x610FF0F}, {"medium2jpeg", 0x610FF0F},
    {"smalljpeg", 0x210FF0F}};

const std::vector<NamedCode> kPictureStyles = {
    {"standard", 0x81}, {"portrait", 0x82}, {"landscape", 0x83},
    {"neutral", 0x84}, {"faithful", 0x85}, {"monochrome", 0x86}};

const std::vector<NamedCode> kLiveViewAfModes = {
    {"quickmode", 0x00}, {"quick", 0x00}, {"livemode", 0x01}, {"live", 0x01},
    {"livesingleexpoaf", 0x01}, {"livefacedetectionmode", 0x02}, {"liveface", 0x02},
    {"facedetection", 0x02}, {"facetracking", 0x02}, {"liveflexizonemultimode", 0x03},
    {"flexizonemulti", 0x03}, {"livemulti", 0x03}, {"zoneaf", 0x04}, {"livezone", 0x04},
    {"expandafarea", 0x05}, {"expandafareaaround", 0x06}, {"largezoneafhorizontal", 0x07},
    {"largezoneafvertical", 0x08}, {"catchaf", 0x09}, {"livecatchaf", 0x09}, {"spotaf", 0x0A},
    {"livespotaf", 0x0A}};

// Lower case letters and digits only: "Center-Weighted Average" and "center weighted average"
// are the same name.
std::string normalized(std::string_view text)
{
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte)) {
            result.push_back(static_cast<char>(std::tolower(byte)));
        }
    }
    return result;
}

std::optional<uint32_t> namedCode(const std::vector<NamedCode>& table, std::string_view text)
{
    const std::string name = normalized(text);
    for (const NamedCode& entry : table) {
        if (name == entry.name) {
            return entry.code;
        }
    }
    return std::nullopt;
}

// The code whose value is nearest, within the tolerance. Where two codes share a value (a
// third stop and a half stop of the same nominal setting), the third stop wins: cameras step
// in thirds unless told otherwise.
std::optional<uint32_t> numericCode(const std::vector<NumericCode>& table, double value, double tolerance,
                                    bool relative, double slack = 0)
{
    std::optional<uint32_t> best;
    double bestDistance = 0;
    for (const NumericCode& entry : table) {
        const double distance = std::fabs(entry.value - value);
        const double limit = std::max(relative ? tolerance * std::fabs(entry.value) : tolerance, slack);
        if (distance > limit) {
            continue;
        }
        const bool halfStop = (entry.code & 7) == 4;
        const bool bestIsHalfStop = best && (*best & 7) == 4;
        if (!best || distance < bestDistance - 1e-9 ||
            (std::fabs(distance - bestDistance) <= 1e-9 && bestIsHalfStop && !halfStop)) {
            best = entry.code;
            bestDistance = distance;
        }
    }
    return best;
}

// One unit of the text's last decimal: cameras round or cut their values, so "0.0012s" may
// stand for 1/800 s (0.00125) and "0.6" for two thirds of a stop. Every numeric table allows
// this much besides its own tolerance.
double roundingOf(std::string_view text)
{
    const size_t point = text.find('.');
    if (point == std::string_view::npos) {
        return 0;
    }
    size_t decimals = 0;
    while (point + 1 + decimals < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[point + 1 + decimals]))) {
        ++decimals;
    }
    return decimals == 0 ? 0 : std::pow(10.0, -static_cast<double>(decimals));
}

bool mentionsAuto(std::string_view text)
{
    return normalized(text).find("auto") != std::string::npos;
}

std::optional<uint32_t> saveTarget(std::string_view text)
{
    const std::string name = normalized(text);
    const bool host = name.find("ram") != std::string::npos || name.find("host") != std::string::npos ||
                      name.find("computer") != std::string::npos || name == "pc";
    const bool card = name.find("card") != std::string::npos;
    if (host && card) {
        return 3;
    }
    if (host) {
        return CAM_SAVE_TO_HOST;
    }
    if (card) {
        return CAM_SAVE_TO_CAMERA;
    }
    return std::nullopt;
}

} // namespace

const std::vector<MappedProperty>& mappedProperties()
{
    static const std::vector<MappedProperty> properties = {
        {CAM_PROP_AE_MODE, {"autoexposuremode", "expprogram", "autoexposuremodedial"}, true},
        {CAM_PROP_TV, {"shutterspeed", "shutterspeed2"}, true},
        {CAM_PROP_AV, {"aperture", "f-number"}, true},
        {CAM_PROP_ISO_SPEED, {"iso", "isospeed"}, true},
        {CAM_PROP_METERING_MODE, {"meteringmode", "exposuremetermode"}, true},
        {CAM_PROP_EXPOSURE_COMPENSATION, {"exposurecompensation"}, true},
        {CAM_PROP_IMAGE_QUALITY, {"imageformat", "imagequality"}, true},
        {CAM_PROP_WHITE_BALANCE, {"whitebalance"}, true},
        {CAM_PROP_PICTURE_STYLE, {"picturestyle"}, true},
        {CAM_PROP_EVF_AF_MODE, {"liveviewafmode", "afmethod"}, true},
        {CAM_PROP_SAVE_TO, {"capturetarget"}, true},
        {CAM_PROP_BATTERY_LEVEL, {"batterylevel"}, false},
    };
    return properties;
}

const MappedProperty* mappedProperty(CamPropertyID id)
{
    for (const MappedProperty& property : mappedProperties()) {
        if (property.id == id) {
            return &property;
        }
    }
    return nullptr;
}

std::optional<double> numberIn(std::string_view text)
{
    std::string cleaned(text);
    // Some cameras mark seconds with a double quote in place of the decimal point: 1"3 = 1.3 s.
    std::replace(cleaned.begin(), cleaned.end(), '"', '.');
    size_t start = cleaned.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    if ((cleaned[start] == 'f' || cleaned[start] == 'F') && start + 1 < cleaned.size()) {
        start += cleaned[start + 1] == '/' ? 2 : 1;
    }
    const char* begin = cleaned.c_str() + start;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) {
        return std::nullopt;
    }
    if (*end == '/') {
        char* denominatorEnd = nullptr;
        const double denominator = std::strtod(end + 1, &denominatorEnd);
        if (denominatorEnd == end + 1 || denominator == 0 || !std::isfinite(denominator)) {
            return std::nullopt;
        }
        return value / denominator;
    }
    return value;
}

std::optional<uint32_t> codeForChoice(CamPropertyID id, std::string_view text)
{
    switch (id) {
    case CAM_PROP_TV: {
        if (mentionsAuto(text)) {
            return 0x04;
        }
        const auto seconds = numberIn(text);
        return seconds && *seconds > 0 ? numericCode(kShutterSpeeds, *seconds, 0.03, true, roundingOf(text))
                                        : std::nullopt;
    }
    case CAM_PROP_AV: {
        if (mentionsAuto(text)) {
            return 0xFF;
        }
        const auto fNumber = numberIn(text);
        return fNumber && *fNumber > 0 ? numericCode(kApertures, *fNumber, 0.03, true, roundingOf(text))
                                        : std::nullopt;
    }
    case CAM_PROP_ISO_SPEED: {
        if (mentionsAuto(text)) {
            return 0x00;
        }
        const auto speed = numberIn(text);
        return speed && *speed > 0 ? numericCode(kIsoSpeeds, *speed, 0.005, true, roundingOf(text)) : std::nullopt;
    }
    case CAM_PROP_EXPOSURE_COMPENSATION: {
        const auto ev = numberIn(text);
        return ev ? numericCode(kCompensations, *ev, 0.06, false, roundingOf(text)) : std::nullopt;
    }
    case CAM_PROP_AE_MODE:
        return namedCode(kShootingModes, text);
    case CAM_PROP_METERING_MODE:
        return namedCode(kMeteringModes, text);
    case CAM_PROP_WHITE_BALANCE:
        return namedCode(kWhiteBalances, text);
    case CAM_PROP_IMAGE_QUALITY:
        return namedCode(kImageQualities, text);
    case CAM_PROP_PICTURE_STYLE:
        return namedCode(kPictureStyles, text);
    case CAM_PROP_EVF_AF_MODE:
        return namedCode(kLiveViewAfModes, text);
    case CAM_PROP_SAVE_TO:
        return saveTarget(text);
    default:
        return std::nullopt;
    }
}

std::optional<uint32_t> batteryPercent(std::string_view text)
{
    if (const auto number = numberIn(text); number && *number >= 0 && *number <= 100) {
        return static_cast<uint32_t>(std::lround(*number));
    }
    const std::string name = normalized(text);
    if (name == "full") {
        return 100;
    }
    if (name == "half" || name == "medium") {
        return 50;
    }
    if (name == "low") {
        return 20;
    }
    if (name == "empty") {
        return 0;
    }
    return std::nullopt;
}

} // namespace camsdk::gp
