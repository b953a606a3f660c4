// The command queue and its one worker thread: commands run one at a time in queue order; a
// command that asks to run again re-enters the queue at the back after a pause. When stopped,
// the queue is discarded and the close command runs once on the worker.
//
// Threading: enqueue, enqueueFront, clear and setCloseCommand are called from any thread;
// start, stop and the destructor from the owner's thread.
#pragma once

#include "camera/Command.h"
#include "camera/Synchronized.h"
#include "camera/Thread.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>

namespace camera {

class Processor final : public Thread {
public:
    static constexpr std::chrono::milliseconds retryPause{500};
    static constexpr std::chrono::milliseconds stopTimeout{5000};

    Processor() = default;
    // Ends a worker that is still running (waiting as long as its command takes), then
    // discards the queue and the close command without running them.
    ~Processor() override;

    void start();
    // Queue at the back / at the front. A null command is ignored. Returns false when the
    // command was not queued (null, or the lock timed out: the command is then destroyed).
    bool enqueue(std::unique_ptr<Command> command);
    bool enqueueFront(std::unique_ptr<Command> command);
    // Destroys every queued command without running it.
    void clear();
    void setCloseCommand(std::unique_ptr<Command> command);
    // Ends the loop and waits at most 5 s for the worker; returns whether it ended.
    bool stop();

    bool isRunning() const { return m_running; }

    void run() override;

private:
    bool insert(std::unique_ptr<Command> command, bool atFront);
    // Clears the running flag and wakes the worker; returns whether the lock was held for it.
    bool endLoop();
    std::unique_ptr<Command> take();
    void requeueAfterPause(std::unique_ptr<Command> command);

    std::atomic<bool> m_running{false};
    std::deque<std::unique_ptr<Command>> m_queue;
    std::unique_ptr<Command> m_closeCommand;
    Synchronized m_lock;
};

} // namespace camera
