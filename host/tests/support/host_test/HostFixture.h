// Test fixture: a private folder and class registry with the real VeskHost module
// registered, and a host configuration object whose store file lives in the folder; and what
// the tests that run programs share.
#pragma once

#include "automation/Registry.h"
#include "host/HostFaults.h"
#include "hostapi/HostClasses.h"
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace host_test {

inline std::filesystem::path makeTemporaryFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vesk-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    return pattern;
}

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command (its stderr joined to stdout by the caller) and collects what it prints.
inline ProgramRun runCommand(const std::string& command)
{
    ProgramRun result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[512];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, count);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        ::setenv("VESK_REGISTRY", (m_folder / "registry.ini").c_str(), 1);
        ::unsetenv(host::kFaultEnvironmentVariable);
        ASSERT_EQ(automation::registerModule(VESK_HOST_MODULE), automation::S_OK);
        m_storePath = (m_folder / "host.ini").string();
        m_config = automation::createObject(host::kConfigurationProgId);
        automation::invokeByName(*m_config, "StorePath", automation::InvokeKind::PropertyPut, {automation::Variant(m_storePath)});
        m_configVariant = automation::Variant(m_config);
    }
    void TearDown() override
    {
        ::unsetenv(host::kFaultEnvironmentVariable);
        std::filesystem::remove_all(m_folder);
    }

    void setSetting(const std::string& group, const std::string& key, const std::string& value) const
    {
        ASSERT_TRUE(vesk::profile::writeString(m_storePath, group, key, value));
    }
    // The caller's configuration Variant: readers hand it to the host by reference.
    automation::Variant& config() { return m_configVariant; }

    std::filesystem::path m_folder;
    std::string m_storePath;
    automation::DispatchPtr m_config;
    automation::Variant m_configVariant;
};

} // namespace host_test
