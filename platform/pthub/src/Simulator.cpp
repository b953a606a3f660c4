// The hub's control interface: configuration, fault injection and what tests read back.
// Threading: any thread; each function takes the hub's lock.
#include "pthub/Simulator.h"

#include "Hub.h"

#include <array>
#include <stdexcept>

namespace pthub::sim {
namespace {

using detail::Hub;
using detail::hub;

constexpr std::array<const char*, 6> kCallNames = {"PT_ListDevices", "PT_ConnectDevice", "PT_CloseDevice",
                                                   "PT_Move",        "PT_SetSpeed",      "PT_GetBatteryVoltage"};

void validate(const HubConfig& config)
{
    if (config.devices.size() > kMaxDevices) {
        throw std::invalid_argument("pthub: at most " + std::to_string(kMaxDevices) + " devices");
    }
    for (std::size_t index = 0; index < config.devices.size(); ++index) {
        const std::string& serialCode = config.devices[index].serialCode;
        if (!isValidSerialCode(serialCode)) {
            throw std::invalid_argument("pthub: invalid serial code \"" + serialCode + "\"");
        }
        for (std::size_t other = 0; other < index; ++other) {
            if (config.devices[other].serialCode == serialCode) {
                throw std::invalid_argument("pthub: serial code \"" + serialCode + "\" used twice");
            }
        }
    }
}

} // namespace

void configure(const HubConfig& config)
{
    validate(config);
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.replaceWorld(config);
}

void reset()
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.worldLoaded = false;
    state.devices.clear();
    state.handles.clear();
    state.faults.clear();
    state.journal.clear();
}

void setBatteryVoltage(const std::string& serialCode, uint32_t millivolts)
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.ensureWorld();
    detail::Device* device = state.deviceNamed(serialCode);
    if (!device) {
        throw std::out_of_range("pthub: no device \"" + serialCode + "\"");
    }
    device->config.batteryVoltage = millivolts;
}

void injectFault(const std::string& function, int32_t code, int count)
{
    bool known = false;
    for (const char* name : kCallNames) {
        known = known || function == name;
    }
    if (!known) {
        throw std::invalid_argument("pthub: no call named \"" + function + "\"");
    }
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    if (count > 0) {
        state.faults.push_back({function, code, count});
    }
}

void clearFaults()
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.faults.clear();
}

std::vector<Call> journal()
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    return {state.journal.begin(), state.journal.end()};
}

void clearJournal()
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.journal.clear();
}

std::optional<DeviceState> deviceState(const std::string& serialCode)
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    state.ensureWorld();
    const detail::Device* device = state.deviceNamed(serialCode);
    if (!device) {
        return std::nullopt;
    }
    return DeviceState{device->direction, device->speed, device->config.batteryVoltage, device->openHandles};
}

std::size_t openHandleCount()
{
    Hub& state = hub();
    std::lock_guard lock(state.mutex);
    return state.handles.size();
}

} // namespace pthub::sim
