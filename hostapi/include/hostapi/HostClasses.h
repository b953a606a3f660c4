// Identifiers of the host's automation classes and their members, for clients that create
// them through the class registry.
//
// Threading: constants only.
#pragma once

#include "automation/Dispatch.h"

namespace host {

// The configuration object (cConfig): names the store file whose sections are the
// configuration groups ("0" and the station IDs).
inline constexpr const char* kConfigurationClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B01}";
inline constexpr const char* kConfigurationProgId = "VeskHost.Configuration";
inline constexpr automation::DispId kStorePathDispId = 1;   // property, text
inline constexpr automation::DispId kSetValueDispId = 2;    // method (group, key, value)

inline constexpr const char* kSettingsReaderClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B02}";
inline constexpr const char* kSettingsReaderProgId = "VeskHost.SettingsReader";
// GetSetting (configuration object by reference, group, key, value out by reference) -> bool.
inline constexpr automation::DispId kGetSettingDispId = 0x60030002;

inline constexpr const char* kObjectSetClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B03}";
inline constexpr const char* kObjectSetProgId = "VeskHost.ObjectSet";
inline constexpr automation::DispId kObjectSetAddDispId = 1;    // method (object)
inline constexpr automation::DispId kObjectSetCountDispId = 2;  // property get, 32-bit
inline constexpr automation::DispId kObjectSetItemDispId = 3;   // property get (1-based index)

inline constexpr const char* kImageObjectClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B04}";
inline constexpr const char* kImageObjectProgId = "VeskHost.ImageObject";

// The nine properties an object source sets on each image object, in the order it sets them.
struct ImageProperty {
    const char* name;
    automation::DispId id;
};
inline constexpr ImageProperty kImageProperties[] = {
    {"FilePath", 1},     {"Name", 2},         {"ObjectClass", 3},
    {"ObjectType", 4},   {"ImportType", 5},   {"ImportMethod", 6},
    {"ObjectFormat", 7}, {"Compression", 8},  {"CompressionLevel", 9},
};

} // namespace host
