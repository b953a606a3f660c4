// GetSetting: reads one key of a configuration group from the store file that the
// configuration object names, with fault injection for the callers' error paths.
#include "HostObjects.h"

#include "host/HostFaults.h"
#include "hostapi/HostClasses.h"
#include "profile/Profile.h"

#include <cstdlib>
#include <optional>

namespace host {
namespace {

using automation::AutomationError;
using automation::HResult;

struct Fault {
    std::string key;
    HResult code = automation::E_FAIL;
};

// "KEY" or "*", optionally ":CODE" in hexadecimal.
std::optional<Fault> parseFault(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    Fault fault;
    const std::size_t colon = text.rfind(':');
    fault.key = text.substr(0, colon);
    if (colon != std::string::npos) {
        const unsigned long bits = std::strtoul(text.c_str() + colon + 1, nullptr, 16);
        if (bits != 0)
            fault.code = automation::hresultFromBits(static_cast<uint32_t>(bits));
    }
    return fault;
}

void raiseInjectedFault(const vesk::profile::ProfileDocument& store, const std::string& key)
{
    std::optional<Fault> fault;
    if (const char* variable = std::getenv(kFaultEnvironmentVariable))
        fault = parseFault(variable);
    if (!fault)
        fault = parseFault(store.value(kFaultSection, kFaultKey).value_or(std::string()));
    if (fault && (fault->key == "*" || vesk::profile::equalsIgnoreCase(fault->key, key)))
        throw AutomationError(fault->code, "The host refused to read the setting " + key + ".");
}

} // namespace

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

SettingsReader::SettingsReader()
{
    addMember("GetSetting", kGetSettingDispId, InvokeKind::Method, 4, [this](Arguments& arguments) {
        if (!arguments[3].isReference())
            throw AutomationError(automation::DISP_E_TYPEMISMATCH, "GetSetting needs the value by reference.");
        return Variant(GetSetting(arguments[0], arguments[1].toString(), arguments[2].toString(), arguments[3]));
    });
}

bool SettingsReader::GetSetting(Variant& config, const std::string& group, const std::string& key, Variant& value)
{
    const automation::DispatchPtr configuration = config.toDispatch();
    if (!configuration)
        throw AutomationError(automation::E_POINTER, "No configuration object was given.");
    const std::string storePath = invokeByName(*configuration, "StorePath", InvokeKind::PropertyGet).toString();
    vesk::profile::ProfileDocument store = vesk::profile::ProfileDocument::load(storePath);
    raiseInjectedFault(store, key);
    if (const auto redirect = store.value(kFaultSection, kRedirectKey); redirect && !redirect->empty() && *redirect != storePath) {
        const auto replacement = automation::makeRef<Configuration>();
        invokeByName(*replacement, "StorePath", InvokeKind::PropertyPut, {Variant(*redirect)});
        config.assign(Variant(automation::DispatchPtr(replacement)));
        store = vesk::profile::ProfileDocument::load(*redirect);
    }
    const std::optional<std::string> found = store.value(group, key);
    if (!found)
        return false;
    value.assign(Variant(*found));
    return true;
}

} // namespace host
