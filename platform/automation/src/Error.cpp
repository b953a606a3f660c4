// Message texts of the automation error codes.
#include "automation/Error.h"

#include <array>
#include <cstdio>
#include <utility>

namespace automation {
namespace {

struct CodeText {
    HResult code;
    const char* text;
};

constexpr std::array kMessages{
    CodeText{E_NOTIMPL, "Not implemented"},
    CodeText{E_NOINTERFACE, "No such interface supported"},
    CodeText{E_POINTER, "Invalid pointer"},
    CodeText{E_FAIL, "Unspecified error"},
    CodeText{E_UNEXPECTED, "Catastrophic failure"},
    CodeText{E_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    CodeText{E_INVALIDARG, "The parameter is incorrect."},
    CodeText{DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    CodeText{DISP_E_MEMBERNOTFOUND, "Member not found."},
    CodeText{DISP_E_PARAMNOTFOUND, "Parameter not found."},
    CodeText{DISP_E_TYPEMISMATCH, "Type mismatch."},
    CodeText{DISP_E_UNKNOWNNAME, "Unknown name."},
    CodeText{DISP_E_BADVARTYPE, "Bad variable type."},
    CodeText{DISP_E_EXCEPTION, "Exception occurred."},
    CodeText{DISP_E_OVERFLOW, "Out of present range."},
    CodeText{DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    CodeText{CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)"},
    CodeText{CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class"},
    CodeText{REGDB_E_READREGDB, "Could not read key from registry"},
    CodeText{REGDB_E_WRITEREGDB, "Could not write key to registry"},
    CodeText{REGDB_E_CLASSNOTREG, "Class not registered"},
    CodeText{CO_E_CLASSSTRING, "Invalid class string"},
    CodeText{CO_E_DLLNOTFOUND, "DLL for class not found"},
    CodeText{CO_E_ERRORINDLL, "Error in the DLL"},
};

// Interface error codes numbered from 0x80040200; that base itself has no number of its own.
constexpr uint32_t kInterfaceErrorBase = 0x80040200u;
constexpr uint32_t kLastInterfaceError = 0x8004FFFFu;

} // namespace

std::string systemMessage(HResult code)
{
    for (const CodeText& entry : kMessages) {
        if (entry.code == code)
            return entry.text;
    }
    return {};
}

std::string errorMessage(HResult code)
{
    std::string message = systemMessage(code);
    if (!message.empty())
        return message;
    const auto bits = static_cast<uint32_t>(code);
    char buffer[64];
    if (bits > kInterfaceErrorBase && bits <= kLastInterfaceError)
        std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>(bits - kInterfaceErrorBase));
    else
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(bits));
    return buffer;
}

AutomationError::AutomationError(HResult code, std::string description)
    : m_code(code), m_description(std::move(description))
{
    m_what = text();
}

std::string AutomationError::text() const
{
    return m_description.empty() ? errorMessage(m_code) : m_description;
}

} // namespace automation
