// How profile files meet the file system: reading only regular files without ever blocking,
// an exclusive lock between processes around a read-modify-write, and replacing a file through
// an exclusively created temporary file beside it.
//
// Threading: the free functions are safe from any thread; an UpdateLock belongs to the thread
// that took it.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace vesk::profile::detail {

enum class ReadResult { Read, Missing, Refused };

// Reads the file at path, following links. Missing: there is no such file. Refused: the file
// cannot be read, or is not a regular file (a FIFO or a device is never waited on).
ReadResult readRegularFile(const std::string& path, std::string& text);

// The file a write replaces: the final target when path is a symbolic link (a chain followed
// to its end, a dangling link to the file it names), else path itself.
std::filesystem::path resolveLinks(const std::string& path);

// How long a writer waits for another writer's lock before it gives up and fails.
inline constexpr std::chrono::seconds kLockWait{20};

// An exclusive advisory lock on "<target>.lock", held from construction to destruction. The
// lock file is removed on release, so none is left beside the profile file.
class UpdateLock final {
public:
    explicit UpdateLock(const std::filesystem::path& target);
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    bool held() const { return m_file >= 0; }

private:
    std::string m_path;
    int m_file = -1;
};

// Replaces target with text through a temporary file created exclusively in its folder. An
// existing target must be a regular file that has a write bit and that this process may
// write; the new file keeps its mode, owner and group. A new file gets 0666 under the umask.
// False, with target untouched and no temporary file left, on any failure.
bool replaceFile(const std::filesystem::path& target, std::string_view text);

} // namespace vesk::profile::detail
