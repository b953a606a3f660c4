// The VeskHost module's class table and its registration exports.
#include "HostObjects.h"

#include "automation/ModuleExports.h"
#include "hostapi/HostClasses.h"

#include <array>

namespace {

std::span<const automation::ClassInfo> moduleClasses()
{
    static const std::array classes{
        automation::ClassInfo{host::kConfigurationClassId, host::kConfigurationProgId, "Vesk host configuration",
                              &automation::defaultFactory<host::Configuration>},
        automation::ClassInfo{host::kSettingsReaderClassId, host::kSettingsReaderProgId, "Vesk host settings reader",
                              &automation::defaultFactory<host::SettingsReader>},
        automation::ClassInfo{host::kObjectSetClassId, host::kObjectSetProgId, "Vesk host object set",
                              &automation::defaultFactory<host::ObjectSet>},
        automation::ClassInfo{host::kImageObjectClassId, host::kImageObjectProgId, "Vesk host image object",
                              &automation::defaultFactory<host::ImageObject>},
    };
    return classes;
}

} // namespace

VESK_AUTOMATION_MODULE_EXPORTS(moduleClasses);
