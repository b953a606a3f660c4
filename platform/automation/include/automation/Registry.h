// Class factories, the class registry file (ProgID -> class ID -> module path) and object
// creation: createObject finds a class in the registry, loads its module and asks the
// module's exported DllGetClassObject for the factory.
//
// Threading: safe from any thread (the registry file and the loaded modules are guarded).
#pragma once

#include "automation/Dispatch.h"
#include "automation/Ref.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace automation {

// The interface name a module's DllGetClassObject hands out.
inline constexpr const char* kClassFactoryInterface = "IClassFactory";

class ClassFactory : public RefCounted {
public:
    virtual DispatchPtr createInstance() = 0;
};

template <class T>
class DefaultClassFactory final : public ClassFactory {
public:
    DispatchPtr createInstance() override { return makeRef<T>(); }
};

template <class T>
Ref<ClassFactory> defaultFactory()
{
    return makeRef<DefaultClassFactory<T>>();
}

// One creatable class of a module. Class IDs are written "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
// and compared without regard to case.
struct ClassInfo {
    const char* classId;
    const char* progId;
    const char* name;
    Ref<ClassFactory> (*createFactory)();
};

struct ClassEntry {
    std::string classId;
    std::string progId;
    std::string name;
    std::string modulePath;
};

// $VESK_REGISTRY when set, else ${XDG_CONFIG_HOME:-$HOME/.config}/Vesk/registry.ini.
std::string registryPath();

// A module's type library: its identifier, name, version, locale and help string. The
// registry keeps it under its identifier with the module that carries it.
struct TypeLibraryInfo {
    const char* libraryId;
    const char* name;
    const char* version;
    int32_t locale;
    const char* helpString;
};
// Writes the type library into the registry file; REGDB_E_WRITEREGDB on failure.
void registerTypeLibrary(const TypeLibraryInfo& info, const std::string& modulePath);
// Removes it; a library that is not registered is no error.
void unregisterTypeLibrary(const TypeLibraryInfo& info);
// The module registered for the type library, if any.
std::optional<std::string> findTypeLibraryModule(std::string_view libraryId);

// Writes the class into the registry file (folders created); REGDB_E_WRITEREGDB on failure.
void registerClass(const ClassInfo& info, const std::string& modulePath);
// Removes the class and its ProgID; a class that is not registered is no error.
void unregisterClass(const ClassInfo& info);
// Looks a class up by ProgID or by class ID.
std::optional<ClassEntry> findClass(std::string_view progIdOrClassId);

// Creates an object of a registered class. Failures raise AutomationError:
// REGDB_E_CLASSNOTREG (not in the registry), CO_E_DLLNOTFOUND (module cannot be loaded),
// CO_E_ERRORINDLL (module exports no DllGetClassObject), or the module's own code.
DispatchPtr createObject(std::string_view progIdOrClassId);

// Loads a module and runs its DllRegisterServer or DllUnregisterServer; returns its code,
// CO_E_DLLNOTFOUND or CO_E_ERRORINDLL.
HResult registerModule(const std::string& modulePath);
HResult unregisterModule(const std::string& modulePath);

// The work behind a module's exports (see ModuleExports.h). anchor is an address inside
// the module, used to find the module's own file.
namespace module {
HResult registerServer(std::span<const ClassInfo> classes, const void* anchor) noexcept;
HResult unregisterServer(std::span<const ClassInfo> classes) noexcept;
// The same for a module with a type library: the library first (SELFREG_E_TYPELIB when it
// fails), then the classes (SELFREG_E_CLASS).
HResult registerServer(const TypeLibraryInfo& library, std::span<const ClassInfo> classes, const void* anchor) noexcept;
HResult unregisterServer(const TypeLibraryInfo& library, std::span<const ClassInfo> classes) noexcept;
HResult getClassObject(std::span<const ClassInfo> classes, const char* classId, const char* interfaceId,
                       void** factory) noexcept;
} // namespace module

} // namespace automation
