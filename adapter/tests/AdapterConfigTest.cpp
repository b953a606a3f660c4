// The acquisition form's configuration reader against a real host store.
#include "adapter/AdapterConfig.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace adapter;

class AdapterConfig : public host_test::HostFixture {
protected:
    void expectDefaults() const
    {
        EXPECT_EQ(m_settings.m_sImportTempPath, "/var/tmp/cstemp/");
        EXPECT_EQ(m_settings.m_sObjectType, "Image");
        EXPECT_EQ(m_settings.m_sImportType, "DigitalCamera");
        EXPECT_EQ(m_settings.m_sImportMethod, "File");
        EXPECT_EQ(m_settings.m_sObjectFormat, "JFIF");
        EXPECT_EQ(m_settings.m_sCompression, "NONE");
        EXPECT_EQ(m_settings.m_nCompressionLevel, 20);
    }

    AdapterSettings m_settings;
    hosting_test::RecordingPrompt m_prompt;
};

TEST_F(AdapterConfig, AbsentKeysGiveTheDefaults)
{
    ASSERT_TRUE(ProcessConfig(m_settings, config(), "St1"));
    expectDefaults();
}

// Present keys are taken as they are (empty included); the folder gets its separator.
TEST_F(AdapterConfig, PresentKeysAreTakenAsText)
{
    setSetting("0", "ImportTempPath", "/data/import");
    setSetting("St1", "OSObjectType", "");
    setSetting("St1", "OSCompression", "JPEG");
    setSetting("St1", "OSCompressionLevel", "75");
    ASSERT_TRUE(ProcessConfig(m_settings, config(), "St1"));
    EXPECT_EQ(m_settings.m_sImportTempPath, "/data/import/");
    EXPECT_EQ(m_settings.m_sObjectType, "");
    EXPECT_EQ(m_settings.m_sCompression, "JPEG");
    EXPECT_EQ(m_settings.m_nCompressionLevel, 75);
}

// A key in the wrong group must not be used: the OS* keys come from the station only, the
// folder from group "0" only.
TEST_F(AdapterConfig, EachKeyIsReadFromItsOwnGroupOnly)
{
    for (const char* key : {"OSObjectType", "OSImportType", "OSImportMethod", "OSObjectFormat", "OSCompression",
                            "OSCompressionLevel"})
        setSetting("0", key, "99");
    setSetting("St1", "ImportTempPath", "/station/folder");
    ASSERT_TRUE(ProcessConfig(m_settings, config(), "St1"));
    expectDefaults();
}

// Guards against an empty folder value making "/" the import folder, where every acquired
// file would be copied.
TEST_F(AdapterConfig, EmptyImportFolderIsTheDefault)
{
    setSetting("0", "ImportTempPath", "");
    ASSERT_TRUE(ProcessConfig(m_settings, config(), "St1"));
    EXPECT_EQ(m_settings.m_sImportTempPath, "/var/tmp/cstemp/");
}

TEST_F(AdapterConfig, HostErrorShowsOperationAndDescription)
{
    ::setenv(host::kFaultEnvironmentVariable, "OSImportType", 1);
    EXPECT_FALSE(ProcessConfig(m_settings, config(), "St1"));
    EXPECT_EQ(m_prompt.texts,
              std::vector<std::string>{"frmObjSrcCapture::ProcessConfig\r\nThe host refused to read the setting OSImportType."});
    EXPECT_EQ(m_prompt.shownButtons[0], hosting::PromptButtons::Ok);
}

// Unlike the control's readers, the form reports a host without SettingsReader as an error.
TEST_F(AdapterConfig, MissingSettingsReaderIsAnError)
{
    ASSERT_EQ(automation::unregisterModule(VESK_HOST_MODULE), automation::S_OK);
    EXPECT_FALSE(ProcessConfig(m_settings, config(), "St1"));
    ASSERT_EQ(m_prompt.texts.size(), 1u);
    EXPECT_TRUE(m_prompt.texts[0].starts_with("frmObjSrcCapture::ProcessConfig\r\nClass not registered: {5B0F1C2A"));
}

} // namespace
