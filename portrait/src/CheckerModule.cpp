// The portrait checker's module: the checker behind the plain functions LoadedPortraitChecker
// calls, so that only the module links OpenCV.
//
// Threading: see CheckerModule.h.
#include "portrait/CheckerModule.h"

namespace {

void* create(const std::string& cascadeFolder)
{
    return new portrait::PortraitChecker(cascadeFolder);
}

portrait::PortraitReport check(const void* checker, const portrait::PictureView& picture,
                               const portrait::PortraitLimits& limits, bool checkFace)
{
    return static_cast<const portrait::PortraitChecker*>(checker)->check(picture, limits, checkFace);
}

void destroy(void* checker)
{
    delete static_cast<portrait::PortraitChecker*>(checker);
}

constexpr portrait::CheckerModuleFunctions kFunctions{create, check, destroy};

} // namespace

extern "C" __attribute__((visibility("default"))) const portrait::CheckerModuleFunctions*
vesk_portrait_checker_functions()
{
    return &kFunctions;
}
