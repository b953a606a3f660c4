// Loads the portrait checker's module. The module stays loaded once loaded (unloading OpenCV
// from a running process is not worth its risks).
//
// Threading: see CheckerModule.h.
#include "portrait/CheckerModule.h"

#include <dlfcn.h>

#include <stdexcept>

namespace portrait {

LoadedPortraitChecker::LoadedPortraitChecker(const std::string& cascadeFolder)
{
    void* module = ::dlopen(kCheckerModuleName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (module == nullptr) {
        const char* why = ::dlerror();
        throw std::runtime_error(std::string("cannot load ") + kCheckerModuleName + (why ? std::string(": ") + why : ""));
    }
    using Entry = const CheckerModuleFunctions* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(module, kCheckerModuleEntry));
    m_functions = entry ? entry() : nullptr;
    if (m_functions == nullptr) {
        throw std::runtime_error(std::string(kCheckerModuleName) + " has no " + kCheckerModuleEntry);
    }
    m_checker = m_functions->create(cascadeFolder);
}

LoadedPortraitChecker::~LoadedPortraitChecker()
{
    m_functions->destroy(m_checker);
}

PortraitReport LoadedPortraitChecker::check(const PictureView& picture, const PortraitLimits& limits,
                                            bool checkFace) const
{
    return m_functions->check(m_checker, picture, limits, checkFace);
}

} // namespace portrait
