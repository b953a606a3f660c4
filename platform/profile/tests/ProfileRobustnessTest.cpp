// Profile files under hostile input and hostile neighbours: names that would not read back,
// several writing processes, planted links, read-only files and FIFOs. Cases that could hang
// run in a forked child so that a hang ends as a failure.
#include "profile/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace vesk::profile;

// Runs body in a forked child killed after timeoutSeconds: its exit code, or minus the signal
// that ended it.
int runInChild(const std::function<int()>& body, unsigned timeoutSeconds)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(timeoutSeconds);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Every section with its keys and values, in file order: what a reader of the file sees.
using Contents = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

Contents contentsOf(const ProfileDocument& document)
{
    Contents contents;
    for (const std::string& section : document.sectionNames()) {
        contents.emplace_back(section, std::vector<std::pair<std::string, std::string>>{});
        for (const std::string& key : document.keyNames(section))
            contents.back().second.emplace_back(key, document.value(section, key).value_or("<absent>"));
    }
    return contents;
}

// The contents after a write of section/key = value that changed nothing else.
Contents withEntry(Contents contents, const std::string& section, const std::string& key, const std::string& value)
{
    for (auto& [name, keys] : contents) {
        if (!equalsIgnoreCase(name, section))
            continue;
        for (auto& [keyName, keyValue] : keys) {
            if (equalsIgnoreCase(keyName, key)) {
                keyValue = value;
                return contents;
            }
        }
        keys.emplace_back(key, value);
        return contents;
    }
    contents.emplace_back(section, std::vector<std::pair<std::string, std::string>>{{key, value}});
    return contents;
}

// Names built from blanks, brackets, comment and quote characters, line ends and NUL around
// ordinary cores: 17 x 10 x 17 of them.
std::vector<std::string> hostileNames()
{
    const std::vector<std::string> affixes = {"",  " ", "\t", " \t ", "[",  "]",  "=",  ";",  "\"",
                                              "'", "#", "\r", "\n",   "\r\n", std::string(1, '\0'), "\v", "\xC3\xA9"};
    const std::vector<std::string> cores = {"", "A", "Settings", "PhotoCount", "x y", "[B]", "k=v", "a]b", ";x", "\"q\""};
    std::vector<std::string> names;
    for (const std::string& prefix : affixes) {
        for (const std::string& core : cores) {
            for (const std::string& suffix : affixes)
                names.push_back(prefix + core + suffix);
        }
    }
    return names;
}

const char* const kBaseFile = "; photo counts\n"
                              "Global=1\n"
                              "[Settings]\n"
                              "ED_OkLabel = &Ok\n"
                              "\n"
                              "ED_CancelLabel=\" Stop \"\n"
                              "[Panner Settings]\n"
                              ";CC_PannerDevice=commented out\n"
                              "CC_PannerRotation=90\n"
                              "[S]\n"
                              "k=old\n";

// Guards against entries that do not read back as written (blanks around a name, a key that
// turns into a section or a comment, quotes that vanish) and against entries that change
// other sections or keys: every generated name, used as section, key and value, is either
// refused with the document unchanged, or reads back exactly with nothing else changed.
TEST(ProfileHostileNames, EveryEntryIsRefusedOrReadsBackExactly)
{
    const ProfileDocument base = ProfileDocument::parse(kBaseFile);
    const Contents baseContents = contentsOf(base);
    ASSERT_EQ(baseContents.size(), 3u);
    int refused = 0;
    int written = 0;
    const auto check = [&](const std::string& section, const std::string& key, const std::string& value) {
        ProfileDocument document = base;
        if (!document.setValue(section, key, value)) {
            ++refused;
            EXPECT_EQ(document.text(), base.text());
            return;
        }
        ++written;
        const ProfileDocument reread = ProfileDocument::parse(document.text());
        EXPECT_EQ(reread.value(section, key), value) << "[" << section << "] " << key << "=" << value;
        EXPECT_EQ(contentsOf(reread), withEntry(baseContents, section, key, value))
            << "[" << section << "] " << key << "=" << value;
    };
    for (const std::string& name : hostileNames()) {
        check(name, "PhotoCount", "1");
        check("S", name, "1");
        check("S", "k", name);
        check("Settings", name, name);
    }
    // Plain names are still written, blanks inside a name are kept, and values that need
    // their quotes or blanks kept read back exactly.
    for (const char* name : {"Settings", "x y", "Body 12", "#x", "\xC3\xA9"}) {
        ProfileDocument document = base;
        EXPECT_TRUE(document.setValue(name, name, name)) << name;
    }
    ProfileDocument withBracket = base;
    EXPECT_TRUE(withBracket.setValue("S", "a]b", "1"));
    for (const char* value : {" padded ", "\"quoted\"", "'single'", "\t", "=;[x]"}) {
        ProfileDocument document = base;
        EXPECT_TRUE(document.setValue("S", "k", value)) << value;
    }
    RecordProperty("Refused", refused);
    RecordProperty("Written", written);
}

