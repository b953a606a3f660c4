// The acquisition form's configuration reader: where acquired files arrive and the
// attributes given to each imported object.
//
// Threading: runs on the host's thread.
#pragma once

#include "automation/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace adapter {

struct AdapterSettings {
    std::string m_sImportTempPath = "/var/tmp/cstemp/";
    std::string m_sObjectType = "Image";
    std::string m_sImportType = "DigitalCamera";
    std::string m_sImportMethod = "File";
    std::string m_sObjectFormat = "JFIF";
    std::string m_sCompression = "NONE";
    int16_t m_nCompressionLevel = 20;
};

// Reads "ImportTempPath" (group "0", "/" appended when missing; empty as absent) and the OS* keys of the
// station group into settings; an absent key gives its default. True on success; after an
// error shows "frmObjSrcCapture::ProcessConfig", a line break and the error's description
// and returns false. config is handed to the host by reference: the host may replace it.
bool ProcessConfig(AdapterSettings& settings, automation::Variant& config, std::string_view parentGroupId);

} // namespace adapter
