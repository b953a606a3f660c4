// The one lock of the command framework: a timed mutex with a condition to block on, guarding
// the processor's queue and running flag.
//
// Threading: called from any thread; `wait` and `notify` only by the thread that holds the lock,
// `wake` by any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace camera {

class Synchronized {
public:
    static constexpr std::chrono::milliseconds lockTimeout{10000};

    Synchronized() = default;
    Synchronized(const Synchronized&) = delete;
    Synchronized& operator=(const Synchronized&) = delete;
    virtual ~Synchronized() = default;

    // Waits up to 10 000 ms for the mutex. Returns whether this call acquired it; the caller
    // unlocks only on true and must not touch guarded data on false.
    virtual bool lock();
    virtual void unlock();
    // Releases the lock while blocked until `notify` or the time-out, holds it again on return.
    virtual void wait(std::chrono::milliseconds timeout);
    // The same without a time-out.
    virtual void wait();
    // Wakes every thread blocked in `wait`, then releases the lock.
    virtual void notify();
    // Wakes every thread blocked in `wait` without holding the lock: for a caller whose `lock`
    // timed out and that must still wake a waiter for a change it made to an atomic flag.
    virtual void wake();
    // The result of the last `lock` call from any thread; informational only.
    virtual bool isLocked() const;

private:
    std::timed_mutex m_mutex;
    std::condition_variable_any m_condition;
    std::atomic<bool> m_locked{false};
};

} // namespace camera
