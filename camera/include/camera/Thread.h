// Base of a class whose `run` is the body of one thread of its own; a derived class's
// destructor must end that thread (`joinThread`) before its own members go.
//
// Threading: startThread is called from the owner's thread; waitForEnd, joinThread, hasThread
// and isCurrentThread from any thread, also several at once (one of them joins, the others
// wait for that join).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace camera {

class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread();

    virtual void run() = 0;

    // True while a started thread has not been joined.
    bool hasThread() const;
    bool isCurrentThread() const;

protected:
    // Starts the thread with the default stack size; it calls `run`, then ends.
    void startThread();
    // Waits at most `timeout` for `run` to return; joins the thread and returns true when it
    // has, else leaves the thread running and returns false.
    bool waitForEnd(std::chrono::milliseconds timeout);
    // Waits without a limit for the thread to end.
    void joinThread();

private:
    // Called with the mutex held once `run` has returned: the thread takes the mutex no more.
    void joinEnded();

    mutable std::mutex m_mutex;
    std::condition_variable m_endCondition;
    std::thread m_thread;
    std::thread::id m_threadId;
    bool m_ended = false;
};

} // namespace camera
