// Reading the host's settings: the host's SettingsReader class, created through the class
// registry and released when the reader goes, and the value rules shared by every
// configuration reader of the system (bool, number, text, folder).
//
// Threading: a reader is used on the thread that created it.
#pragma once

#include "automation/Dispatch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hosting {

// What a reader does when the host's SettingsReader class cannot be created.
enum class MissingSettingsReader {
    TreatAsAbsent,  // every key reads as absent; unavailableReason() says why
    Raise,          // raise the creation error to the caller
};

class HostSettingsReader final {
public:
    explicit HostSettingsReader(MissingSettingsReader whenMissing);
    HostSettingsReader(const HostSettingsReader&) = delete;
    HostSettingsReader& operator=(const HostSettingsReader&) = delete;

    // False when the host's class could not be created (and every key reads as absent).
    bool available() const { return static_cast<bool>(m_reader); }
    // The creation error's text when the class could not be created, else empty.
    const std::string& unavailableReason() const { return m_unavailableReason; }

    // The value of the key in the group, or nothing when the host reports it absent. Errors
    // of the host raise AutomationError. config itself goes to the host by reference, so
    // whatever the host writes through it reaches the caller.
    std::optional<std::string> GetSetting(automation::Variant& config, std::string_view group, std::string_view key);

private:
    automation::DispatchPtr m_reader;
    std::string m_unavailableReason;
};

// True for "Y" or "YES" in any letter case.
bool isYes(std::string_view text);
// The leading base-10 number (blanks, then an optional sign, then digits; 0 without digits),
// held to the signed 32-bit range.
int32_t leadingNumber(std::string_view text);
// The folder with "/" appended when it does not end with one ("" becomes "/").
std::string withTrailingSeparator(std::string folder);

// The value rules, each applied only to a present value.
void applyBool(const std::optional<std::string>& value, bool& setting);
void applyNumber(const std::optional<std::string>& value, int32_t& setting);      // taken when > 0
void applyNonEmptyText(const std::optional<std::string>& value, std::string& setting);
void applyText(const std::optional<std::string>& value, std::string& setting);
// A folder that is present but empty counts as absent: it would otherwise make "/" the folder.
void applyFolder(const std::optional<std::string>& value, std::string& setting);
// The folder value with "/" appended, or nothing when the key is absent or empty, so that the
// reader's own default applies.
std::optional<std::string> folderValue(const std::optional<std::string>& value);

// The compression level of saved pictures. The imaging control saves at JPEG quality
// 100 - level (held to 1 ... 100), so 1 ... 99 are the levels with distinct results.
inline constexpr int16_t kCompressionLevelDefault = 20;
inline constexpr int16_t kCompressionLevelMin = 1;
inline constexpr int16_t kCompressionLevelMax = 99;
// The level of an "OSCompressionLevel" text, one rule for the dialog that saves the picture
// and the adapter that records the level in the host's image object: the leading number when
// it is greater than 0, held to at most kCompressionLevelMax; otherwise the default.
int16_t compressionLevelOf(std::string_view text);

} // namespace hosting
