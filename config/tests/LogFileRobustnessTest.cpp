// The diagnostic log under hostile conditions: a process at its descriptor limit and a FIFO at
// the log path. Each case runs in a forked child so that a hang ends as a failure.
#include "config/LogFile.h"

#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace control;
namespace fs = std::filesystem;

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

class LogUnderStress : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = host_test::makeTemporaryFolder();
        ASSERT_FALSE(m_folder.empty());
        m_path = m_folder / "VeskCapture_test.log";
        m_log.setFolder(m_folder.string() + "/");
        m_log.setFileName("VeskCapture_test.log");
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
    fs::path m_path;
    CLogFile m_log;
};

// Guards against a writer that reopens the log with truncation after one failed open: a
// process at its descriptor limit must lose at most its own lines, never the week's log.
// The child keeps exactly one descriptor free while another thread takes and releases it.
TEST_F(LogUnderStress, TransientOpenFailuresNeverTruncateTheLog)
{
    std::ofstream(m_path) << "earlier line of the week\n";
    constexpr int kLines = 20000;
    const int exitCode = runInChild(
        [this] {
            // The thread starts before the limit: the sanitizers' runtime needs descriptors of
            // its own to start one.
            std::atomic<bool> limited = false;
            std::atomic<bool> stop = false;
            std::thread churn([&limited, &stop] {
                while (!limited && !stop)
                    std::this_thread::yield();
                while (!stop) {
                    const int taken = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
                    std::this_thread::yield();
                    if (taken >= 0)
                        ::close(taken);
                    std::this_thread::sleep_for(std::chrono::microseconds(20));
                }
            });
            const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            rlimit original{};
            ::getrlimit(RLIMIT_NOFILE, &original);
            rlimit limit = original;
            limit.rlim_cur = static_cast<rlim_t>(probe) + 1;
            const bool set = probe >= 0 && ::close(probe) == 0 && ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
            limited = set;
            for (int line = 0; set && line < kLines; ++line)
                m_log.Write("CTL Test", "line " + std::to_string(line), 1);
            ::setrlimit(RLIMIT_NOFILE, &original);
            stop = true;
            churn.join();
            return set ? 0 : 2;
        },
        120);
    ASSERT_EQ(exitCode, 0);

    std::ifstream file(m_path);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "earlier line of the week");
    // What was written is whole and in order.
    const std::regex layout(R"(.{19} 01 \[\d{7,}\] CTL Test {18}line (\d+))");
    int previous = -1;
    int written = 0;
    for (; std::getline(file, line); ++written) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, layout)) << line;
        const int number = std::stoi(match[1]);
        EXPECT_GT(number, previous);
        previous = number;
    }
    // Some opens must have failed, or this run proved nothing.
    EXPECT_LT(written, kLines);
    RecordProperty("LinesWritten", written);
}

// Guards against a writer that blocks on a FIFO at the log path while it holds its lock (every
// thread that logs would hang): the line is skipped, with or without a reader on the FIFO.
TEST_F(LogUnderStress, FifoAtTheLogPathIsSkippedWithoutBlocking)
{
    ASSERT_EQ(::mkfifo(m_path.c_str(), 0666), 0);
    const auto writeOneLine = [this] {
        m_log.Write("CTL Test", "must not block", 1);
        return 0;
    };
    EXPECT_EQ(runInChild(writeOneLine, 10), 0) << "without a reader";

    const int reader = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(runInChild(writeOneLine, 10), 0) << "with a reader";
    char buffer[64];
    EXPECT_LE(::read(reader, buffer, sizeof buffer), 0) << "a line went into the FIFO";
    ::close(reader);
    EXPECT_EQ(fs::status(m_path).type(), fs::file_type::fifo);
}

} // namespace
