// Exports of a shared library that offers automation classes: DllRegisterServer,
// DllUnregisterServer, DllGetClassObject and DllCanUnloadNow with C linkage.
//
// Use once per module, at namespace scope, with a function returning the module's classes:
//     std::span<const automation::ClassInfo> moduleClasses();
//     VESK_AUTOMATION_MODULE_EXPORTS(moduleClasses)
//
// Threading: the exports may be called from any thread.
#pragma once

#include "automation/Registry.h"

#include <cstdint>

#define VESK_AUTOMATION_MODULE_EXPORTS(classListFunction)                                                       \
    namespace {                                                                                                \
    const char veskModuleAnchor = 0;                                                                           \
    }                                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer()                             \
    {                                                                                                          \
        return ::automation::module::registerServer(classListFunction(), &veskModuleAnchor);                   \
    }                                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer()                           \
    {                                                                                                          \
        return ::automation::module::unregisterServer(classListFunction());                                    \
    }                                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(                              \
        const char* classId, const char* interfaceId, void** factory)                                          \
    {                                                                                                          \
        return ::automation::module::getClassObject(classListFunction(), classId, interfaceId, factory);       \
    }                                                                                                          \
    /* Modules stay loaded once loaded, so unloading is never offered. */                                      \
    extern "C" __attribute__((visibility("default"))) int32_t DllCanUnloadNow()                               \
    {                                                                                                          \
        return ::automation::S_FALSE;                                                                          \
    }                                                                                                          \
    static_assert(true)
