// Windows profile semantics of the INI reader and writer.
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vesk::profile;

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vesk-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_path = (m_folder / "settings.ini").string();
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void writeFile(const std::string& text) const { std::ofstream(m_path, std::ios::binary) << text; }
    std::string readFile() const
    {
        std::ifstream file(m_path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path m_folder;
    std::string m_path;
};

// Guards against case-sensitive lookups: the system's keys are written in any case by hand.
TEST_F(ProfileFile, SectionsAndKeysMatchWithoutRegardToCase)
{
    writeFile("[Panner Settings]\r\nCC_PannerDevice = Head 1 \r\n");
    EXPECT_EQ(readString(m_path, "PANNER settings", "cc_pannerdevice", "none"), "Head 1");
}

TEST_F(ProfileFile, DefaultWhenFileSectionOrKeyIsAbsent)
{
    EXPECT_EQ(readString(m_path, "Settings", "ED_OkLabel", "&Ok"), "&Ok");  // no file
    writeFile("[Settings]\nED_CancelLabel=Stop\n[Other]\nED_OkLabel=Wrong section\n");
    EXPECT_EQ(readString(m_path, "Settings", "ED_OkLabel", "&Ok"), "&Ok");
    EXPECT_EQ(readString(m_path, "Missing", "ED_CancelLabel", "Cancel"), "Cancel");
    EXPECT_EQ(readInt(m_path, "Settings", "Absent", 42), 42);
}

// A present but empty value is a value, not an absent key.
TEST_F(ProfileFile, EmptyValueIsNotTheDefault)
{
    writeFile("[Settings]\nED_OkLabel=\n");
    EXPECT_EQ(readString(m_path, "Settings", "ED_OkLabel", "&Ok"), "");
    EXPECT_EQ(readInt(m_path, "Settings", "ED_OkLabel", 7), 0);
}

// Reads return at most bufferSize - 1 characters, defaults included.
TEST_F(ProfileFile, BufferLimitCutsValuesAndDefaults)
{
    writeFile("[S]\nlong=" + std::string(300, 'x') + "\nshort=abcdef\n");
    EXPECT_EQ(readString(m_path, "S", "long", "").size(), kDefaultBufferSize - 1);
    EXPECT_EQ(readString(m_path, "S", "short", "", 4), "abc");
    EXPECT_EQ(readString(m_path, "S", "absent", "defaults", 4), "def");
    EXPECT_EQ(readString(m_path, "S", "short", "", 0), "");
}

TEST_F(ProfileFile, OneMatchingPairOfQuotesIsDropped)
{
    writeFile("[S]\ndouble=\" spaced \"\nsingle='x'\nunmatched=\"x\nmixed=\"x'\n");
    EXPECT_EQ(readString(m_path, "S", "double", ""), " spaced ");
    EXPECT_EQ(readString(m_path, "S", "single", ""), "x");
    EXPECT_EQ(readString(m_path, "S", "unmatched", ""), "\"x");
    EXPECT_EQ(readString(m_path, "S", "mixed", ""), "\"x'");
}

// readInt takes the leading decimal number only; the integer settings rely on it.
TEST_F(ProfileFile, ReadIntTakesTheLeadingDecimalNumber)
{
    writeFile("[S]\ntrailing=12abc\nnegative=-7\nplus=+5\ntext=abc\nsign=-\nwrapped=4294967295\nblank= 9 \n");
    EXPECT_EQ(readInt(m_path, "S", "trailing", 1), 12);
    EXPECT_EQ(readInt(m_path, "S", "negative", 1), -7);
    EXPECT_EQ(readInt(m_path, "S", "plus", 1), 5);
    EXPECT_EQ(readInt(m_path, "S", "text", 1), 0);
    EXPECT_EQ(readInt(m_path, "S", "sign", 1), 0);
    EXPECT_EQ(readInt(m_path, "S", "wrapped", 1), -1);
    EXPECT_EQ(readInt(m_path, "S", "blank", 1), 9);
}

// Numbers of more than 32 bits keep exactly their low 32 bits, however long they are.
TEST_F(ProfileFile, ReadIntKeepsTheLow32BitsOfLongNumbers)
{
    writeFile("[S]\nnext=4294967296\neleven=99999999999\nnegative=-4294967297\nlong=123456789012345678901234567890\n");
    EXPECT_EQ(readInt(m_path, "S", "next", 1), 0);
    EXPECT_EQ(readInt(m_path, "S", "eleven", 1), 1215752191);  // 99999999999 - 23 * 2^32
    EXPECT_EQ(readInt(m_path, "S", "negative", 1), -1);
    EXPECT_EQ(readInt(m_path, "S", "long", 1), 1312754386);  // 30 digits modulo 2^32
}

// Only ';' starts a comment; '#' is an ordinary first character of a key.
TEST_F(ProfileFile, OnlySemicolonStartsAComment)
{
    writeFile("[S]\n#x=1\n;y=2\n");
    EXPECT_EQ(readString(m_path, "S", "#x", "absent"), "1");
    EXPECT_EQ(readString(m_path, "S", ";y", "absent"), "absent");
    EXPECT_EQ(ProfileDocument::load(m_path).keyNames("S"), std::vector<std::string>{"#x"});
}

TEST_F(ProfileFile, WriteCreatesFileAndSection)
{
    ASSERT_TRUE(writeString(m_path, "Camera 1", "PhotoCount", "3"));
    EXPECT_EQ(readString(m_path, "camera 1", "photocount", ""), "3");
    EXPECT_EQ(readFile(), "[Camera 1]\nPhotoCount=3\n");
}

// Guards against a writer that rewrites the file from its parsed keys and loses the rest.
TEST_F(ProfileFile, WriteChangesOnlyTheOneKey)
{
    writeFile("; photo counts\n"
              "[A]\n"
              "PhotoCount = 1\n"
              "\n"
              "# kept comment\n"
              "ModelName=\"Body \"\n"
              "[B]\n"
              "PhotoCount=9\n");
    ASSERT_TRUE(writeString(m_path, "a", "PHOTOCOUNT", "2"));
    ASSERT_TRUE(writeString(m_path, "A", "Added", "new"));
    EXPECT_EQ(readFile(), "; photo counts\n"
                          "[A]\n"
                          "PhotoCount=2\n"
                          "\n"
                          "# kept comment\n"
                          "ModelName=\"Body \"\n"
                          "Added=new\n"
                          "[B]\n"
                          "PhotoCount=9\n");
    EXPECT_EQ(readString(m_path, "A", "ModelName", ""), "Body ");
}

// Guards against a writer that turns a CR LF file (edited on Windows, shared with its tools)
// into one with LF line ends; a mixed file follows its first line.
TEST_F(ProfileFile, WriteKeepsTheLineEndsOfTheFirstLine)
{
    writeFile("; counts\r\n[A]\r\nPhotoCount=1\r\n\r\n[B]\r\nPhotoCount=9");
    ASSERT_TRUE(writeString(m_path, "A", "PhotoCount", "2"));
    ASSERT_TRUE(writeString(m_path, "B", "Added", "x"));
    ASSERT_TRUE(writeString(m_path, "C", "New", "y"));
    EXPECT_EQ(readFile(), "; counts\r\n[A]\r\nPhotoCount=2\r\n\r\n[B]\r\nPhotoCount=9\r\nAdded=x\r\n[C]\r\nNew=y\r\n");
    EXPECT_EQ(readString(m_path, "b", "photocount", ""), "9");

    writeFile("[A]\r\nOne=1\nTwo=2\r\n");
    ASSERT_TRUE(writeString(m_path, "A", "Two", "3"));
    EXPECT_EQ(readFile(), "[A]\r\nOne=1\r\nTwo=3\r\n");

    writeFile("[A]\nOne=1\r\nTwo=2\n");
    ASSERT_TRUE(writeString(m_path, "A", "Two", "3"));
    EXPECT_EQ(readFile(), "[A]\nOne=1\nTwo=3\n");
}

// Guards against entries that would break the file or add keys (a camera's Body ID is used
// as a section name): each is refused and the file stays as it was.
TEST_F(ProfileFile, UnsafeWritesAreRefusedAndChangeNothing)
{
    writeFile("[A]\nx=1\n");
    const struct {
        std::string section, key, value;
    } unsafe[] = {
        {"B]\n[A", "x", "2"}, {"B\r", "x", "2"}, {"B]", "x", "2"}, {"A", "x\ny", "2"}, {"A", "x\r", "2"},
        {"A", "y=x", "2"},     {"A", "", "2"},     {"A", "[B]", "2"}, {"A", ";x", "2"},  {"A", "x", "2\nz=3"},
        {"A", "x", "2\r"},     {"A", " [B]", "2"}, {"A", "\t;x", "2"}, {" A", "x", "2"}, {"A", "x ", "2"},
        {"Body 12 ", "x", "2"}, {"A", "x", std::string("2\0", 2)},
    };
    for (const auto& entry : unsafe) {
        EXPECT_FALSE(writeString(m_path, entry.section, entry.key, entry.value)) << entry.section << "/" << entry.key;
        EXPECT_EQ(readFile(), "[A]\nx=1\n");
    }
    EXPECT_FALSE(writeString((m_folder / "new.ini").string(), "A", "x", "1\n[B]"));
    EXPECT_FALSE(fs::exists(m_folder / "new.ini"));
    // Characters that are harmless inside a name or value are written as they are.
    ASSERT_TRUE(writeString(m_path, "Body [7 x", "k[1]", "a=b;c]"));
    EXPECT_EQ(readString(m_path, "body [7 X", "k[1]", ""), "a=b;c]");
    // Values that reading would trim or unquote are quoted on write and read back as given.
    ASSERT_TRUE(writeString(m_path, "A", "x", " padded "));
    EXPECT_EQ(readString(m_path, "A", "x", ""), " padded ");
}

// Guards against a save that replaces a symbolic link with a plain file.
TEST_F(ProfileFile, WriteThroughASymbolicLinkKeepsTheLink)
{
    fs::create_directory(m_folder / "real");
    std::ofstream(m_folder / "real" / "target.ini") << "[A]\nx=1\n";
    fs::create_symlink("real/target.ini", m_path);
    ASSERT_TRUE(writeString(m_path, "A", "y", "2"));
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_EQ(readFile(), "[A]\nx=1\ny=2\n");
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(m_folder / "real"), fs::directory_iterator()),
              std::vector<fs::path>{m_folder / "real" / "target.ini"});

    const std::string dangling = (m_folder / "dangling.ini").string();
    fs::create_symlink(m_folder / "real" / "created.ini", dangling);
    ASSERT_TRUE(writeString(dangling, "A", "x", "3"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(readString((m_folder / "real" / "created.ini").string(), "A", "x", ""), "3");
}

// Guards against a save that resets the file's permissions or hands it to the writer: a new
// file takes the usual mode under the umask, a rewritten one keeps its mode, owner and group.
TEST_F(ProfileFile, WriteKeepsModeAndOwnerAndNewFileHonoursUmask)
{
    const mode_t previous = ::umask(027);
    const bool created = writeString(m_path, "A", "x", "1");
    ::umask(previous);
    ASSERT_TRUE(created);
    EXPECT_EQ(fs::status(m_path).permissions(), fs::perms(0640));
    for (const fs::perms permissions : {fs::perms(0600), fs::perms(0644), fs::perms(0604)}) {
        fs::permissions(m_path, permissions);
        ASSERT_TRUE(writeString(m_path, "A", "x", "2"));
        EXPECT_EQ(fs::status(m_path).permissions(), permissions);
    }
    if (::geteuid() != 0)
        return;
    ASSERT_EQ(::chown(m_path.c_str(), 4321, 4322), 0);
    ASSERT_TRUE(writeString(m_path, "A", "x", "3"));
    struct stat status {};
    ASSERT_EQ(::stat(m_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 4322u);
}

TEST_F(ProfileFile, WriteIntoMissingFolderFails)
{
    EXPECT_FALSE(writeString((m_folder / "absent" / "x.ini").string(), "S", "k", "v"));
}

TEST_F(ProfileFile, DeleteKeyAndSection)
{
    writeFile("[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_TRUE(deleteKey(m_path, "a", "X"));
    EXPECT_FALSE(deleteKey(m_path, "A", "x"));
    EXPECT_TRUE(deleteSection(m_path, "b"));
    EXPECT_EQ(readFile(), "[A]\ny=2\n");
}

// Guards against lost updates when several threads write the same file.
TEST_F(ProfileFile, ConcurrentWritesAreAllKept)
{
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([this, thread] {
            for (int key = 0; key < 25; ++key)
                writeString(m_path, "T" + std::to_string(thread), "k" + std::to_string(key), std::to_string(key));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const ProfileDocument document = ProfileDocument::load(m_path);
    for (int thread = 0; thread < 4; ++thread)
        EXPECT_EQ(document.keyNames("T" + std::to_string(thread)).size(), 25u);
}

} // namespace