class ProfileNeighbours : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vesk-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_path = (m_folder / "settings.ini").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_folder, fs::perms::owner_all, ignored);
        fs::remove_all(m_folder);
    }

    void writeFile(const std::string& text) const { std::ofstream(m_path, std::ios::binary) << text; }
    static std::string readFile(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_folder;
    std::string m_path;
};

// Guards against lost updates between processes: every process writes its own keys into one
// shared section and one section of its own, and every key of every process is kept.
TEST_F(ProfileNeighbours, WritesFromSeveralProcessesLoseNoKey)
{
    constexpr int kProcesses = 8;
    constexpr int kKeys = 50;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(120);
            int failures = 0;
            for (int key = 0; key < kKeys; ++key) {
                const std::string name = "p" + std::to_string(process) + "k" + std::to_string(key);
                const std::string section = key % 2 == 0 ? "Shared" : "P" + std::to_string(process);
                failures += writeString(m_path, section, name, std::to_string(process * 1000 + key)) ? 0 : 1;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed or the child died";
    }
    const ProfileDocument document = ProfileDocument::load(m_path);
    int kept = 0;
    for (int process = 0; process < kProcesses; ++process) {
        for (int key = 0; key < kKeys; ++key) {
            const std::string section = key % 2 == 0 ? "Shared" : "P" + std::to_string(process);
            const auto value = document.value(section, "p" + std::to_string(process) + "k" + std::to_string(key));
            kept += value == std::to_string(process * 1000 + key) ? 1 : 0;
        }
    }
    EXPECT_EQ(kept, kProcesses * kKeys);
    // Neither lock files nor temporary files are left behind.
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"settings.ini"});
}

// Guards against a temporary file opened by a predictable name: a link planted at the name
// the writer used to take must not be followed, and the file it points to stays untouched.
TEST_F(ProfileNeighbours, LinkPlantedAtATemporaryNameIsNeverFollowed)
{
    writeFile("[A]\nx=1\n");
    const fs::path victim = m_folder / "victim.txt";
    std::ofstream(victim) << "precious\n";
    const std::string planted = m_path + ".tmp" + std::to_string(::getpid());
    fs::create_symlink(victim, planted);

    ASSERT_TRUE(writeString(m_path, "A", "y", "2"));
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_TRUE(fs::is_symlink(planted));
    EXPECT_FALSE(fs::is_symlink(m_path));
    EXPECT_EQ(readFile(m_path), "[A]\nx=1\ny=2\n");
    EXPECT_EQ(folderEntries(), (std::vector<std::string>{"settings.ini", planted.substr(m_folder.string().size() + 1), "victim.txt"}));
}

// Guards against a write that replaces a file without any write bit (root included) and
// reports success: the file, or the file behind a link, keeps its text and mode.
TEST_F(ProfileNeighbours, ReadOnlyFileIsNeverReplaced)
{
    writeFile("[A]\nx=1\n");
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string link = (m_folder / "link.ini").string();
    fs::create_symlink(m_path, link);
    for (const std::string& path : {m_path, link}) {
        EXPECT_FALSE(writeString(path, "A", "x", "2")) << path;
        EXPECT_FALSE(deleteKey(path, "A", "x")) << path;
        EXPECT_FALSE(deleteSection(path, "A")) << path;
        EXPECT_EQ(readString(path, "A", "x", ""), "1");
    }
    EXPECT_EQ(readFile(m_path), "[A]\nx=1\n");
    EXPECT_EQ(fs::status(m_path).permissions(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

// Guards against a write that cannot read the existing file and replaces it with just the
// new key: a file the writer may write but not read is left alone.
TEST_F(ProfileNeighbours, FileThatCannotBeReadIsNeverReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    writeFile("[A]\nx=1\n");
    fs::permissions(m_folder, fs::perms::all);
    fs::permissions(m_path, fs::perms::owner_all | fs::perms::others_write);
    const int exitCode = runInChild(
        [this] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                return 2;
            return writeString(m_path, "A", "y", "2") ? 1 : 0;
        },
        10);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(readFile(m_path), "[A]\nx=1\n");
}

// Guards against calls that block forever on a FIFO at the path (every profile call would
// hang behind the process-wide lock): reads give the default, writes fail, nothing blocks.
// A folder at the path is refused the same way.
TEST_F(ProfileNeighbours, NonRegularFileIsRefusedWithoutBlocking)
{
    const std::string fifo = (m_folder / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const std::string folder = (m_folder / "folder.ini").string();
    fs::create_directory(folder);
    for (const std::string& path : {fifo, folder}) {
        const int exitCode = runInChild(
            [&path] {
                int failures = 0;
                failures += readString(path, "A", "x", "default") == "default" ? 0 : 1;
                failures += readInt(path, "A", "x", 7) == 7 ? 0 : 1;
                failures += ProfileDocument::load(path).sectionNames().empty() ? 0 : 1;
                failures += writeString(path, "A", "x", "1") ? 1 : 0;
                failures += deleteSection(path, "A") ? 1 : 0;
                return failures;
            },
            10);
        EXPECT_EQ(exitCode, 0) << path;
    }
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
