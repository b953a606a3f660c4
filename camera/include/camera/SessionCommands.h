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

class OpenSessionCommand final : public Command {
public:
    using Command::Command;
    bool execute() override;
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
