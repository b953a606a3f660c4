// One thread running a virtual `run`, with a bounded wait for its end.
//
// Threading: see Thread.h.
#include "camera/Thread.h"

namespace camera {

Thread::~Thread()
{
    joinThread();
}

void Thread::startThread()
{
    if (m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard guard(m_endMutex);
        m_ended = false;
    }
    m_thread = std::thread([this] {
        run();
        std::lock_guard guard(m_endMutex);
        m_ended = true;
        m_endCondition.notify_all();
    });
}

bool Thread::waitForEnd(std::chrono::milliseconds timeout)
{
    if (!m_thread.joinable()) {
        return true;
    }
    {
        std::unique_lock guard(m_endMutex);
        if (!m_endCondition.wait_for(guard, timeout, [this] { return m_ended; })) {
            return false;
        }
    }
    m_thread.join();
    return true;
}

void Thread::joinThread()
{
    if (!m_thread.joinable()) {
        return;
    }
    if (isCurrentThread()) {
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

} // namespace camera
