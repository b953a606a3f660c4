// The form's file work against the real host classes: the import folder check and the
// filing of added images as numbered files with their image objects.
#include "adapter/ImageImport.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace adapter;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;
using hosting::PromptAnswer;

std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class ImageImport : public host_test::HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        m_settings.m_sImportTempPath = (m_folder / "import").string() + "/";
        m_settings.m_sCompression = "JPEG";
        m_settings.m_nCompressionLevel = 75;
        std::filesystem::create_directory(m_folder / "import");
    }
    std::string writeCapture(const std::string& text) const
    {
        const std::string path = (m_folder / "tmpCapture.jpg").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return path;
    }
    std::string missingFolderText(const std::string& folder) const
    {
        return "The destination directory does not exist [" + folder + "]\r\nPlease check your configuration and try again.";
    }

    AdapterSettings m_settings;
    hosting_test::RecordingPrompt m_prompt;
};

// Guards the numbering (from the set's count), the copy (each file holds the picture it was
// filed from, and an old 1.jpg of an earlier acquisition is replaced) and the nine
// properties, read back through the host's own classes.
TEST_F(ImageImport, FilesNumberedCopiesWithTheirNineProperties)
{
    std::ofstream(m_folder / "import" / "1.jpg") << "picture of an earlier acquisition";
    const automation::DispatchPtr set = newObjectSet();
    for (int index = 1; index <= 3; ++index) {
        fileImage(*set, m_settings, "jpg", writeCapture("picture " + std::to_string(index)));
        EXPECT_EQ(objectCount(*set), index);
    }
    for (int32_t index = 1; index <= 3; ++index) {
        const std::string name = std::to_string(index) + ".jpg";
        const std::string path = m_settings.m_sImportTempPath + name;
        EXPECT_EQ(contents(path), "picture " + std::to_string(index));
        const automation::DispatchPtr image =
            automation::invokeByName(*set, "Item", InvokeKind::PropertyGet, {Variant(index)}).toDispatch();
        const auto property = [&](const char* propertyName) {
            return automation::invokeByName(*image, propertyName, InvokeKind::PropertyGet);
        };
        EXPECT_EQ(property("FilePath").toString(), path);
        EXPECT_EQ(property("Name").toString(), name);
        EXPECT_EQ(property("ObjectClass").toInt32(), 23);
        EXPECT_EQ(property("ObjectType").toString(), "Image");
        EXPECT_EQ(property("ImportType").toString(), "DigitalCamera");
        EXPECT_EQ(property("ImportMethod").toString(), "File");
        EXPECT_EQ(property("ObjectFormat").toString(), "JFIF");
        EXPECT_EQ(property("Compression").toString(), "JPEG");
        EXPECT_EQ(property("CompressionLevel").valueType(), automation::VarType::Int16);
        EXPECT_EQ(property("CompressionLevel").toInt32(), 75);
    }
}

// A file that cannot be copied must not add an object: the set stays as it was.
TEST_F(ImageImport, AFailedCopyLeavesTheSetUnchanged)
{
    const automation::DispatchPtr set = newObjectSet();
    try {
        fileImage(*set, m_settings, "jpg", (m_folder / "nothing.jpg").string());
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), CTL_E_FILENOTFOUND);
        EXPECT_NE(error.description().find("nothing.jpg"), std::string::npos);
    }
    m_settings.m_sImportTempPath = (m_folder / "gone").string() + "/";
    EXPECT_THROW(fileImage(*set, m_settings, "jpg", writeCapture("x")), AutomationError);
    EXPECT_EQ(objectCount(*set), 0);
}

// Retry must test the folder again (here the operator creates it meanwhile); Cancel ends.
TEST_F(ImageImport, MissingFolderAsksRetryOrCancel)
{
    const std::string folder = (m_folder / "later").string() + "/";
    m_prompt.answers = {PromptAnswer::Retry, PromptAnswer::Retry};
    m_prompt.onShow = [&] {
        if (m_prompt.texts.size() == 2)
            std::filesystem::create_directory(folder);
    };
    EXPECT_TRUE(confirmImportFolder(folder));
    EXPECT_TRUE(confirmImportFolder(folder));
    ASSERT_EQ(m_prompt.texts.size(), 2u);
    EXPECT_EQ(m_prompt.texts[0], missingFolderText(folder));
    EXPECT_EQ(m_prompt.shownButtons[0], hosting::PromptButtons::RetryCancel);

    m_prompt.texts.clear();
    m_prompt.onShow = nullptr;
    m_prompt.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
    EXPECT_FALSE(confirmImportFolder("/nonexistent/vesk/"));
    EXPECT_EQ(m_prompt.texts.size(), 2u);
}

} // namespace
