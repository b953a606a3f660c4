// The class registry file and object creation through loaded modules.
#include "automation/Registry.h"

#include "profile/Profile.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace automation {
namespace {

constexpr const char* kProgIdSection = "ProgIDs";
constexpr const char* kProgIdKey = "ProgID";
constexpr const char* kNameKey = "Name";
constexpr const char* kModuleKey = "Module";

using GetClassObjectFunction = int32_t (*)(const char*, const char*, void**);
using ServerFunction = int32_t (*)();

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return ".";
}

bool isClassId(std::string_view text)
{
    return !text.empty() && text.front() == '{';
}

// A loaded module. Loaded with RTLD_NODELETE: closing the handle never unmaps code that
// objects created by the module still run.
class Module final {
public:
    explicit Module(const std::string& path) : m_handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE))
    {
        if (!m_handle) {
            const char* reason = ::dlerror();
            m_error = reason ? reason : "unknown reason";
        }
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    ~Module()
    {
        if (m_handle)
            ::dlclose(m_handle);
    }

    bool loaded() const { return m_handle != nullptr; }
    const std::string& error() const { return m_error; }

    template <class Function>
    Function function(const char* name) const
    {
        void* symbol = ::dlsym(m_handle, name);
        Function result = nullptr;
        static_assert(sizeof result == sizeof symbol);
        std::memcpy(&result, &symbol, sizeof result);
        return result;
    }

private:
    void* m_handle;
    std::string m_error;
};

// Modules stay loaded for the life of the process once loaded.
const Module& loadModule(const std::string& path)
{
    static std::mutex mutex;
    static std::map<std::string, Module> modules;
    std::lock_guard lock(mutex);
    auto found = modules.find(path);
    if (found == modules.end() || !found->second.loaded()) {
        modules.erase(path);
        found = modules.try_emplace(path, path).first;
    }
    if (!found->second.loaded())
        throw AutomationError(CO_E_DLLNOTFOUND, "The module " + path + " cannot be loaded: " + found->second.error());
    return found->second;
}

HResult runServerFunction(const std::string& modulePath, const char* name)
{
    try {
        const Module& module = loadModule(modulePath);
        const auto function = module.function<ServerFunction>(name);
        if (!function)
            return CO_E_ERRORINDLL;
        return function();
    } catch (const AutomationError& error) {
        return error.code();
    }
}

// Loads the registry file (its folder created), lets change edit it and saves it, under the
// registry's lock and the file's own lock: two programs registering their modules at the same
// moment must not lose each other's entries.
template <class Change>
void editRegistry(Change&& change)
{
    const std::string path = registryPath();
    std::lock_guard lock(registryMutex());
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    std::exception_ptr failure;
    const bool saved = vesk::profile::update(path, [&](vesk::profile::ProfileDocument& document) {
        try {
            change(document);
            return true;
        } catch (...) {
            failure = std::current_exception();
            return false;
        }
    });
    if (failure)
        std::rethrow_exception(failure);
    if (!saved)
        throw AutomationError(REGDB_E_WRITEREGDB, "The class registry " + path + " cannot be written.");
}

} // namespace

std::string registryPath()
{
    const std::string explicitPath = environment("VESK_REGISTRY");
    if (!explicitPath.empty())
        return explicitPath;
    std::string configHome = environment("XDG_CONFIG_HOME");
    if (configHome.empty())
        configHome = homeFolder() + "/.config";
    return configHome + "/Vesk/registry.ini";
}

void registerTypeLibrary(const TypeLibraryInfo& info, const std::string& modulePath)
{
    editRegistry([&](vesk::profile::ProfileDocument& document) {
        if (!document.setValue(info.libraryId, kNameKey, info.name) || !document.setValue(info.libraryId, "Version", info.version)
            || !document.setValue(info.libraryId, "Locale", std::to_string(info.locale))
            || !document.setValue(info.libraryId, "HelpString", info.helpString)
            || !document.setValue(info.libraryId, kModuleKey, modulePath))
            throw AutomationError(REGDB_E_WRITEREGDB, "The type library " + std::string(info.name) + " cannot be entered in the registry.");
    });
}

