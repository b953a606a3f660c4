// Loading and freeing the pan-tilt hub library, and forwarding its calls by name.
// Threading: the dialog's thread only (see PtHubApi.h).
#include "panner/PtHubApi.h"

#include <cerrno>
#include <dlfcn.h>
#include <utility>

namespace dialog {
namespace {

// The dynamic loader reports failures as text; errno, when it set one, is the closest code.
// A failure that left errno untouched (glibc leaves it so even for a missing file) counts as
// "cannot access a needed shared library", so a failed load never reads as error 0.
uint32_t loadErrorCode(int errorNumber)
{
    return static_cast<uint32_t>(errorNumber != 0 ? errorNumber : ELIBACC);
}

} // namespace

CPtHubApi::CPtHubApi(std::string libraryName) : m_libraryName(std::move(libraryName)) {}

CPtHubApi::~CPtHubApi()
{
    Unload();
}

bool CPtHubApi::Load()
{
    Unload();
    dlerror();
    errno = 0;
    void* library = dlopen(m_libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    const int errorNumber = errno;
    if (!library) {
        const char* message = dlerror();
        m_lastError = loadErrorCode(errorNumber);
        m_lastErrorText = message ? message : m_libraryName + ": cannot be loaded";
        return false;
    }
    m_library = library;
    m_loaded = true;
    return true;
}

bool CPtHubApi::Unload()
{
    if (m_loaded && m_library) {
        dlclose(m_library);
    }
    m_library = nullptr;
    m_loaded = false;
    return true;
}

template <typename Function>
Function* CPtHubApi::resolve(const char* name) const
{
    if (!m_loaded || !m_library) {
        return nullptr;
    }
    // dlsym hands back an object pointer; POSIX guarantees it converts to the function's type.
    return reinterpret_cast<Function*>(dlsym(m_library, name));
}

int32_t CPtHubApi::PT_ListDevices(const char*** serialCodes, uint32_t* count) const
{
    const auto call = resolve<decltype(::PT_ListDevices)>("PT_ListDevices");
    return call ? call(serialCodes, count) : kPtHubUnavailable;
}

int32_t CPtHubApi::PT_ConnectDevice(const char* serialCode, int32_t* handle) const
{
    const auto call = resolve<decltype(::PT_ConnectDevice)>("PT_ConnectDevice");
    return call ? call(serialCode, handle) : kPtHubUnavailable;
}

int32_t CPtHubApi::PT_CloseDevice(int32_t handle) const
{
    const auto call = resolve<decltype(::PT_CloseDevice)>("PT_CloseDevice");
    return call ? call(handle) : kPtHubUnavailable;
}

int32_t CPtHubApi::PT_Move(int32_t handle, int32_t direction, int32_t untilStopped) const
{
    const auto call = resolve<decltype(::PT_Move)>("PT_Move");
    return call ? call(handle, direction, untilStopped) : kPtHubUnavailable;
}

int32_t CPtHubApi::PT_SetSpeed(int32_t handle, int32_t speed) const
{
    const auto call = resolve<decltype(::PT_SetSpeed)>("PT_SetSpeed");
    return call ? call(handle, speed) : kPtHubUnavailable;
}

int32_t CPtHubApi::PT_GetBatteryVoltage(int32_t handle, uint32_t* voltage) const
{
    const auto call = resolve<decltype(::PT_GetBatteryVoltage)>("PT_GetBatteryVoltage");
    return call ? call(handle, voltage) : kPtHubUnavailable;
}

} // namespace dialog
