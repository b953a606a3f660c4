// Live-view commands: switch the camera's live-view output to the host and back, fetch one
// frame with its zoom geometry and focus information, drive the lens and the autofocus.
//
// Threading: executed on the processor's worker thread only.
#pragma once

#include "camera/Command.h"

#include <camsdk/CamSdk.h>

#include <cstdint>
#include <optional>
#include <string>

namespace camera {

// One live-view frame, the argument of "EvfDataChanged". An observer that keeps the frame
// takes the stream with `takeStream` during the notification and releases it later with
// CamRelease; a stream that no observer took is released by the command after notifying.
struct EvfFrameData {
    CamStreamRef stream = nullptr;
    uint32_t zoom = 0;
    CamPoint reservedPoint{};
    CamRect zoomRect{};
    CamPoint imagePosition{};
    uint32_t reserved[1024]{};
    CamSize coordinateSystem{};
    uint32_t reservedWord = 0;

    CamStreamRef takeStream() noexcept
    {
        CamStreamRef taken = stream;
        stream = nullptr;
        return taken;
    }
};

// The setting keys of the live-view switch (start/end) and of the live-view autofocus
// (on/off): the later of two such commands cancels a pending retry of the earlier one.
inline constexpr const char* liveViewSettingKey = "live view";
inline constexpr const char* liveViewAutofocusSettingKey = "live-view autofocus";

class StartEvfCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
    std::optional<std::string> settingKey() const override { return liveViewSettingKey; }
};

class EndEvfCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
    std::optional<std::string> settingKey() const override { return liveViewSettingKey; }
};

class DownloadEvfCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
};

class DriveLensCommand final : public Command {
public:
    DriveLensCommand(CameraModel* model, uint32_t step) : Command(model), m_step(step) {}
    bool execute() override;

private:
    uint32_t m_step;
};

class DoEvfAfCommand final : public Command {
public:
    DoEvfAfCommand(CameraModel* model, uint32_t on) : Command(model), m_on(on) {}
    bool execute() override;
    std::optional<std::string> settingKey() const override { return liveViewAutofocusSettingKey; }

private:
    uint32_t m_on;
};

} // namespace camera
