// Dispatch calls by name and the member-table implementation of the dispatch interface.
#include "automation/Dispatch.h"

#include <cctype>
#include <exception>
#include <utility>

namespace automation {
namespace {

bool equalsIgnoreCase(std::string_view left, std::string_view right)
{
    if (left.size() != right.size())
        return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) != std::tolower(static_cast<unsigned char>(right[i])))
            return false;
    }
    return true;
}

} // namespace

void intrusiveAddRef(const Dispatch* object) noexcept { object->addRef(); }
void intrusiveRelease(const Dispatch* object) noexcept { object->release(); }

bool Dispatch::supportsInterface(std::string_view interfaceName) const
{
    return equalsIgnoreCase(interfaceName, "IDispatch");
}

Variant invokeByName(Dispatch& object, std::string_view name, InvokeKind kind, Arguments& arguments)
{
    return object.invoke(object.getIdsOfNames(name), kind, arguments);
}

Variant invokeByName(Dispatch& object, std::string_view name, InvokeKind kind, Arguments&& arguments)
{
    return invokeByName(object, name, kind, arguments);
}

void requireInterface(const Dispatch& object, std::string_view interfaceName)
{
    if (!object.supportsInterface(interfaceName))
        throw AutomationError(E_NOINTERFACE, "The object does not implement " + std::string(interfaceName) + ".");
}

void DispatchObject::addMember(std::string name, DispId id, InvokeKind kind, std::size_t parameterCount, Handler handler)
{
    m_members.push_back(Member{std::move(name), id, kind, parameterCount, std::move(handler)});
}

void DispatchObject::addInterface(std::string interfaceName)
{
    m_interfaces.push_back(std::move(interfaceName));
}

DispId DispatchObject::getIdsOfNames(std::string_view name) const
{
    for (const Member& member : m_members) {
        if (equalsIgnoreCase(member.name, name))
            return member.id;
    }
    throw AutomationError(DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(name) + ".");
}

const DispatchObject::Member* DispatchObject::findMember(DispId id, InvokeKind kind) const
{
    for (const Member& member : m_members) {
        if (member.id == id && member.kind == kind)
            return &member;
    }
    return nullptr;
}

Variant DispatchObject::invoke(DispId id, InvokeKind kind, Arguments& arguments)
{
    const Member* member = findMember(id, kind);
    // A property get may be called like a method, as automation clients do.
    if (!member && kind == InvokeKind::Method)
        member = findMember(id, InvokeKind::PropertyGet);
    if (!member)
        throw AutomationError(DISP_E_MEMBERNOTFOUND);
    if (arguments.size() != member->parameterCount)
        throw AutomationError(DISP_E_BADPARAMCOUNT,
                              member->name + " takes " + std::to_string(member->parameterCount) + " argument(s), "
                                  + std::to_string(arguments.size()) + " given.");
    try {
        return member->handler(arguments);
    } catch (const AutomationError&) {
        throw;
    } catch (const std::exception& error) {
        throw AutomationError(DISP_E_EXCEPTION, member->name + ": " + error.what());
    }
}

bool DispatchObject::supportsInterface(std::string_view interfaceName) const
{
    if (Dispatch::supportsInterface(interfaceName))
        return true;
    for (const std::string& name : m_interfaces) {
        if (equalsIgnoreCase(name, interfaceName))
            return true;
    }
    return false;
}

} // namespace automation
