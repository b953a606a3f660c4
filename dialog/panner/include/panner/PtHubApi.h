// CPtHubApi: the capture dialog's way to the pan-tilt hub library. It loads the library at run
// time by its file name, resolves each of the six PT_* calls by name whenever it is made and
// forwards it; a missing library or call answers kPtHubUnavailable.
//
// Threading: one thread, the dialog's; the object itself is not locked.
#pragma once

#include "pthub/PtHub.h"

#include <cstdint>
#include <string>

namespace dialog {

// The platform's file name of the hub library, found through the normal library search path.
inline constexpr const char* kPtHubLibraryName = "libPtHub.so";
// What a forwarding call answers when the library is not loaded or lacks the call. The hub
// itself never answers it.
inline constexpr int32_t kPtHubUnavailable = 1;

class CPtHubApi {
public:
    // `libraryName` is a file name looked up on the search path, or a path.
    explicit CPtHubApi(std::string libraryName = kPtHubLibraryName);
    // Frees the library if it is still loaded, so that no path leaves it mapped.
    virtual ~CPtHubApi();

    CPtHubApi(const CPtHubApi&) = delete;
    CPtHubApi& operator=(const CPtHubApi&) = delete;

    // Frees a loaded library first, then loads it again. False when it cannot be loaded:
    // lastError() and lastErrorText() then say why.
    bool Load();
    // Frees the library when loaded; always true.
    bool Unload();

    bool isLoaded() const { return m_loaded; }
    // Code of the last failed load, 0 until one fails: errno when the loader set one, else
    // ELIBACC (glibc reports a missing file only in the text). lastErrorText() is the loader's message.
    uint32_t lastError() const { return m_lastError; }
    const std::string& lastErrorText() const { return m_lastErrorText; }
    const std::string& libraryName() const { return m_libraryName; }

    // The six calls, forwarded with their arguments; kPtHubUnavailable when the library is
    // not loaded or does not export the call.
    int32_t PT_ListDevices(const char*** serialCodes, uint32_t* count) const;
    int32_t PT_ConnectDevice(const char* serialCode, int32_t* handle) const;
    int32_t PT_CloseDevice(int32_t handle) const;
    int32_t PT_Move(int32_t handle, int32_t direction, int32_t untilStopped) const;
    int32_t PT_SetSpeed(int32_t handle, int32_t speed) const;
    int32_t PT_GetBatteryVoltage(int32_t handle, uint32_t* voltage) const;

private:
    // The named export as a pointer of the given type, or null.
    template <typename Function>
    Function* resolve(const char* name) const;

    std::string m_libraryName;
    uint32_t m_lastError = 0;
    std::string m_lastErrorText;
    bool m_loaded = false;
    void* m_library = nullptr;
};

} // namespace dialog
