// Commands that fire the shutter and bring a new image file from the camera to the host.
//
// Threading: executed on the processor's worker thread only; a DownloadCommand that is
// discarded unexecuted is destroyed by the processor's owner and releases its item there.
#pragma once

#include "camera/Command.h"

#include <camsdk/CamSdk.h>

#include <cstdint>
#include <string>
#include <utility>

namespace camera {

class TakePictureCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
};

// The same shot with the shutter pressed completely without autofocus.
class TakePictureNonAFCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
};

class PressShutterButtonCommand final : public Command {
public:
    PressShutterButtonCommand(CameraModel* model, uint32_t state) : Command(model), m_state(state) {}
    bool execute() override;

private:
    uint32_t m_state;
};

// Downloads a directory item into a folder (the current folder when none is given),
// announcing "DownloadStart", "ProgressReport" and "DownloadComplete". "DownloadStart" carries
// the final component of the name the camera reports, "DownloadComplete" the path of the file
// written (the folder joined with the file's name; the name alone for the current folder),
// both as NUL-terminated char texts; "ProgressReport" a uint32_t percentage.
// The bytes go to a new temporary file of our own (".vesk-<pid>-<n>.part") in that folder,
// which takes the camera's name only once complete, so a failed download never leaves a
// partial file under that name. An existing file is never replaced: when the camera's name
// is taken (a camera that restarted its numbering, an earlier download not yet taken over),
// the file gets the first free name of NAME_1.EXT, NAME_2.EXT, ... A busy or not-ready camera
// ("DeviceBusy") makes the command run again with the item kept.
// Owns the item: it is released exactly once, by `execute` or by the destructor.
class DownloadCommand final : public Command {
public:
    DownloadCommand(CameraModel* model, CamDirectoryItemRef item, std::string folder = {})
        : Command(model), m_item(item), m_folder(std::move(folder)) {}
    ~DownloadCommand() override;
    bool execute() override;

    // The progress callback given to the SDK, with the command as context.
    static CamError downloadProgress(uint32_t percent, void* context, int32_t* cancel);

    // The final component of a camera file name; empty when nothing usable is left
    // (an empty name, "." or "..").
    static std::string localFileName(const std::string& cameraName);

private:
    void releaseItem();
    // Downloads into a temporary file and gives it a free name based on `fileName`; on
    // success `writtenPath` is the file's path.
    CamError downloadTo(const std::string& fileName, uint64_t size, std::string& writtenPath);

    CamDirectoryItemRef m_item;
    std::string m_folder;
    bool m_announced = false;
};

} // namespace camera
