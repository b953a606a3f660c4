// Translation between a real camera's configuration choices (the texts libgphoto2 shows) and
// the property codes of the system's setting tables, for the properties the back end maps.
// Threading: pure functions and constant tables, callable from any thread.
#pragma once

#include "camsdk/CamSdk.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camsdk::gp {

// A property the back end maps onto one of the camera's configuration widgets.
struct MappedProperty {
    CamPropertyID id;
    // Widget names to try, in order; the first the camera has is used.
    std::vector<const char*> widgetNames;
    bool writable;
};

const std::vector<MappedProperty>& mappedProperties();
const MappedProperty* mappedProperty(CamPropertyID id);

// The property code for a choice text; empty when the system's table has no code for it.
std::optional<uint32_t> codeForChoice(CamPropertyID id, std::string_view text);

// The battery level in percent for the camera's battery text ("75%", "Full", ...).
std::optional<uint32_t> batteryPercent(std::string_view text);

// Parses the leading number of a text ("1/125", "f/5.6", "+0.7", "2.5s"); empty when none.
std::optional<double> numberIn(std::string_view text);

} // namespace camsdk::gp
