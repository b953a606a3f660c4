// Commands that fire the shutter and bring a new image file from the camera to the host.
//
// Threading: executed on the processor's worker thread only; a DownloadCommand that is
// discarded unexecuted is destroyed by the processor's owner and releases its item there.
#pragma once

#include "camera/Command.h"

#include <camsdk/CamSdk.h>

#include <cstdint>
#include <string>

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

// Downloads a directory item into the current folder under the final component of the name
// the camera reports, announcing "DownloadStart", "ProgressReport" and "DownloadComplete".
// The start and complete notifications carry that name as a NUL-terminated char text, the
// progress one a uint32_t percentage.
// The bytes go to a new temporary file beside it that takes the name only once complete, so
// a failed download never leaves a partial file under that name nor wipes an older one. A
// busy or not-ready camera ("DeviceBusy") makes the command run again with the item kept.
// Owns the item: it is released exactly once, by `execute` or by the destructor.
class DownloadCommand final : public Command {
public:
    DownloadCommand(CameraModel* model, CamDirectoryItemRef item) : Command(model), m_item(item) {}
    ~DownloadCommand() override;
    bool execute() override;

    // The progress callback given to the SDK, with the command as context.
    static CamError downloadProgress(uint32_t percent, void* context, int32_t* cancel);

    // The final component of a camera file name; empty when nothing usable is left
    // (an empty name, "." or "..").
    static std::string localFileName(const std::string& cameraName);

private:
    void releaseItem();
    // Downloads into a temporary file and renames it to `fileName` on success.
    CamError downloadTo(const std::string& fileName, uint64_t size);

    CamDirectoryItemRef m_item;
    bool m_announced = false;
};

} // namespace camera
