// The hub's process-wide state: the devices, the open handles, the serial-code listings handed
// out, the journal and the injected faults, with the helper every C entry point runs through.
//
// Threading: `mutex` guards every member; the entry points and the control interface hold it
// for the whole of their work.
#pragma once

#include "pthub/PtHub.h"
#include "pthub/Simulator.h"

#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pthub::detail {

struct Device {
    sim::DeviceConfig config;
    int32_t direction = PT_DIRECTION_STOP;
    int32_t speed = 0;
    std::size_t openHandles = 0;
};

struct Fault {
    std::string function;
    int32_t code = 0;
    int remaining = 0;
};

// One array of serial codes handed out by PT_ListDevices. Built in place and never moved, so
// the pointers into `serialCodes` stay valid as long as the listing lives.
struct Listing {
    std::vector<std::string> serialCodes;
    std::vector<const char*> pointers; // one per serial code, then a null pointer
};

struct Hub {
    std::mutex mutex;

    bool worldLoaded = false;
    std::vector<Device> devices;
    std::map<int32_t, std::size_t> handles; // handle -> index into devices
    // Never reset, so that a handle from before a reset or reconfiguration stays invalid.
    int32_t nextHandle = 1;

    // Listings handed out, the current one last. Earlier ones stay because a caller may still
    // read them; a new one is made only when the serial codes changed, so they stay few.
    std::deque<Listing> listings;

    std::vector<Fault> faults;
    std::deque<sim::Call> journal;

    // Loads the hub named by VESK_PTHUB_SIM (or the built-in one) unless one is loaded.
    void ensureWorld();
    void replaceWorld(const sim::HubConfig& config);
    // A positive handle that is not open, in rising order (wrapping past INT32_MAX).
    int32_t newHandle();
    // The injected answer for a call of `function`, if a fault is armed (and used up by it).
    std::optional<int32_t> takeFault(const std::string& function);
    int32_t record(sim::Call call);
    // The device behind a handle, or null for a handle that is not open.
    Device* deviceOf(int32_t handle);
    Device* deviceNamed(const std::string& serialCode);
    Listing& currentListing();
};

Hub& hub();

// Runs one C entry point under the state lock and journals it. `call` carries the function
// name and the arguments; the device of a valid handle is added. `clearOutputs` empties the
// caller's outputs first, so that every failure leaves them cleared; then an injected fault
// answers, otherwise `work(hub, call)` answers and fills in what the journal shows. No
// exception crosses into the C caller: one thrown inside (memory running out) answers
// PT_ERR_INTERNAL.
template <typename ClearOutputs, typename Work>
int32_t journaledCall(sim::Call call, ClearOutputs&& clearOutputs, Work&& work)
{
    try {
        Hub& state = hub();
        std::lock_guard lock(state.mutex);
        state.ensureWorld();
        clearOutputs();
        if (const Device* device = state.deviceOf(call.handle)) {
            call.serialCode = device->config.serialCode;
        }
        if (const auto fault = state.takeFault(call.function)) {
            call.result = *fault;
        } else {
            call.result = work(state, call);
        }
        return state.record(std::move(call));
    } catch (const std::exception&) {
        clearOutputs();
        return PT_ERR_INTERNAL;
    }
}

} // namespace pthub::detail
