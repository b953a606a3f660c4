// The diagnostic log writer: format, level filter, and an open-append-close per line that
// never truncates the file and never blocks on anything but a regular file.
#include "config/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace control {
namespace {

std::string localTimeStamp(std::time_t when)
{
    std::tm parts{};
    if (!::localtime_r(&when, &parts))
        return {};
    char buffer[32];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts);
    return std::string(buffer, length);
}

uint64_t currentThreadId()
{
    return static_cast<uint64_t>(::gettid());
}

// Opens the log for appending, creating it when missing and never truncating it: one failed
// open (a descriptor limit reached for a moment) must not cost the lines of the week. A second
// try covers such a moment. Opening never blocks, and anything but a regular file (a FIFO,
// a device) is refused, since the writer holds its lock while it writes.
int openForAppend(const std::string& path)
{
    constexpr int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int file = ::open(path.c_str(), flags, 0666);
    if (file < 0)
        file = ::open(path.c_str(), flags, 0666);
    if (file < 0)
        return -1;
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        return -1;
    }
    return file;
}

void writeAll(int file, const std::string& line)
{
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t result = ::write(file, line.data() + written, line.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return;
        written += static_cast<std::size_t>(result);
    }
}

} // namespace

std::string weekStampedLogName(std::time_t when)
{
    std::tm parts{};
    char stamp[16] = "";
    if (::localtime_r(&when, &parts))
        std::strftime(stamp, sizeof stamp, "%Y%U", &parts);
    return std::string("VeskCapture_") + stamp + ".log";
}

std::string formatLogLine(std::string_view timeStamp, int32_t level, uint64_t threadId, std::string_view tag,
                          std::string_view message)
{
    const std::string stamp(timeStamp);
    const std::string tagText(tag);
    const std::string messageText(message);
    const char* format = "%-19.19s %-2.2ld [%-7.7lu] %-25s %s\n";
    const auto levelValue = static_cast<long>(level);
    const auto threadValue = static_cast<unsigned long>(threadId);
    const int size = std::snprintf(nullptr, 0, format, stamp.c_str(), levelValue, threadValue, tagText.c_str(), messageText.c_str());
    if (size < 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, stamp.c_str(), levelValue, threadValue, tagText.c_str(), messageText.c_str());
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}

std::string flattenLines(std::string_view message)
{
    std::string result;
    result.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
            result += ';';
            ++i;
        } else {
            result += message[i];
        }
    }
    return result;
}

std::string safeLogText(std::string_view text, bool keepLinePairs)
{
    std::string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        char& c = result[i];
        if (keepLinePairs && c == '\r' && i + 1 < result.size() && result[i + 1] == '\n') {
            ++i;
        } else if (c == '\r' || c == '\n') {
            c = kLineBreakMark;
        } else if (c == '\0') {
            c = kNulMark;
        }
    }
    return result;
}

void CLogFile::Write(std::string_view tag, std::string_view message, int32_t level, bool flatten)
{
    std::lock_guard lock(m_mutex);
    if (m_folder.empty() || m_fileName.empty() || level > m_level)
        return;
    const std::string path = m_folder + m_fileName;
    // Tags and messages carry camera-supplied names: a lone CR or LF in them never starts a
    // line of its own, and a NUL does not cut the line short.
    const std::string text = flatten ? safeLogText(flattenLines(message)) : safeLogText(message, true);
    const std::string line =
        formatLogLine(localTimeStamp(std::time(nullptr)), level, currentThreadId(), safeLogText(tag), text);
    const int file = openForAppend(path);
    if (file < 0)
        return;
    writeAll(file, line);
    ::close(file);
}

void CLogFile::startForControl(std::time_t now)
{
    std::lock_guard lock(m_mutex);
    m_folder = kControlLogFolder;
    m_fileName = weekStampedLogName(now);
}

void CLogFile::setLevel(int32_t level)
{
    std::lock_guard lock(m_mutex);
    m_level = level;
}

int32_t CLogFile::level() const
{
    std::lock_guard lock(m_mutex);
    return m_level;
}

void CLogFile::setFolder(std::string folder)
{
    std::lock_guard lock(m_mutex);
    m_folder = std::move(folder);
}

std::string CLogFile::folder() const
{
    std::lock_guard lock(m_mutex);
    return m_folder;
}

void CLogFile::setFileName(std::string fileName)
{
    std::lock_guard lock(m_mutex);
    m_fileName = std::move(fileName);
}

std::string CLogFile::fileName() const
{
    std::lock_guard lock(m_mutex);
    return m_fileName;
}

std::string CLogFile::path() const
{
    std::lock_guard lock(m_mutex);
    return m_folder.empty() || m_fileName.empty() ? std::string() : m_folder + m_fileName;
}

CLogFile& logFile()
{
    static CLogFile instance;
    return instance;
}

} // namespace control
