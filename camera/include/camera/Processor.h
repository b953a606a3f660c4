// The command queue and its one worker thread: commands run one at a time in queue order; a
// command that asks to run again re-enters the queue at the back after a pause, while the
// worker goes on with the others. When stopped, the queue is discarded on the worker and the
// close command runs once there; whatever is queued after that is destroyed at once. A
// command with a setting key (Command::settingKey) cancels the pending retry of any earlier
// command with the same key, so the camera ends in the state asked for last.
//
// Threading: enqueue, enqueueFront, clear, setCloseCommand and stop are called from any
// thread (several stops at once among them); start and the destructor from the owner's thread.
#pragma once

#include "camera/Command.h"
#include "camera/Synchronized.h"
#include "camera/Thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

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
    // command was not queued (null, the processor has stopped, or the lock timed out): the
    // command is then destroyed before the call returns, releasing what it holds. A command
    // with a setting key destroys, unrun, the earlier commands of that key that wait to run
    // again, and keeps the one running now from being run again.
    bool enqueue(std::unique_ptr<Command> command);
    bool enqueueFront(std::unique_ptr<Command> command);
    // Destroys every queued command, and every one waiting to run again, without running it.
    void clear();
    void setCloseCommand(std::unique_ptr<Command> command);
    // Ends the loop and waits at most 5 s for the worker; returns whether it ended.
    bool stop();

    bool isRunning() const { return m_running; }

    void run() override;

private:
    using Clock = std::chrono::steady_clock;
    // A command with the number it got when queued: the later of two commands of one setting
    // key has the higher number.
    struct Queued {
        uint64_t sequence = 0;
        std::unique_ptr<Command> command;
    };
    struct Deferred {
        Clock::time_point due;
        Queued queued;
    };

    bool insert(std::unique_ptr<Command> command, bool atFront);
    // Clears the running flag and wakes the worker; returns whether the lock was held for it.
    bool endLoop();
    Queued take();
    // Moves the retries whose pause is over to the back of the queue. Lock held.
    void queueDueRetries(Clock::time_point now);
    void retryAfterPause(Queued queued);
    // Whether a later command of the same setting key has been queued since. Lock held.
    bool superseded(const Queued& queued) const;

    std::atomic<bool> m_running{false};
    // Set by a stop and never cleared: from then on nothing new is queued.
    std::atomic<bool> m_stopped{false};
    std::deque<Queued> m_queue;
    // Commands waiting out their pause before they re-enter the queue, in order of due time.
    std::deque<Deferred> m_retries;
    std::unique_ptr<Command> m_closeCommand;
    uint64_t m_sequence = 0;
    // The number of the latest command queued for each setting key.
    std::map<std::string, uint64_t> m_latestOfKey;
    Synchronized m_lock;
};

} // namespace camera
