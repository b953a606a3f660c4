// Commands that open and close the camera session, tell the camera the host's room for
// images, and deliver a notification on the worker thread.
//
// Threading: executed on the processor's worker thread only.
#pragma once

#include "camera/Command.h"
#include "camera/Observable.h"

#include <camsdk/CamSdk.h>

#include <cstdint>
#include <string>

namespace camera {

// Opens the session and readies the camera for tethered shooting, then announces
// "CameraConnected" (or "error"). A busy (0x81, announced as "DeviceBusy") or not-ready
// (0xA102) answer while opening makes the command run again, at most `transientRetryLimit`
// times; a run again resumes at the step that met the answer, so the session is opened and
// each setting sent only once, and the preparation reads run once, at the end.
class OpenSessionCommand final : public Command {
public:
    static constexpr int32_t transientRetryLimit = 10;

    using Command::Command;
    bool execute() override;

private:
    enum class Step { OpenSession, SaveToHost, HostCapacity, Done };

    // Runs the steps from the current one on; returns the first failure.
    CamError advance();
    void prepare();

    Step m_step = Step::OpenSession;
    int32_t m_retries = 0;
};

class CloseSessionCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
};

class SetCapacityCommand final : public Command {
public:
    SetCapacityCommand(CameraModel* model, CamCapacity capacity) : Command(model), m_capacity(capacity) {}
    bool execute() override;

private:
    CamCapacity m_capacity;
};

// Raises one notification; an "error" carries its own copy of the 32-bit code.
class NotifyCommand final : public Command {
public:
    NotifyCommand(CameraModel* model, std::string name);
    NotifyCommand(CameraModel* model, std::string name, uint32_t errorCode);
    bool execute() override;

private:
    ModelEvent m_event;
    uint32_t m_errorCode = 0;
};

} // namespace camera
