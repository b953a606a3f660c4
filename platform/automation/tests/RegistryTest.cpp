// The class registry file and object creation through the real VeskHost module.
#include "automation/Registry.h"
#include "automation_test/ErrorCode.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace automation;
using automation_test::codeOf;

// The host module's settings reader and object set, as the registry records them: the
// identifiers are written out so that the registry is tested without the host's headers.
constexpr const char* kSettingsReaderProgId = "VeskHost.SettingsReader";
constexpr const char* kSettingsReaderClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B02}";
constexpr const char* kObjectSetClassId = "{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6B03}";
constexpr DispId kGetSettingDispId = 0x60030002;

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::filesystem::path m_folder;
};

// Puts an environment variable back as it was (set or unset) when the scope ends.
class RestoredVariable final {
public:
    explicit RestoredVariable(const char* name) : m_name(name)
    {
        if (const char* value = std::getenv(name))
            m_value = value;
    }
    RestoredVariable(const RestoredVariable&) = delete;
    RestoredVariable& operator=(const RestoredVariable&) = delete;
    ~RestoredVariable()
    {
        if (m_value)
            ::setenv(m_name, m_value->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_value;
};

// The later tests run with the environment the test runner gave, not the one left here.
TEST_F(Registry, PathFollowsTheEnvironment)
{
    const RestoredVariable home("HOME"), configHome("XDG_CONFIG_HOME"), registry("VESK_REGISTRY");
    ::setenv("VESK_REGISTRY", "/x/registry.ini", 1);
    EXPECT_EQ(registryPath(), "/x/registry.ini");
    ::unsetenv("VESK_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/config", 1);
    EXPECT_EQ(registryPath(), "/config/Vesk/registry.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/operator", 1);
    EXPECT_EQ(registryPath(), "/home/operator/.config/Vesk/registry.ini");
}

// Register the real module (folders created), create by ProgID and class ID, unregister,
// and creation must then fail as "class not registered".
TEST_F(Registry, RoundTripWithTheHostModule)
{
    const std::filesystem::path registry = m_folder / "nested" / "Vesk" / "registry.ini";
    ::setenv("VESK_REGISTRY", registry.c_str(), 1);
    ASSERT_EQ(registerModule(VESK_HOST_MODULE), S_OK);
    ASSERT_TRUE(std::filesystem::exists(registry));

    const std::optional<ClassEntry> entry = findClass(kSettingsReaderProgId);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->classId, kSettingsReaderClassId);
    EXPECT_EQ(entry->modulePath, std::filesystem::canonical(VESK_HOST_MODULE).string());
    const DispatchPtr byProgId = createObject("vesk" "host.settingsreader");
    ASSERT_TRUE(byProgId);
    EXPECT_EQ(byProgId->getIdsOfNames("GetSetting"), kGetSettingDispId);
    EXPECT_TRUE(createObject(kObjectSetClassId));

    ASSERT_EQ(unregisterModule(VESK_HOST_MODULE), S_OK);
    EXPECT_FALSE(findClass(kSettingsReaderProgId));
    EXPECT_EQ(codeOf([] { createObject(kSettingsReaderProgId); }), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(codeOf([] { createObject(kSettingsReaderClassId); }), REGDB_E_CLASSNOTREG);
    // Objects created before unregistering keep working: the module stays loaded.
    EXPECT_EQ(byProgId->getIdsOfNames("GetSetting"), kGetSettingDispId);
}

// Unregistering one module must not touch the rest of the registry.
TEST_F(Registry, UnregisterKeepsOtherEntries)
{
    const std::filesystem::path registry = m_folder / "registry.ini";
    ::setenv("VESK_REGISTRY", registry.c_str(), 1);
    std::ofstream(registry) << "; hand-written\n[ProgIDs]\nOther.Class={00000000-0000-0000-0000-000000000001}\n";
    ASSERT_EQ(registerModule(VESK_HOST_MODULE), S_OK);
    ASSERT_EQ(unregisterModule(VESK_HOST_MODULE), S_OK);
    std::ifstream file(registry);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "; hand-written\n[ProgIDs]\nOther.Class={00000000-0000-0000-0000-000000000001}\n");
}

// Guards against two programs registering their modules at the same moment (two stations
// started together) losing each other's entries: every class of every process is there.
TEST_F(Registry, ConcurrentProcessesKeepEachOthersEntries)
{
    const std::filesystem::path registry = m_folder / "registry.ini";
    ::setenv("VESK_REGISTRY", registry.c_str(), 1);
    constexpr int processes = 6;
    constexpr int classesEach = 10;
    std::vector<pid_t> children;
    for (int process = 0; process < processes; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int index = 0; index < classesEach; ++index) {
                const std::string progId = "Test.Class" + std::to_string(process) + "_" + std::to_string(index);
                char classId[64];
                std::snprintf(classId, sizeof classId, "{00000000-0000-0000-%04X-%012X}", process, index);
                try {
                    registerClass(ClassInfo{classId, progId.c_str(), "Test class", nullptr}, "/nowhere/lib.so");
                } catch (...) {
                    ::_exit(2);
                }
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int found = 0;
    for (int process = 0; process < processes; ++process) {
        for (int index = 0; index < classesEach; ++index) {
            found += findClass("Test.Class" + std::to_string(process) + "_" + std::to_string(index)) ? 1 : 0;
        }
    }
    EXPECT_EQ(found, processes * classesEach);
}

TEST_F(Registry, CreationFailuresCarryTheirCodes)
{
    const std::filesystem::path registry = m_folder / "registry.ini";
    ::setenv("VESK_REGISTRY", registry.c_str(), 1);
    std::ofstream(registry) << "[ProgIDs]\n"
                               "Gone.Class={00000000-0000-0000-0000-00000000000A}\n"
                               "Wrong.Class={5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6BFF}\n"
                               "[{00000000-0000-0000-0000-00000000000A}]\n"
                               "Module="
                            << (m_folder / "libMissing.so").string()
                            << "\n[{5B0F1C2A-7E43-4D8B-9A61-2C3E4F5A6BFF}]\nModule=" << VESK_HOST_MODULE << "\n";
    EXPECT_EQ(codeOf([] { createObject("Nobody.Class"); }), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(codeOf([] { createObject("Gone.Class"); }), CO_E_DLLNOTFOUND);
    EXPECT_EQ(codeOf([] { createObject("Wrong.Class"); }), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(registerModule((m_folder / "libMissing.so").string()), CO_E_DLLNOTFOUND);
}

} // namespace
