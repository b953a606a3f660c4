// The portrait checker as a module of its own, loaded when a station first checks a picture:
// OpenCV and the libraries it brings are then loaded into a process that checks portraits,
// and into no other.
//
// Threading: a LoadedPortraitChecker is used by one thread at a time, as the checker itself.
#pragma once

#include "portrait/PortraitCheck.h"

#include <string>

namespace portrait {

// What the module exports under kCheckerModuleEntry; every function may throw as the
// checker's own constructor and check() do.
struct CheckerModuleFunctions {
    void* (*create)(const std::string& cascadeFolder);
    PortraitReport (*check)(const void* checker, const PictureView& picture, const PortraitLimits& limits,
                            bool checkFace);
    void (*destroy)(void* checker);
};

inline constexpr const char* kCheckerModuleName = "libvesk_portrait_checker.so";
inline constexpr const char* kCheckerModuleEntry = "vesk_portrait_checker_functions";

class LoadedPortraitChecker final {
public:
    // Loads the module (found through the caller's run path) and a checker from
    // `cascadeFolder` (empty: the system's). Throws std::runtime_error saying what failed.
    explicit LoadedPortraitChecker(const std::string& cascadeFolder = {});
    ~LoadedPortraitChecker();
    LoadedPortraitChecker(const LoadedPortraitChecker&) = delete;
    LoadedPortraitChecker& operator=(const LoadedPortraitChecker&) = delete;

    PortraitReport check(const PictureView& picture, const PortraitLimits& limits, bool checkFace) const;

private:
    const CheckerModuleFunctions* m_functions = nullptr;
    void* m_checker = nullptr;
};

} // namespace portrait
