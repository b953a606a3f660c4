// Base of every queued camera command: `execute` runs on the processor's worker thread and
// returns true when finished, false to be run again later.
//
// Threading: created on any thread, executed and destroyed on the worker thread (or by the
// processor's owner when discarded).
#pragma once

#include <optional>
#include <string>

namespace camera {

class CameraModel;

class Command {
public:
    // The model must outlive the command; the controller that owns the processor guarantees it.
    explicit Command(CameraModel* model) : m_model(model) {}
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    virtual ~Command() = default;

    virtual bool execute() = 0;

    // The camera state this command sets (a property, a switch such as live view), if any.
    // Commands with the same key ask for the same thing: the later one wins, so queueing it
    // cancels a retry of an earlier one that is still pending. Commands without a key (reads,
    // shots, downloads) are never cancelled this way.
    virtual std::optional<std::string> settingKey() const { return std::nullopt; }

    CameraModel* model() const { return m_model; }

protected:
    CameraModel* m_model;
};

} // namespace camera
