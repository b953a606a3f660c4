// The SDK's own event thread: runs posted tasks (event deliveries and delayed camera-side
// happenings) in due-time order, one at a time, without any lock of its own held.
//
// Threading: post, waitIdle and isCurrentThread may be called from any thread; start and stop
// are serialized by the SDK's lifecycle lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace camsdk::detail {

class EventThread final {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    EventThread() = default;
    EventThread(const EventThread&) = delete;
    EventThread& operator=(const EventThread&) = delete;
    ~EventThread();

    void start();
    // Drops every pending task and ends the thread once the running task (if any) has ended.
    // Called on the event thread itself (a handler terminating the SDK), it does not wait.
    void stop();
    // Dropped when the thread is not running.
    void post(std::chrono::milliseconds delay, Task task);
    // Waits until no task is pending or running. False on time-out or on the event thread.
    bool waitIdle(int timeoutMs);
    bool isCurrentThread() const;

private:
    void run(uint64_t generation);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // Ordered by due time, then by order of posting.
    std::multimap<std::pair<Clock::time_point, uint64_t>, Task> m_tasks;
    uint64_t m_sequence = 0;
    uint64_t m_generation = 0;
    bool m_running = false;
    bool m_busy = false;
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace camsdk::detail
