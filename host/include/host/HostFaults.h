// The stand-in host's fault injection and store redirection, by which tests drive its
// callers' error paths. Not part of the host's face to plug-ins.
//
// Threading: constants only.
#pragma once

namespace host {

// Fault injection: "KEY" or "*" (every key), optionally followed by ":CODE" (hexadecimal
// HRESULT, E_FAIL when omitted), makes GetSetting raise that error for the key. Read from the
// environment variable, or from the store's section kFaultSection, key kFaultKey.
inline constexpr const char* kFaultEnvironmentVariable = "VESK_HOST_FAIL_SETTINGS";
inline constexpr const char* kFaultSection = "VeskHost";
inline constexpr const char* kFaultKey = "FailSettings";
// Store redirection: when the store's section kFaultSection names another store file under
// kRedirectKey, GetSetting replaces the caller's configuration object (passed by reference)
// with one naming that store and reads the key from there, as a host that hands back its
// resolved configuration does.
inline constexpr const char* kRedirectKey = "RedirectStore";

} // namespace host
