// The hub's process-wide state and the helpers the C entry points and the control interface
// share.
// Threading: callers hold Hub::mutex (see Hub.h).
#include "Hub.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pthub::detail {
namespace {

constexpr std::size_t kJournalLimit = 100000;

} // namespace

Hub& hub()
{
    static Hub instance;
    return instance;
}

void Hub::ensureWorld()
{
    if (worldLoaded) {
        return;
    }
    const char* path = std::getenv("VESK_PTHUB_SIM");
    replaceWorld(path && *path ? sim::loadConfigFile(path) : sim::makeDefaultConfig());
}

void Hub::replaceWorld(const sim::HubConfig& config)
{
    devices.clear();
    for (const sim::DeviceConfig& device : config.devices) {
        devices.push_back(Device{device});
    }
    handles.clear();
    worldLoaded = true;
}

int32_t Hub::newHandle()
{
    int32_t handle = 0;
    do {
        handle = nextHandle;
        nextHandle = nextHandle == INT32_MAX ? 1 : nextHandle + 1;
    } while (handles.count(handle) != 0);
    return handle;
}

std::optional<int32_t> Hub::takeFault(const std::string& function)
{
    const auto fault = std::find_if(faults.begin(), faults.end(),
                                    [&](const Fault& candidate) { return candidate.function == function; });
    if (fault == faults.end()) {
        return std::nullopt;
    }
    const int32_t code = fault->code;
    if (--fault->remaining <= 0) {
        faults.erase(fault);
    }
    return code;
}

int32_t Hub::record(sim::Call call)
{
    if (journal.size() >= kJournalLimit) {
        journal.pop_front();
    }
    journal.push_back(std::move(call));
    return journal.back().result;
}

Device* Hub::deviceOf(int32_t handle)
{
    const auto found = handles.find(handle);
    return found == handles.end() ? nullptr : &devices.at(found->second);
}

Device* Hub::deviceNamed(const std::string& serialCode)
{
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [&](const Device& device) { return device.config.serialCode == serialCode; });
    return found == devices.end() ? nullptr : &*found;
}

Listing& Hub::currentListing()
{
    std::vector<std::string> serialCodes;
    for (const Device& device : devices) {
        serialCodes.push_back(device.config.serialCode);
    }
    if (!listings.empty() && listings.back().serialCodes == serialCodes) {
        return listings.back();
    }
    Listing& listing = listings.emplace_back();
    try {
        listing.pointers.reserve(serialCodes.size() + 1);
    } catch (...) {
        listings.pop_back(); // never leave a listing without its pointers behind
        throw;
    }
    listing.serialCodes = std::move(serialCodes);
    for (const std::string& serialCode : listing.serialCodes) {
        listing.pointers.push_back(serialCode.c_str());
    }
    listing.pointers.push_back(nullptr);
    return listing;
}

} // namespace pthub::detail
