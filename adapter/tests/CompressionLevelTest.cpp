// The compression level the adapter records in the host's image object against the level the
// capture dialog's reader gives the picture's save, for the same configuration text.
//
// Threading: test thread only.
#include "adapter/AdapterConfig.h"
#include "config/DialogConfig.h"
#include "config/LogFile.h"
#include "hosting/HostSettings.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class CompressionLevel : public host_test::HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        fs::create_directories(m_folder / "import");
        setSetting("0", "ImportTempPath", (m_folder / "import").string());
        control::logFile().setFolder(m_folder.string() + "/");
    }
    void TearDown() override
    {
        control::logFile().setFolder(control::kLogFolderDefault);
        HostFixture::TearDown();
    }
    hosting_test::RecordingPrompt m_prompt;
};

// Guards against a host record that names another level than the picture was saved with:
// text, negative numbers and numbers beyond 16 bits once gave the record 8 or the raw number
// while the save used the default or a 16-bit truncation. Every level is one the imaging
// control's save turns into a distinct JPEG quality (100 - level).
TEST_F(CompressionLevel, AdapterRecordsTheLevelTheDialogSavesWith)
{
    const std::pair<const char*, int> table[] = {
        {"20", 20},    {"75", 75},       {"99", 99},   {"100", 99},   {"abc", 20},   {"", 20},
        {"-1", 20},    {"0", 20},        {"-32768", 20}, {"32767", 99}, {"32768", 99}, {"40000", 99},
        {"65535", 99}, {"70000", 99},    {"2147483648", 99}, {"12.5", 12}, {"13.5", 13}, {" 12 ", 12},
        {"12abc", 12}, {"nan", 20},      {"inf", 20},  {"1e3", 1},
    };
    control::ProcessEnvironment environment{(m_folder / "bin" / "Host").string(), m_folder.string()};
    for (const auto& [text, level] : table) {
        setSetting("St1", "OSCompressionLevel", text);
        adapter::AdapterSettings recorded;
        ASSERT_TRUE(adapter::ProcessConfig(recorded, config(), "St1")) << text;
        control::CaptureSettings saved;
        ASSERT_EQ(control::ProcessConfig(saved, config(), "St1", environment), 0) << text;
        EXPECT_EQ(recorded.m_nCompressionLevel, level) << '"' << text << '"';
        EXPECT_EQ(saved.OSCompressionLevel, level) << '"' << text << '"';
        EXPECT_GE(level, hosting::kCompressionLevelMin);
        EXPECT_LE(level, hosting::kCompressionLevelMax);
    }
    EXPECT_TRUE(m_prompt.texts.empty());
}

} // namespace
