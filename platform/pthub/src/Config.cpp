// The built-in hub and the INI file that describes another one.
// Threading: pure functions (the profile reader locks its own file access).
#include "pthub/Simulator.h"

#include "profile/Profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace pthub::sim {
namespace {

// A decimal number within [minimum, maximum], or nothing.
std::optional<int64_t> parseNumber(const std::string& text, int64_t minimum, int64_t maximum)
{
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

void warn(const std::string& path, const std::string& section, const std::string& key, const std::string& value,
          const char* consequence)
{
    std::fprintf(stderr, "pthub: %s: [%s] %s=%s is not valid, %s\n", path.c_str(), section.c_str(), key.c_str(),
                 value.c_str(), consequence);
}

void readVoltage(const vesk::profile::ProfileDocument& document, const std::string& path,
                 const std::string& section, uint32_t& target)
{
    const auto text = document.value(section, "BatteryVoltage");
    if (!text) {
        return;
    }
    if (const auto number = parseNumber(*text, 0, UINT32_MAX)) {
        target = static_cast<uint32_t>(*number);
    } else {
        warn(path, section, "BatteryVoltage", *text, "the default is kept");
    }
}

} // namespace

std::string defaultSerialCode(std::size_t index)
{
    char text[32];
    std::snprintf(text, sizeof text, "PTH-%04zu", index + 1);
    return text;
}

HubConfig makeDefaultConfig()
{
    return HubConfig{{DeviceConfig{defaultSerialCode(0), kDefaultBatteryVoltage}}};
}

bool isValidSerialCode(const std::string& serialCode)
{
    return !serialCode.empty() && serialCode.size() <= kMaxSerialCodeLength &&
           std::all_of(serialCode.begin(), serialCode.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; });
}

HubConfig loadConfigFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::fprintf(stderr, "pthub: %s is not a readable file, the built-in hub is used\n", path.c_str());
        return makeDefaultConfig();
    }
    const auto document = vesk::profile::ProfileDocument::load(path);

    std::size_t deviceCount = 1;
    if (const auto text = document.value("Hub", "Devices")) {
        if (const auto number = parseNumber(*text, 0, static_cast<int64_t>(kMaxDevices))) {
            deviceCount = static_cast<std::size_t>(*number);
        } else {
            warn(path, "Hub", "Devices", *text, "the default is kept");
        }
    }
    uint32_t hubVoltage = kDefaultBatteryVoltage;
    readVoltage(document, path, "Hub", hubVoltage);

    HubConfig config;
    for (std::size_t index = 0; index < deviceCount; ++index) {
        const std::string section = "Device" + std::to_string(index + 1);
        DeviceConfig device{defaultSerialCode(index), hubVoltage};
        if (const auto text = document.value(section, "SerialCode")) {
            device.serialCode = *text;
        }
        const bool taken = std::any_of(config.devices.begin(), config.devices.end(),
                                       [&](const DeviceConfig& other) { return other.serialCode == device.serialCode; });
        if (!isValidSerialCode(device.serialCode) || taken) {
            warn(path, section, "SerialCode", device.serialCode, "the device is left out");
            continue;
        }
        readVoltage(document, path, section, device.batteryVoltage);
        config.devices.push_back(std::move(device));
    }
    return config;
}

} // namespace pthub::sim
