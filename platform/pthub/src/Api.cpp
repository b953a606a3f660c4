// The six C entry points of the hub. Every call is journaled, may be answered by an injected
// fault before it changes anything, and clears its outputs whenever it fails.
// Threading: any thread; each call holds the hub's lock while it runs.
#include "Hub.h"

using pthub::detail::Device;
using pthub::detail::Hub;
using pthub::detail::journaledCall;
using pthub::sim::Call;

namespace {

Call callOf(const char* function, int32_t handle = 0, int32_t argument = 0, int32_t argument2 = 0)
{
    Call call;
    call.function = function;
    call.handle = handle;
    call.argument = argument;
    call.argument2 = argument2;
    return call;
}

// One vertical bit, at most one horizontal bit, or none (stop).
bool isValidDirection(int32_t direction)
{
    constexpr int32_t vertical = PT_DIRECTION_UP | PT_DIRECTION_DOWN;
    constexpr int32_t horizontal = PT_DIRECTION_LEFT | PT_DIRECTION_RIGHT;
    if ((direction & ~(vertical | horizontal)) != 0) {
        return false;
    }
    return (direction & vertical) != vertical && (direction & horizontal) != horizontal;
}

} // namespace

extern "C" {

int32_t PT_ListDevices(const char*** serialCodes, uint32_t* count)
{
    return journaledCall(
        callOf("PT_ListDevices"),
        [&] {
            if (serialCodes) {
                *serialCodes = nullptr;
            }
            if (count) {
                *count = 0;
            }
        },
        [&](Hub& hub, Call& call) -> int32_t {
            if (!serialCodes || !count) {
                return PT_ERR_INVALID_PARAMETER;
            }
            auto& listing = hub.currentListing();
            *serialCodes = listing.pointers.data();
            *count = static_cast<uint32_t>(listing.serialCodes.size());
            call.value = *count;
            return PT_OK;
        });
}

int32_t PT_ConnectDevice(const char* serialCode, int32_t* handle)
{
    Call request = callOf("PT_ConnectDevice");
    if (serialCode) {
        request.serialCode = serialCode;
    }
    return journaledCall(
        std::move(request),
        [&] {
            if (handle) {
                *handle = 0;
            }
        },
        [&](Hub& hub, Call& call) -> int32_t {
            if (!serialCode || !handle) {
                return PT_ERR_INVALID_PARAMETER;
            }
            Device* device = hub.deviceNamed(serialCode);
            if (!device) {
                return PT_ERR_DEVICE_NOT_FOUND;
            }
            const int32_t given = hub.newHandle();
            hub.handles.emplace(given, static_cast<std::size_t>(device - hub.devices.data()));
            ++device->openHandles;
            *handle = given;
            call.handle = given;
            return PT_OK;
        });
}

int32_t PT_CloseDevice(int32_t handle)
{
    return journaledCall(
        callOf("PT_CloseDevice", handle), [] {},
        [&](Hub& hub, Call&) -> int32_t {
            Device* device = hub.deviceOf(handle);
            if (!device) {
                return PT_ERR_INVALID_HANDLE;
            }
            hub.handles.erase(handle);
            if (--device->openHandles == 0) {
                device->direction = PT_DIRECTION_STOP; // nobody is left to stop it
            }
            return PT_OK;
        });
}

int32_t PT_Move(int32_t handle, int32_t direction, int32_t untilStopped)
{
    return journaledCall(
        callOf("PT_Move", handle, direction, untilStopped), [] {},
        [&](Hub& hub, Call&) -> int32_t {
            Device* device = hub.deviceOf(handle);
            if (!device) {
                return PT_ERR_INVALID_HANDLE;
            }
            if (!isValidDirection(direction) || untilStopped != PT_MOVE_UNTIL_STOPPED) {
                return PT_ERR_INVALID_PARAMETER;
            }
            device->direction = direction;
            return PT_OK;
        });
}

int32_t PT_SetSpeed(int32_t handle, int32_t speed)
{
    return journaledCall(
        callOf("PT_SetSpeed", handle, speed), [] {},
        [&](Hub& hub, Call&) -> int32_t {
            Device* device = hub.deviceOf(handle);
            if (!device) {
                return PT_ERR_INVALID_HANDLE;
            }
            if (speed < PT_SPEED_MIN || speed > PT_SPEED_MAX) {
                return PT_ERR_INVALID_PARAMETER;
            }
            device->speed = speed;
            return PT_OK;
        });
}

int32_t PT_GetBatteryVoltage(int32_t handle, uint32_t* voltage)
{
    return journaledCall(
        callOf("PT_GetBatteryVoltage", handle),
        [&] {
            if (voltage) {
                *voltage = 0;
            }
        },
        [&](Hub& hub, Call& call) -> int32_t {
            const Device* device = hub.deviceOf(handle);
            if (!device) {
                return PT_ERR_INVALID_HANDLE;
            }
            if (!voltage) {
                return PT_ERR_INVALID_PARAMETER;
            }
            *voltage = device->config.batteryVoltage;
            call.value = *voltage;
            return PT_OK;
        });
}

} // extern "C"
