// Temporary and final names of downloaded files.
//
// Threading: see DownloadFiles.h.
#include "DownloadFiles.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace camera::downloads {
namespace {

// Enough for any folder a person empties now and then; past it the download fails rather
// than searching on.
constexpr int maxAttempts = 10000;

enum class Move { Done, NameTaken, Unsupported, Failed };

Move renameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return Move::Done;
    }
    switch (errno) {
    case EEXIST:
        return Move::NameTaken;
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP:
        return Move::Unsupported;
    default:
        return Move::Failed;
    }
}

// For file systems without an exclusive rename (network shares): a hard link is never made
// over an existing name either, and the temporary name is dropped once the link exists.
Move linkWithoutReplacing(const std::string& from, const std::string& to)
{
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return Move::Done;
    }
    return errno == EEXIST ? Move::NameTaken : Move::Failed;
}

CamError fileError(int error)
{
    switch (error) {
    case ENOSPC:
        return CAM_ERR_FILE_DISK_FULL_ERROR;
    case EACCES:
    case EPERM:
    case EROFS:
        return CAM_ERR_FILE_PERMISSION_ERROR;
    default:
        return CAM_ERR_FILE_WRITE_ERROR;
    }
}

// Whether the byte continues a UTF-8 sequence (so a name must not be cut before it).
bool continuesCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

std::string pathIn(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : (std::filesystem::path(folder) / name).string();
}

std::string temporaryName()
{
    static std::atomic<uint32_t> sequence{0};
    return ".vesk-" + std::to_string(getpid()) + "-" + std::to_string(sequence++) + ".part";
}

std::string numberedName(const std::string& name, int attempt)
{
    if (attempt == 0) {
        return name;
    }
    const std::string suffix = "_" + std::to_string(attempt);
    const std::size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot != 0 && name.size() - dot + suffix.size() < maxNameBytes;
    std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::size_t room = maxNameBytes - suffix.size() - extension.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && continuesCharacter(stem[cut])) {
            --cut;
        }
        stem.resize(cut);
    }
    return stem + suffix + extension;
}

CamError publish(const std::string& temporaryPath, const std::string& folder, const std::string& name,
                 std::string& finalPath)
{
    bool renameSupported = true;
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const std::string candidate = pathIn(folder, numberedName(name, attempt));
        Move move = renameSupported ? renameWithoutReplacing(temporaryPath, candidate) : Move::Unsupported;
        if (move == Move::Unsupported) {
            renameSupported = false;
            move = linkWithoutReplacing(temporaryPath, candidate);
        }
        if (move == Move::Done) {
            finalPath = candidate;
            return CAM_ERR_OK;
        }
        if (move == Move::Failed) {
            return fileError(errno);
        }
    }
    return CAM_ERR_FILE_ALREADY_EXISTS;
}

} // namespace camera::downloads
