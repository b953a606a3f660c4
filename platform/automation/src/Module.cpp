// The work behind the exports of a module that offers automation classes.
#include "automation/Registry.h"

#include "profile/Profile.h"

#include <dlfcn.h>
#include <exception>
#include <filesystem>

namespace automation::module {
namespace {

// The module's own file, found from an address inside it.
std::string modulePathOf(const void* anchor)
{
    Dl_info info{};
    if (::dladdr(anchor, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname), error);
    return error ? std::string(info.dli_fname) : path.string();
}

} // namespace

HResult registerServer(std::span<const ClassInfo> classes, const void* anchor) noexcept
{
    try {
        const std::string path = modulePathOf(anchor);
        if (path.empty())
            return SELFREG_E_CLASS;
        for (const ClassInfo& info : classes)
            registerClass(info, path);
        return S_OK;
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
}

HResult registerServer(const TypeLibraryInfo& library, std::span<const ClassInfo> classes, const void* anchor) noexcept
{
    try {
        const std::string path = modulePathOf(anchor);
        if (path.empty())
            return SELFREG_E_TYPELIB;
        registerTypeLibrary(library, path);
    } catch (const std::exception&) {
        return SELFREG_E_TYPELIB;
    }
    return registerServer(classes, anchor);
}

HResult unregisterServer(const TypeLibraryInfo& library, std::span<const ClassInfo> classes) noexcept
{
    try {
        unregisterTypeLibrary(library);
    } catch (const std::exception&) {
        return SELFREG_E_TYPELIB;
    }
    return unregisterServer(classes);
}

HResult unregisterServer(std::span<const ClassInfo> classes) noexcept
{
    try {
        for (const ClassInfo& info : classes)
            unregisterClass(info);
        return S_OK;
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
}

HResult getClassObject(std::span<const ClassInfo> classes, const char* classId, const char* interfaceId,
                       void** factory) noexcept
{
    if (!classId || !factory)
        return E_POINTER;
    *factory = nullptr;
    if (interfaceId && !vesk::profile::equalsIgnoreCase(interfaceId, kClassFactoryInterface))
        return E_NOINTERFACE;
    try {
        for (const ClassInfo& info : classes) {
            if (!vesk::profile::equalsIgnoreCase(info.classId, classId))
                continue;
            Ref<ClassFactory> created = info.createFactory();
            if (!created)
                return CLASS_E_CLASSNOTAVAILABLE;
            *factory = static_cast<void*>(created.detach());
            return S_OK;
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_UNEXPECTED;
    }
}

} // namespace automation::module
