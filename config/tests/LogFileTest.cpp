// The diagnostic log: exact line layout, level filter, path rule and concurrent writers.
#include "config/LogFile.h"

#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace control;
namespace fs = std::filesystem;

std::vector<std::string> readLines(const fs::path& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST(LogLine, LayoutOfEveryField)
{
    EXPECT_EQ(formatLogLine("2024-03-05 14:07:09", 1, 1234, "CTL DoAcquire", "ProcessConfig completed"),
              "2024-03-05 14:07:09 01 [0001234] CTL DoAcquire             ProcessConfig completed\n");
    // A 30-character tag is never cut and the message follows after one blank.
    const std::string tag30 = "DLG OnCameraDisconnected123456";
    ASSERT_EQ(tag30.size(), 30u);
    EXPECT_EQ(formatLogLine("2024-03-05 14:07:09", 4, 7, tag30, "m"), "2024-03-05 14:07:09 04 [0000007] " + tag30 + " m\n");
    // Two-digit levels and eight-digit thread IDs are written in full.
    EXPECT_EQ(formatLogLine("2024-03-05 14:07:09", 12, 12345678, "T", ""),
              "2024-03-05 14:07:09 12 [12345678] T                         \n");
    // The time stamp field is exactly 19 characters, cut or padded.
    EXPECT_EQ(formatLogLine("", 9, 1, "T", "x").substr(0, 23), std::string(19, ' ') + " 09 ");
    EXPECT_EQ(formatLogLine("2024-03-05 14:07:09.123", 9, 1, "T", "x").substr(0, 20), "2024-03-05 14:07:09 ");
    // Format characters in texts are data, not directives.
    EXPECT_EQ(formatLogLine("s", 1, 1, "%s%n", "%d%s").substr(33), "%s%n                      %d%s\n");
}

TEST(LogLine, FlatteningJoinsOnlyCarriageReturnLineFeedPairs)
{
    EXPECT_EQ(flattenLines("Searching for camera.\r\n[Attempt 1 of 5]"), "Searching for camera.;[Attempt 1 of 5]");
    EXPECT_EQ(flattenLines("a\r\n\r\nb\r"), "a;;b\r");
    EXPECT_EQ(flattenLines("a\nb"), "a\nb");
}

TEST(LogLine, WeekStampedFileNameCountsWeeksFromSunday)
{
    std::tm saturday{};
    saturday.tm_year = 2022 - 1900;
    saturday.tm_mon = 0;
    saturday.tm_mday = 1;
    saturday.tm_hour = 12;
    saturday.tm_isdst = -1;
    std::tm sunday = saturday;
    sunday.tm_mday = 2;
    EXPECT_EQ(weekStampedLogName(std::mktime(&saturday)), "VeskCapture_202200.log");
    EXPECT_EQ(weekStampedLogName(std::mktime(&sunday)), "VeskCapture_202201.log");
}

class LogWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        m_log.setFolder(m_folder.string() + "/");
        m_log.setFileName("VeskCapture_test.log");
    }
    void TearDown() override { fs::remove_all(m_folder); }
    std::vector<std::string> lines() const { return readLines(m_folder / "VeskCapture_test.log"); }

    fs::path m_folder;
    CLogFile m_log;
};

TEST_F(LogWriter, LevelFiveWritesUpToFiveAndAppends)
{
    m_log.setLevel(5);
    for (const int level : {1, 3, 4, 5, 9})
        m_log.Write("CTL Test", "level " + std::to_string(level), level);
    const auto written = lines();
    ASSERT_EQ(written.size(), 4u);
    EXPECT_NE(written[0].find(" 01 ["), std::string::npos);
    EXPECT_NE(written[3].find("level 5"), std::string::npos);
    // The thread field holds the writer's kernel thread ID.
    char thread[32];
    std::snprintf(thread, sizeof thread, "[%07ld]", static_cast<long>(::gettid()));
    EXPECT_NE(written[0].find(thread), std::string::npos);
}

TEST_F(LogWriter, LevelZeroOrNegativeWritesNothing)
{
    for (const int32_t writerLevel : {0, -3}) {
        m_log.setLevel(writerLevel);
        m_log.Write("CTL Test", "error", 1);
    }
    EXPECT_FALSE(fs::exists(m_folder / "VeskCapture_test.log"));
}

