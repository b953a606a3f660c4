// Error codes of the automation layer (HRESULT-style, 32-bit) and the exception that carries
// a code with its description, as automation errors travel between callers and objects.
//
// Threading: everything here is safe from any thread.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace automation {

using HResult = int32_t;

constexpr HResult hresultFromBits(uint32_t bits) { return static_cast<HResult>(bits); }
constexpr bool failed(HResult code) { return code < 0; }
constexpr bool succeeded(HResult code) { return code >= 0; }

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOTIMPL = hresultFromBits(0x80004001u);
inline constexpr HResult E_NOINTERFACE = hresultFromBits(0x80004002u);
inline constexpr HResult E_POINTER = hresultFromBits(0x80004003u);
inline constexpr HResult E_FAIL = hresultFromBits(0x80004005u);
inline constexpr HResult E_UNEXPECTED = hresultFromBits(0x8000FFFFu);
inline constexpr HResult E_OUTOFMEMORY = hresultFromBits(0x8007000Eu);
inline constexpr HResult E_INVALIDARG = hresultFromBits(0x80070057u);
inline constexpr HResult DISP_E_UNKNOWNINTERFACE = hresultFromBits(0x80020001u);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = hresultFromBits(0x80020003u);
inline constexpr HResult DISP_E_PARAMNOTFOUND = hresultFromBits(0x80020004u);
inline constexpr HResult DISP_E_TYPEMISMATCH = hresultFromBits(0x80020005u);
inline constexpr HResult DISP_E_UNKNOWNNAME = hresultFromBits(0x80020006u);
inline constexpr HResult DISP_E_BADVARTYPE = hresultFromBits(0x80020008u);
inline constexpr HResult DISP_E_EXCEPTION = hresultFromBits(0x80020009u);
inline constexpr HResult DISP_E_OVERFLOW = hresultFromBits(0x8002000Au);
inline constexpr HResult DISP_E_BADPARAMCOUNT = hresultFromBits(0x8002000Eu);
inline constexpr HResult CLASS_E_NOAGGREGATION = hresultFromBits(0x80040110u);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = hresultFromBits(0x80040111u);
inline constexpr HResult REGDB_E_READREGDB = hresultFromBits(0x80040150u);
inline constexpr HResult REGDB_E_WRITEREGDB = hresultFromBits(0x80040151u);
inline constexpr HResult REGDB_E_CLASSNOTREG = hresultFromBits(0x80040154u);
inline constexpr HResult SELFREG_E_TYPELIB = hresultFromBits(0x80040200u);
inline constexpr HResult SELFREG_E_CLASS = hresultFromBits(0x80040201u);
inline constexpr HResult CO_E_CLASSSTRING = hresultFromBits(0x800401F3u);
inline constexpr HResult CO_E_DLLNOTFOUND = hresultFromBits(0x800401F8u);
inline constexpr HResult CO_E_ERRORINDLL = hresultFromBits(0x800401F9u);

// The system's message for a code, or an empty text when the system has none.
std::string systemMessage(HResult code);

// The text shown for an automation error: the system's message; else, for an interface
// error code (0x80040201 to 0x8004FFFF), "IDispatch error #n" with n counted from
// 0x80040200; else "Unknown error 0x%0lX".
std::string errorMessage(HResult code);

class AutomationError final : public std::exception {
public:
    explicit AutomationError(HResult code, std::string description = {});

    HResult code() const noexcept { return m_code; }
    // The description given by the object that raised the error; may be empty.
    const std::string& description() const noexcept { return m_description; }
    // The description when there is one, else the error message of the code.
    std::string text() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    HResult m_code;
    std::string m_description;
    std::string m_what;
};

} // namespace automation
