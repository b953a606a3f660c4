// Control interface of the simulated pan-tilt hub behind the PT_* calls: tests and tools
// configure the devices and their battery voltage, inject faults and read back every call the
// hub was asked, with its moves and speeds, in order.
//
// Threading: every function may be called from any thread; the hub serializes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pthub::sim {

inline constexpr uint32_t kDefaultBatteryVoltage = 12000; // millivolts
inline constexpr std::size_t kMaxDevices = 16;
inline constexpr std::size_t kMaxSerialCodeLength = 64;

struct DeviceConfig {
    std::string serialCode;
    uint32_t batteryVoltage = kDefaultBatteryVoltage;
};

struct HubConfig {
    std::vector<DeviceConfig> devices;
};

// "PTH-0001" for the first device (index 0), "PTH-0002" for the second, ...
std::string defaultSerialCode(std::size_t index);
// The built-in hub: one device, "PTH-0001", at the default voltage.
HubConfig makeDefaultConfig();
// Reads an INI file; keys it lacks keep the built-in defaults, invalid values are reported on
// stderr and left out. A missing file gives the built-in hub.
HubConfig loadConfigFile(const std::string& path);

// A serial code the hub can hand out: 1 to kMaxSerialCodeLength printable characters.
bool isValidSerialCode(const std::string& serialCode);

// Replaces the devices of the hub. Open handles become invalid and the heads stand still.
// Throws std::invalid_argument for more than kMaxDevices devices, an invalid serial code or
// one used twice.
void configure(const HubConfig& config);
// Back to the hub named by VESK_PTHUB_SIM (or the built-in one, read at the next PT_* call),
// with no faults, no journal and no open handle. Tests call it in their set-up.
void reset();
// Changes the voltage a device reports from now on. Throws std::out_of_range for an unknown
// serial code.
void setBatteryVoltage(const std::string& serialCode, uint32_t millivolts);

// ---- Fault injection -----------------------------------------------------------------------
// The next `count` calls of `function` ("PT_ConnectDevice", ...) answer `code` and change
// nothing; their outputs are cleared as on any failure, so code 0 on PT_ConnectDevice is a
// success without a handle. Throws std::invalid_argument for a name that is not a PT_* call.
void injectFault(const std::string& function, int32_t code, int count = 1);
void clearFaults();

// ---- What the hub was asked ----------------------------------------------------------------
struct Call {
    std::string function;    // "PT_Move", ...
    std::string serialCode;  // PT_ConnectDevice's argument, or the device of a valid handle
    int32_t handle = 0;      // the handle argument, or the handle PT_ConnectDevice gave
    int32_t argument = 0;    // PT_Move: direction; PT_SetSpeed: speed
    int32_t argument2 = 0;   // PT_Move: its third argument
    uint32_t value = 0;      // reported: PT_ListDevices count, PT_GetBatteryVoltage voltage
    int32_t result = 0;
};
// The last 100000 calls, oldest first.
std::vector<Call> journal();
void clearJournal();

// What a device is doing now.
struct DeviceState {
    int32_t direction = 0;   // PT_DIRECTION_* bits of the running move, 0 when standing
    int32_t speed = 0;       // set by PT_SetSpeed; 0 until the first one
    uint32_t batteryVoltage = 0;
    std::size_t openHandles = 0;
};
std::optional<DeviceState> deviceState(const std::string& serialCode);
// Handles given by PT_ConnectDevice and not yet closed, over every device.
std::size_t openHandleCount();

} // namespace pthub::sim
