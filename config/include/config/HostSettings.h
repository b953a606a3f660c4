// The control's reading of the host's settings: the hosting library's reader and value rules,
// with a missing SettingsReader class logged under the reading reader's tag.
//
// Threading: a reader is used on the thread that created it.
#pragma once

#include "hosting/HostSettings.h"

#include <optional>
#include <string>
#include <string_view>

namespace control {

using hosting::applyBool;
using hosting::applyFolder;
using hosting::applyNonEmptyText;
using hosting::applyNumber;
using hosting::applyText;
using hosting::compressionLevelOf;
using hosting::folderValue;
using hosting::isYes;
using hosting::leadingNumber;
using hosting::MissingSettingsReader;
using hosting::withTrailingSeparator;

class HostSettingsReader final {
public:
    // With TreatAsAbsent, a missing SettingsReader class is logged at level 1 under logTag.
    HostSettingsReader(std::string_view logTag, MissingSettingsReader whenMissing);

    std::optional<std::string> GetSetting(automation::Variant& config, std::string_view group, std::string_view key)
    {
        return m_reader.GetSetting(config, group, key);
    }

private:
    hosting::HostSettingsReader m_reader;
};

} // namespace control
