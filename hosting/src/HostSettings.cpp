// The host's SettingsReader through the automation layer, and the value rules.
#include "hosting/HostSettings.h"

#include "automation/Registry.h"
#include "hostapi/HostClasses.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace hosting {

using automation::Variant;

HostSettingsReader::HostSettingsReader(MissingSettingsReader whenMissing)
{
    try {
        m_reader = automation::createObject(host::kSettingsReaderClassId);
    } catch (const automation::AutomationError& error) {
        if (whenMissing == MissingSettingsReader::Raise)
            throw;
        m_unavailableReason = error.text();
    }
}

std::optional<std::string> HostSettingsReader::GetSetting(Variant& config, std::string_view group, std::string_view key)
{
    if (!m_reader)
        return std::nullopt;
    Variant valueSlot{std::string()};
    automation::Arguments arguments{Variant::reference(config), Variant(group), Variant(key), Variant::reference(valueSlot)};
    const Variant present = m_reader->invoke(host::kGetSettingDispId, automation::InvokeKind::Method, arguments);
    if (!present.toBool())
        return std::nullopt;
    return valueSlot.toString();
}

bool isYes(std::string_view text)
{
    std::string upper;
    for (const char c : text)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == "Y" || upper == "YES";
}

int32_t leadingNumber(std::string_view text)
{
    std::size_t position = 0;
    while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position])))
        ++position;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-'))
        negative = text[position++] == '-';
    int64_t number = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]))) {
        number = std::min(number * 10 + (text[position] - '0'), limit);
        ++position;
    }
    return static_cast<int32_t>(negative ? -number : number);
}

std::string withTrailingSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

void applyBool(const std::optional<std::string>& value, bool& setting)
{
    if (value)
        setting = isYes(*value);
}

void applyNumber(const std::optional<std::string>& value, int32_t& setting)
{
    if (!value)
        return;
    const int32_t number = leadingNumber(*value);
    if (number > 0)
        setting = number;
}

void applyNonEmptyText(const std::optional<std::string>& value, std::string& setting)
{
    if (value && !value->empty())
        setting = *value;
}

void applyText(const std::optional<std::string>& value, std::string& setting)
{
    if (value)
        setting = *value;
}

void applyFolder(const std::optional<std::string>& value, std::string& setting)
{
    if (const auto folder = folderValue(value))
        setting = *folder;
}

std::optional<std::string> folderValue(const std::optional<std::string>& value)
{
    if (!value || value->empty())
        return std::nullopt;
    return withTrailingSeparator(*value);
}

int16_t compressionLevelOf(std::string_view text)
{
    const int32_t number = leadingNumber(text);
    if (number <= 0)
        return kCompressionLevelDefault;
    return static_cast<int16_t>(std::min<int32_t>(number, kCompressionLevelMax));
}

} // namespace hosting
