// The built-in simulated world and the INI file that describes another one.
// Threading: pure functions (the profile reader locks its own file access).
#include "camsdk/Simulator.h"

#include "profile/Profile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace camsdk::sim {
namespace {

std::vector<uint32_t> range(std::initializer_list<uint32_t> values)
{
    return std::vector<uint32_t>(values);
}

// A number in decimal or 0x-hexadecimal, optionally negative (stored as its 32-bit pattern).
std::optional<int64_t> parseNumber(const std::string& text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

std::optional<uint32_t> parseValue(const std::string& text)
{
    const auto number = parseNumber(text);
    if (!number || *number < INT32_MIN || *number > static_cast<int64_t>(UINT32_MAX)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*number);
}

bool parseFlag(const std::string& text)
{
    return vesk::profile::equalsIgnoreCase(text, "Y") || vesk::profile::equalsIgnoreCase(text, "YES") ||
           vesk::profile::equalsIgnoreCase(text, "TRUE") || text == "1";
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void warn(const std::string& path, const std::string& section, const std::string& key, const std::string& value)
{
    std::fprintf(stderr, "camsdk: %s: [%s] %s=%s is not valid, the default is kept\n", path.c_str(),
                 section.c_str(), key.c_str(), value.c_str());
}

// Reads an integer key into `target` when present and within [minimum, maximum].
void readInt(const vesk::profile::ProfileDocument& document, const std::string& path,
             const std::string& section, const std::string& key, int minimum, int maximum, int& target)
{
    const auto text = document.value(section, key);
    if (!text) {
        return;
    }
    const auto number = parseNumber(*text);
    if (!number || *number < minimum || *number > maximum) {
        warn(path, section, key, *text);
        return;
    }
    target = static_cast<int>(*number);
}

// A decimal number such as 0.45 or 3, read the same whatever the process's locale.
std::optional<double> parseDecimal(const std::string& text)
{
    const std::string trimmed = trim(text);
    double value = 0.0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, value, std::chars_format::fixed);
    if (trimmed.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Reads a decimal key into `target` when present and within [minimum, maximum].
void readDecimal(const vesk::profile::ProfileDocument& document, const std::string& path,
                 const std::string& section, const std::string& key, double minimum, double maximum,
                 double& target)
{
    const auto text = document.value(section, key);
    if (!text) {
        return;
    }
    const auto number = parseDecimal(*text);
    if (!number || *number < minimum || *number > maximum) {
        warn(path, section, key, *text);
        return;
    }
    target = *number;
}

void readScene(const vesk::profile::ProfileDocument& document, const std::string& path, SceneConfig& scene)
{
    const std::string section = "Scene";
    if (const auto text = document.value(section, "FacePresent")) {
        // Y or N (also Yes/No, True/False, 1/0); anything else keeps the default.
        const std::string flag = trim(*text);
        if (parseFlag(flag)) {
            scene.facePresent = true;
        } else if (vesk::profile::equalsIgnoreCase(flag, "N") || vesk::profile::equalsIgnoreCase(flag, "NO") ||
                   vesk::profile::equalsIgnoreCase(flag, "FALSE") || flag == "0") {
            scene.facePresent = false;
        } else {
            warn(path, section, "FacePresent", *text);
        }
    }
    readDecimal(document, path, section, "FaceCentreX", 0.0, 1.0, scene.faceCentreX);
    readDecimal(document, path, section, "FaceCentreY", 0.0, 1.0, scene.faceCentreY);
    readDecimal(document, path, section, "FaceHeight", 0.05, 1.5, scene.faceHeight);
    readDecimal(document, path, section, "Blur", 0.0, 0.1, scene.blur);
    readDecimal(document, path, section, "Exposure", 0.05, 10.0, scene.exposure);
}

void readProperties(const vesk::profile::ProfileDocument& document, const std::string& path,
                    const std::string& section, BodyConfig& body)
{
    for (const std::string& key : document.keyNames(section)) {
        if (key.size() < 3 || key[0] != '0' || (key[1] != 'x' && key[1] != 'X')) {
            continue;
        }
        const std::string text = document.value(section, key).value_or("");
        const auto dot = key.find('.');
        const auto property = parseValue(key.substr(0, dot));
        if (!property) {
            warn(path, section, key, text);
            continue;
        }
        if (dot == std::string::npos) {
            if (vesk::profile::equalsIgnoreCase(text, "none")) {
                body.properties.erase(*property);
            } else if (const auto value = parseValue(text)) {
                body.properties[*property].value = *value;
            } else {
                warn(path, section, key, text);
            }
            continue;
        }
        if (!vesk::profile::equalsIgnoreCase(key.substr(dot + 1), "Allowed")) {
            warn(path, section, key, text);
            continue;
        }
        std::vector<uint32_t> allowed;
        std::stringstream items(text);
        std::string item;
        bool valid = true;
        while (std::getline(items, item, ',')) {
            const auto value = parseValue(trim(item));
            if (!value) {
                valid = false;
                break;
            }
            allowed.push_back(*value);
        }
        if (!valid || allowed.size() > CAM_MAX_PROPERTY_VALUES) {
            warn(path, section, key, text);
            continue;
        }
        body.properties[*property].allowed = std::move(allowed);
    }
}

} // namespace

BodyConfig makeDefaultBody()
{
    BodyConfig body;
    auto& p = body.properties;
    p[CAM_PROP_BATTERY_LEVEL] = {100, {}};
    p[CAM_PROP_SAVE_TO] = {CAM_SAVE_TO_CAMERA, range({1, 2, 3})};
    p[CAM_PROP_IMAGE_QUALITY] = {0x13FF0F, range({0x13FF0F, 0x12FF0F, 0x113FF0F, 0x112FF0F, 0x213FF0F, 0x212FF0F})};
    p[CAM_PROP_WHITE_BALANCE] = {0x00, range({0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x08, 0x09})};
    std::vector<uint32_t> temperatures;
    for (uint32_t kelvin = 2500; kelvin <= 10000; kelvin += 100) {
        temperatures.push_back(kelvin);
    }
    p[CAM_PROP_COLOR_TEMPERATURE] = {5200, temperatures};
    p[CAM_PROP_PICTURE_STYLE] = {0x81, range({0x81, 0x82, 0x83, 0x84, 0x85, 0x86})};
    p[CAM_PROP_DRIVE_MODE] = {0x00, range({0x00, 0x01})};
    p[CAM_PROP_ISO_SPEED] = {0x48, range({0x00, 0x48, 0x4B, 0x4D, 0x50, 0x53, 0x55, 0x58, 0x5B, 0x5D, 0x60,
                                          0x63, 0x65, 0x68, 0x6B, 0x6D, 0x70, 0x73, 0x75, 0x78})};
    p[CAM_PROP_METERING_MODE] = {0x03, range({0x01, 0x03, 0x04, 0x05})};
    p[CAM_PROP_AV] = {0x38, range({0x20, 0x23, 0x25, 0x28, 0x2B, 0x2D, 0x30, 0x33, 0x35, 0x38, 0x3B, 0x3D,
                                   0x40, 0x43, 0x45, 0x48, 0x4B, 0x4D, 0x50})};
    p[CAM_PROP_TV] = {0x70, range({0x60, 0x63, 0x65, 0x68, 0x6B, 0x6D, 0x70, 0x73, 0x75, 0x78, 0x7B, 0x7D,
                                   0x80, 0x83, 0x85, 0x88, 0x8B, 0x8D, 0x90, 0x93, 0x95, 0x98})};
    p[CAM_PROP_EXPOSURE_COMPENSATION] = {0x00, range({0xE8, 0xEB, 0xED, 0xF0, 0xF3, 0xF5, 0xF8, 0xFB, 0xFD, 0x00,
                                                      0x03, 0x05, 0x08, 0x0B, 0x0D, 0x10, 0x13, 0x15, 0x18})};
    p[CAM_PROP_AE_MODE] = {0x03, range({0x00, 0x01, 0x02, 0x03, 0x04})};
    p[CAM_PROP_EVF_OUTPUT_DEVICE] = {0, {}};
    p[CAM_PROP_EVF_MODE] = {0, range({0, 1})};
    p[CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW] = {0, range({0, 1})};
    p[CAM_PROP_EVF_ZOOM] = {1, range({1, 5})};
    p[CAM_PROP_EVF_AF_MODE] = {0x01, range({0x00, 0x01, 0x02})};
    return body;
}

std::string defaultPort(size_t index)
{
    char port[32];
    std::snprintf(port, sizeof port, "usb:001,%03zu", 4 + index);
    return port;
}

SimConfig makeDefaultConfig()
{
    SimConfig config;
    config.bodies.push_back(makeDefaultBody());
    return config;
}

SimConfig loadConfigFile(const std::string& path)
{
    SimConfig config;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::fprintf(stderr, "camsdk: simulator file %s not found, using the built-in camera\n", path.c_str());
        return makeDefaultConfig();
    }
    const auto document = vesk::profile::ProfileDocument::load(path);
    const std::string simulator = "Simulator";
    readInt(document, path, simulator, "PropertyEventDelayMs", 0, 60000, config.propertyEventDelayMs);
    readInt(document, path, simulator, "DownloadChunkBytes", 1, 64 * 1024 * 1024, config.downloadChunkBytes);
    readInt(document, path, simulator, "AutofocusDelayMs", 0, 60000, config.autofocusDelayMs);
    if (const auto prefix = document.value(simulator, "ImageFilePrefix")) {
        config.imageFilePrefix = *prefix;
    }
    int bodyCount = 1;
    readInt(document, path, simulator, "Bodies", 0, 16, bodyCount);
    readScene(document, path, config.scene);

    for (int index = 1; index <= bodyCount; ++index) {
        BodyConfig body = makeDefaultBody();
        body.port = defaultPort(static_cast<size_t>(index - 1));
        const std::string section = "Body" + std::to_string(index);
        if (const auto text = document.value(section, "Model")) {
            body.modelName = *text;
        }
        if (const auto text = document.value(section, "BodyID")) {
            body.bodyId = *text;
        }
        if (const auto text = document.value(section, "Port")) {
            body.port = *text;
        }
        int subType = static_cast<int>(body.deviceSubType);
        readInt(document, path, section, "SubType", 0, INT32_MAX, subType);
        body.deviceSubType = static_cast<uint32_t>(subType);
        if (const auto text = document.value(section, "Orientation")) {
            const auto number = parseNumber(*text);
            if (number && (*number == 1 || *number == 3 || *number == 6 || *number == 8)) {
                body.exifOrientation = static_cast<int>(*number);
            } else {
                warn(path, section, "Orientation", *text);
            }
        }
        readInt(document, path, section, "ShotWidth", 16, 12000, body.shotWidth);
        readInt(document, path, section, "ShotHeight", 16, 12000, body.shotHeight);
        readInt(document, path, section, "ShotQuality", 1, 100, body.shotQuality);
        readInt(document, path, section, "LiveViewWidth", 16, 4000, body.liveViewWidth);
        readInt(document, path, section, "LiveViewHeight", 16, 4000, body.liveViewHeight);
        readInt(document, path, section, "LiveViewFramesPerSecond", 0, 240, body.liveViewFramesPerSecond);
        readInt(document, path, section, "PhysicalShutterDelayMs", -1, 3600000, body.physicalShutterDelayMs);
        if (const auto text = document.value(section, "RejectsShutterButton")) {
            body.rejectsShutterButton = parseFlag(*text);
        }
        readProperties(document, path, section, body);
        config.bodies.push_back(std::move(body));
    }
    return config;
}

} // namespace camsdk::sim
