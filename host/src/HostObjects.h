// The host's automation classes (private to the VeskHost module; clients reach them through
// the class registry and the identifiers in HostClasses.h).
//
// Threading: each object is used on the thread that created it.
#pragma once

#include "automation/Dispatch.h"

#include <array>
#include <string>
#include <vector>

namespace host {

// The configuration object: names the store file of the host's configuration.
class Configuration final : public automation::DispatchObject {
public:
    Configuration();

private:
    std::string m_storePath;
};

class SettingsReader final : public automation::DispatchObject {
public:
    SettingsReader();

private:
    bool GetSetting(automation::Variant& config, const std::string& group, const std::string& key,
                    automation::Variant& value);
};

class ObjectSet final : public automation::DispatchObject {
public:
    ObjectSet();

private:
    std::vector<automation::DispatchPtr> m_objects;
};

class ImageObject final : public automation::DispatchObject {
public:
    ImageObject();

private:
    std::array<automation::Variant, 9> m_properties;
};

} // namespace host