void unregisterTypeLibrary(const TypeLibraryInfo& info)
{
    const std::string path = registryPath();
    std::lock_guard lock(registryMutex());
    if (!std::filesystem::exists(path))
        return;
    vesk::profile::ProfileDocument document = vesk::profile::ProfileDocument::load(path);
    if (document.removeSection(info.libraryId) && !document.save(path))
        throw AutomationError(REGDB_E_WRITEREGDB, "The class registry " + path + " cannot be written.");
}

std::optional<std::string> findTypeLibraryModule(std::string_view libraryId)
{
    std::lock_guard lock(registryMutex());
    return vesk::profile::ProfileDocument::load(registryPath()).value(libraryId, kModuleKey);
}

void registerClass(const ClassInfo& info, const std::string& modulePath)
{
    editRegistry([&](vesk::profile::ProfileDocument& document) {
        if (!document.setValue(kProgIdSection, info.progId, info.classId) || !document.setValue(info.classId, kProgIdKey, info.progId)
            || !document.setValue(info.classId, kNameKey, info.name) || !document.setValue(info.classId, kModuleKey, modulePath))
            throw AutomationError(REGDB_E_WRITEREGDB, "The class " + std::string(info.progId) + " cannot be entered in the class registry.");
    });
}

void unregisterClass(const ClassInfo& info)
{
    const std::string path = registryPath();
    std::lock_guard lock(registryMutex());
    if (!std::filesystem::exists(path))
        return;
    vesk::profile::ProfileDocument document = vesk::profile::ProfileDocument::load(path);
    bool changed = document.removeSection(info.classId);
    const std::optional<std::string> mapped = document.value(kProgIdSection, info.progId);
    if (mapped && vesk::profile::equalsIgnoreCase(*mapped, info.classId))
        changed = document.removeKey(kProgIdSection, info.progId) || changed;
    if (changed && !document.save(path))
        throw AutomationError(REGDB_E_WRITEREGDB, "The class registry " + path + " cannot be written.");
}

std::optional<ClassEntry> findClass(std::string_view progIdOrClassId)
{
    vesk::profile::ProfileDocument document;
    {
        std::lock_guard lock(registryMutex());
        document = vesk::profile::ProfileDocument::load(registryPath());
    }
    ClassEntry entry;
    if (isClassId(progIdOrClassId)) {
        entry.classId = std::string(progIdOrClassId);
    } else {
        const std::optional<std::string> classId = document.value(kProgIdSection, progIdOrClassId);
        if (!classId)
            return std::nullopt;
        entry.classId = *classId;
    }
    const std::optional<std::string> modulePath = document.value(entry.classId, kModuleKey);
    if (!modulePath || modulePath->empty())
        return std::nullopt;
    entry.modulePath = *modulePath;
    entry.progId = document.value(entry.classId, kProgIdKey).value_or(std::string());
    entry.name = document.value(entry.classId, kNameKey).value_or(std::string());
    return entry;
}

DispatchPtr createObject(std::string_view progIdOrClassId)
{
    const std::optional<ClassEntry> entry = findClass(progIdOrClassId);
    if (!entry)
        throw AutomationError(REGDB_E_CLASSNOTREG,
                              "Class not registered: " + std::string(progIdOrClassId) + " (registry " + registryPath() + ").");
    const Module& module = loadModule(entry->modulePath);
    const auto getClassObject = module.function<GetClassObjectFunction>("DllGetClassObject");
    if (!getClassObject)
        throw AutomationError(CO_E_ERRORINDLL, "The module " + entry->modulePath + " exports no DllGetClassObject.");
    void* raw = nullptr;
    const HResult code = getClassObject(entry->classId.c_str(), kClassFactoryInterface, &raw);
    if (failed(code) || !raw)
        throw AutomationError(failed(code) ? code : CLASS_E_CLASSNOTAVAILABLE,
                              "The module " + entry->modulePath + " cannot supply the class " + entry->classId + ".");
    const Ref<ClassFactory> factory = Ref<ClassFactory>::adopt(static_cast<ClassFactory*>(raw));
    DispatchPtr object = factory->createInstance();
    if (!object)
        throw AutomationError(CLASS_E_CLASSNOTAVAILABLE, "The class " + entry->classId + " created no object.");
    return object;
}

HResult registerModule(const std::string& modulePath)
{
    return runServerFunction(modulePath, "DllRegisterServer");
}

HResult unregisterModule(const std::string& modulePath)
{
    return runServerFunction(modulePath, "DllUnregisterServer");
}

} // namespace automation
