// Profile files on disk: non-blocking reads of regular files, the writers' lock file and
// atomic replacement; see FileAccess.h.
#include "FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vesk::profile::detail {
namespace {

class FileDescriptor final {
public:
    explicit FileDescriptor(int file) : m_file(file) {}
    ~FileDescriptor()
    {
        if (m_file >= 0)
            ::close(m_file);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_file; }
    int release() { return std::exchange(m_file, -1); }

private:
    int m_file;
};

bool sameFile(const struct stat& left, const struct stat& right)
{
    return left.st_dev == right.st_dev && left.st_ino == right.st_ino;
}

// The umask without changing it (setting and restoring it would race with other threads).
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
    }
    return 022;
}

bool writeAll(int file, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(file, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Writable as the design of profile files needs it: a file without any write bit counts as
// read-only for root too, and otherwise the process's own access rights decide.
bool mayReplace(const std::filesystem::path& target, const struct stat& status)
{
    return S_ISREG(status.st_mode) && (status.st_mode & 0222) != 0
        && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// Hands the new file to the old file's owner and group. Only root can give a file away;
// anyone else at least keeps the group when they belong to it, and otherwise the file becomes
// theirs, as any replacement by rename makes it.
void keepOwner(int file, const struct stat& old)
{
    if (old.st_uid == ::geteuid() && old.st_gid == ::getegid())
        return;
    if (::fchown(file, old.st_uid, old.st_gid) == 0)
        return;
    [[maybe_unused]] const int groupKept = ::fchown(file, static_cast<uid_t>(-1), old.st_gid);
}

} // namespace

ReadResult readRegularFile(const std::string& path, std::string& text)
{
    text.clear();
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Refused;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return ReadResult::Refused;
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            return ReadResult::Read;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Refused;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

std::filesystem::path resolveLinks(const std::string& path)
{
    std::filesystem::path target = path;
    std::error_code error;
    for (int depth = 0; depth < 40 && std::filesystem::is_symlink(target, error); ++depth) {
        const std::filesystem::path link = std::filesystem::read_symlink(target, error);
        if (error)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

UpdateLock::UpdateLock(const std::filesystem::path& target) : m_path(target.string() + ".lock")
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    auto pause = 1ms;
    for (;;) {
        // Never through a link, never waiting on a FIFO planted at the name.
        FileDescriptor file(::open(m_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0666));
        struct stat opened {};
        if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
            return;
        while (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline)
                return;
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, 16ms);
        }
        // The previous holder removes the lock file as it lets go: a lock on a file that no
        // longer has the name locks nothing, so take the file that has it now.
        struct stat named {};
        if (::lstat(m_path.c_str(), &named) == 0 && sameFile(named, opened)) {
            m_file = file.release();
            return;
        }
    }
}

UpdateLock::~UpdateLock()
{
    if (m_file < 0)
        return;
    ::unlink(m_path.c_str());
    ::close(m_file);
}

bool replaceFile(const std::filesystem::path& target, std::string_view text)
{
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists && !mayReplace(target, old))
        return false;
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~currentUmask());

    // mkostemp creates the file exclusively under a fresh name: nothing planted beside the
    // target is ever followed or overwritten.
    std::string temporary = target.string() + ".tmpXXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return false;
    if (exists)
        keepOwner(file.get(), old);
    const bool written = writeAll(file.get(), text) && ::fchmod(file.get(), mode) == 0 && ::fsync(file.get()) == 0
        && ::close(file.release()) == 0 && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written)
        ::unlink(temporary.c_str());
    return written;
}

} // namespace vesk::profile::detail
