// The host's object set: objects added by an object source, counted and listed.
#include "HostObjects.h"

#include "hostapi/HostClasses.h"

namespace host {

using automation::Arguments;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;

ObjectSet::ObjectSet()
{
    addMember("Add", kObjectSetAddDispId, InvokeKind::Method, 1, [this](Arguments& arguments) {
        automation::DispatchPtr object = arguments[0].toDispatch();
        if (!object)
            throw AutomationError(automation::E_POINTER, "No object was given to add.");
        m_objects.push_back(std::move(object));
        return Variant();
    });
    addMember("Count", kObjectSetCountDispId, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(static_cast<int32_t>(m_objects.size())); });
    addMember("Item", kObjectSetItemDispId, InvokeKind::PropertyGet, 1, [this](Arguments& arguments) {
        const int32_t index = arguments[0].toInt32();
        if (index < 1 || static_cast<std::size_t>(index) > m_objects.size())
            throw AutomationError(automation::E_INVALIDARG, "No object at index " + std::to_string(index) + ".");
        return Variant(m_objects[static_cast<std::size_t>(index) - 1]);
    });
}

} // namespace host
