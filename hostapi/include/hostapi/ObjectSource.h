// The host's object-source interface clsObjectSrc: the members a plug-in that acquires
// objects for the host implements, with their DISPIDs, and a base class that puts them into
// the dispatch table in the interface's order.
//
// Threading: called on the host's thread that owns the plug-in object.
#pragma once

#include "automation/Dispatch.h"

#include <cstdint>
#include <string>

namespace host {

inline constexpr const char* kObjectSourceInterface = "clsObjectSrc";

inline constexpr automation::DispId kLastErrorDispId = 0x60030000;     // property get -> object
inline constexpr automation::DispId kAcquireDispId = 0x60030001;       // (object by reference, bool) -> bool
inline constexpr automation::DispId kSetConfigDispId = 0x60030002;     // (object, text) -> bool
inline constexpr automation::DispId kWhiteBalanceDispId = 0x60030003;  // property get / let, 16-bit

class ObjectSource : public automation::DispatchObject {
protected:
    ObjectSource()
    {
        using automation::Arguments;
        using automation::InvokeKind;
        using automation::Variant;
        addInterface(kObjectSourceInterface);
        addMember("LastError", kLastErrorDispId, InvokeKind::PropertyGet, 0,
                  [this](Arguments&) { return Variant(LastError()); });
        addMember("Acquire", kAcquireDispId, InvokeKind::Method, 2, [this](Arguments& arguments) {
            if (!arguments[0].isReference())
                throw automation::AutomationError(automation::DISP_E_TYPEMISMATCH, "Acquire needs the object set by reference.");
            return Variant(Acquire(arguments[0].value(), arguments[1].toBool()));
        });
        addMember("SetConfig", kSetConfigDispId, InvokeKind::Method, 2, [this](Arguments& arguments) {
            return Variant(SetConfig(arguments[0].toDispatch(), arguments[1].toString()));
        });
        addMember("WhiteBalance", kWhiteBalanceDispId, InvokeKind::PropertyGet, 0,
                  [this](Arguments&) { return Variant(WhiteBalance()); });
        addMember("WhiteBalance", kWhiteBalanceDispId, InvokeKind::PropertyPut, 1, [this](Arguments& arguments) {
            SetWhiteBalance(arguments[0].toInt16());
            return Variant();
        });
    }

    virtual automation::DispatchPtr LastError() = 0;
    // objectSet is the caller's slot: the plug-in stores the set it hands back into it.
    virtual bool Acquire(automation::Variant& objectSet, bool multiMode) = 0;
    virtual bool SetConfig(automation::DispatchPtr config, std::string parentGroupId) = 0;
    virtual int16_t WhiteBalance() = 0;
    virtual void SetWhiteBalance(int16_t value) = 0;
};

} // namespace host
