// The control's diagnostic log: one module-wide writer that appends one line per call to a
// week-stamped file, filtered by level.
//
// Threading: Write and the setters may be called from any thread; one lock serializes them,
// so lines from several threads are never lost or torn.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace control {

inline constexpr const char* kLogFolderDefault = "./logs/";
// The folder every new control writes to until its configuration names another.
inline constexpr const char* kControlLogFolder = "/var/tmp/lumora/";

// "VeskCapture_%s.log" with the local date of when formatted as "%Y%U".
std::string weekStampedLogName(std::time_t when);
// One log line: "%-19.19s %-2.2ld [%-7.7lu] %-25s %s\n".
std::string formatLogLine(std::string_view timeStamp, int32_t level, uint64_t threadId, std::string_view tag,
                          std::string_view message);
// Every carriage return + line feed pair replaced by ";".
std::string flattenLines(std::string_view message);
// What stands in a written line for a carriage return or line feed that may not end it, and
// for a NUL.
inline constexpr char kLineBreakMark = ';';
inline constexpr char kNulMark = '?';
// The text with every NUL replaced by kNulMark and every carriage return and line feed by
// kLineBreakMark, except, with keepLinePairs, those of CR LF pairs.
std::string safeLogText(std::string_view text, bool keepLinePairs = false);

class CLogFile final {
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Appends the line when level is not above the writer's level and folder and file name
    // are both set. With flattenLines, each CR LF pair of the message becomes ";" and the
    // line is exactly one line of the file; without it, the message's CR LF pairs are kept.
    // Lone line breaks and NULs are always replaced (see safeLogText). Never reports a
    // failure.
    void Write(std::string_view tag, std::string_view message, int32_t level, bool flattenLines = true);

    // What each new control does: the control's folder and the file name of this week.
    void startForControl(std::time_t now);

    void setLevel(int32_t level);
    int32_t level() const;
    void setFolder(std::string folder);
    std::string folder() const;
    void setFileName(std::string fileName);
    std::string fileName() const;
    // Folder followed by file name, or empty when either is empty.
    std::string path() const;

private:
    mutable std::mutex m_mutex;
    int32_t m_level = 1;
    std::string m_folder = kLogFolderDefault;
    std::string m_fileName;
};

// The module-wide writer.
CLogFile& logFile();

} // namespace control
