// The host's configuration object: the path of its store file, and writing a value into it.
#include "HostObjects.h"

#include "hostapi/HostClasses.h"
#include "profile/Profile.h"

namespace host {

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

Configuration::Configuration()
{
    addMember("StorePath", kStorePathDispId, InvokeKind::PropertyGet, 0, [this](Arguments&) { return Variant(m_storePath); });
    addMember("StorePath", kStorePathDispId, InvokeKind::PropertyPut, 1, [this](Arguments& arguments) {
        m_storePath = arguments[0].toString();
        return Variant();
    });
    addMember("SetValue", kSetValueDispId, InvokeKind::Method, 3, [this](Arguments& arguments) {
        if (m_storePath.empty())
            throw automation::AutomationError(automation::E_FAIL, "The configuration has no store file.");
        if (!vesk::profile::writeString(m_storePath, arguments[0].toString(), arguments[1].toString(), arguments[2].toString()))
            throw automation::AutomationError(automation::E_FAIL, "The configuration store " + m_storePath + " cannot be written.");
        return Variant();
    });
}

} // namespace host
