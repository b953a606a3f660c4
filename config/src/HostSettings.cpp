// The control's host-settings reader: logs a missing SettingsReader class.
#include "config/HostSettings.h"

#include "config/LogFile.h"

namespace control {

HostSettingsReader::HostSettingsReader(std::string_view logTag, MissingSettingsReader whenMissing)
    : m_reader(whenMissing)
{
    if (!m_reader.available())
        logFile().Write(logTag, "SettingsReader unavailable, host settings read as absent: " + m_reader.unavailableReason(), 1);
}

} // namespace control
