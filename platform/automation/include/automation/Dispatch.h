// The dispatch interface (members found by name, invoked by DISPID as method, property get
// or property put) and a base class that implements it from a member table.
//
// Threading: a dispatch object is called on the thread that owns it; only its reference
// count may be touched from other threads.
#pragma once

#include "automation/Error.h"
#include "automation/Ref.h"
#include "automation/Variant.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace automation {

using DispId = int32_t;

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// Arguments in the order of the member's parameters (the first parameter first). A by-
// reference parameter is a slot (Variant::reference) that the callee may write through.
using Arguments = std::vector<Variant>;

class Dispatch : public RefCounted {
public:
    // The DISPID of a member; DISP_E_UNKNOWNNAME when there is none. Names ignore case.
    virtual DispId getIdsOfNames(std::string_view name) const = 0;
    // Runs a member. Failures are raised as AutomationError (code and description are the
    // error information of the call).
    virtual Variant invoke(DispId id, InvokeKind kind, Arguments& arguments) = 0;
    // True when the object implements the named interface ("IDispatch" always).
    virtual bool supportsInterface(std::string_view interfaceName) const;
};

// Calls a member by name: getIdsOfNames, then invoke.
Variant invokeByName(Dispatch& object, std::string_view name, InvokeKind kind, Arguments& arguments);
Variant invokeByName(Dispatch& object, std::string_view name, InvokeKind kind, Arguments&& arguments = {});

// E_NOINTERFACE unless the object implements the interface.
void requireInterface(const Dispatch& object, std::string_view interfaceName);

// A dispatch class built from a table of members: derived classes add their members (name,
// DISPID, kind, parameter count, handler) in their constructors. Calls with a wrong number
// of arguments fail with DISP_E_BADPARAMCOUNT, unknown members with DISP_E_MEMBERNOTFOUND,
// and a standard exception escaping a handler becomes DISP_E_EXCEPTION.
class DispatchObject : public Dispatch {
public:
    using Handler = std::function<Variant(Arguments&)>;

    DispId getIdsOfNames(std::string_view name) const override;
    Variant invoke(DispId id, InvokeKind kind, Arguments& arguments) override;
    bool supportsInterface(std::string_view interfaceName) const override;

protected:
    DispatchObject() = default;

    void addMember(std::string name, DispId id, InvokeKind kind, std::size_t parameterCount, Handler handler);
    void addInterface(std::string interfaceName);

private:
    struct Member {
        std::string name;
        DispId id;
        InvokeKind kind;
        std::size_t parameterCount;
        Handler handler;
    };
    const Member* findMember(DispId id, InvokeKind kind) const;

    std::vector<Member> m_members;
    std::vector<std::string> m_interfaces;
};

} // namespace automation