TEST_F(LogWriter, LevelTwelveIsWrittenAsTwelve)
{
    m_log.setLevel(12);
    m_log.Write("DLG update", "x", 12);
    ASSERT_EQ(lines().size(), 1u);
    EXPECT_EQ(lines()[0].substr(19, 4), " 12 ");
}

TEST_F(LogWriter, MessagesAreFlattenedOnlyWhenAsked)
{
    m_log.Write("CTL SetStatusMsg", "one\r\ntwo", 1);
    m_log.Write("CTL SetStatusMsg", "three\r\nfour", 1, false);
    const auto written = lines();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_TRUE(written[0].ends_with(" one;two"));
    EXPECT_EQ(written[2], "four");
}

// Guards against forged log lines: a lone LF or CR in a camera-supplied name (message or tag)
// started a line of its own, and a NUL cut the rest of the message away.
TEST_F(LogWriter, EveryMessageAndTagStaysOnItsOneLine)
{
    const std::string withNul("a\0b", 3);
    for (const std::string& message : {std::string("a\nb"), std::string("a\rb"), std::string("a\r\nb"), withNul}) {
        fs::remove(m_folder / "VeskCapture_test.log");
        m_log.Write("DLG update", message, 1);
        const auto written = lines();
        ASSERT_EQ(written.size(), 1u) << "message of " << message.size() << " characters";
        EXPECT_TRUE(written[0].ends_with(message == withNul ? " a?b" : " a;b")) << written[0];
        EXPECT_EQ(written[0].find('\r'), std::string::npos);
    }

    fs::remove(m_folder / "VeskCapture_test.log");
    m_log.Write("DLG\nforged 01 [0000001]", "name\r", 1);
    m_log.Write("DLG\rtag", "kept\r\npair, lone\nbreak", 1, false);
    const auto written = lines();
    ASSERT_EQ(written.size(), 3u);
    EXPECT_NE(written[0].find(" DLG;forged 01 [0000001]   name;"), std::string::npos) << written[0];
    EXPECT_NE(written[1].find(" DLG;tag "), std::string::npos) << written[1];
    EXPECT_TRUE(written[1].ends_with(" kept\r")) << written[1];
    EXPECT_EQ(written[2], "pair, lone;break");
}

// Failures of the log are silent: nothing written, nothing thrown, nothing created.
TEST_F(LogWriter, MissingFolderOrEmptyPathWritesNothingSilently)
{
    m_log.setFolder((m_folder / "absent").string() + "/");
    EXPECT_NO_THROW(m_log.Write("CTL Test", "lost", 1));
    m_log.setFolder("");
    EXPECT_EQ(m_log.path(), "");
    m_log.Write("CTL Test", "lost", 1);
    m_log.setFolder(m_folder.string() + "/");
    m_log.setFileName("");
    m_log.Write("CTL Test", "lost", 1);
    EXPECT_TRUE(fs::is_empty(m_folder));
}

TEST_F(LogWriter, NewControlWritesIntoTheLumoraTemporaryFolder)
{
    const std::time_t now = std::time(nullptr);
    m_log.startForControl(now);
    EXPECT_EQ(m_log.folder(), "/var/tmp/lumora/");
    EXPECT_EQ(m_log.path(), "/var/tmp/lumora/" + weekStampedLogName(now));
}

// Four threads writing 1000 lines each: no line lost, torn or interleaved.
TEST_F(LogWriter, ConcurrentWritersLoseNoLine)
{
    m_log.setLevel(9);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([this, thread] {
            for (int line = 0; line < 1000; ++line)
                m_log.Write("DLG update", "thread " + std::to_string(thread) + " line " + std::to_string(line), 5);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const auto written = lines();
    ASSERT_EQ(written.size(), 4000u);
    const std::regex layout(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d 05 \[\d{7,}\] DLG update {16}thread [0-3] line \d{1,3})");
    int wellFormed = 0;
    for (const std::string& line : written)
        wellFormed += std::regex_match(line, layout) ? 1 : 0;
    EXPECT_EQ(wellFormed, 4000);
}

} // namespace
