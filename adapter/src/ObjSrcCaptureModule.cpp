// The VeskObjSrcCapture module's class table and its registration exports.
#include "adapter/ObjSrcCapture.h"
#include "adapter/ObjSrcCaptureIds.h"

#include "automation/ModuleExports.h"

#include <array>

namespace {

std::span<const automation::ClassInfo> moduleClasses()
{
    static const std::array classes{
        automation::ClassInfo{adapter::kObjSrcCaptureClassId, adapter::kObjSrcCaptureProgId, adapter::kObjSrcCaptureName,
                              &automation::defaultFactory<adapter::clsObjSrcCapture>},
    };
    return classes;
}

} // namespace

VESK_AUTOMATION_MODULE_EXPORTS(moduleClasses);
