// One thread running a virtual `run`, with a bounded wait for its end that several threads
// may make at once.
//
// Threading: see Thread.h. Every member changes only under the mutex; the join happens under
// it too, so a second waiter finds the thread joined instead of joining it twice.
#include "camera/Thread.h"

namespace camera {

Thread::~Thread()
{
    joinThread();
}

bool Thread::hasThread() const
{
    std::lock_guard guard(m_mutex);
    return m_thread.joinable();
}

bool Thread::isCurrentThread() const
{
    std::lock_guard guard(m_mutex);
    return m_thread.joinable() && m_threadId == std::this_thread::get_id();
}

void Thread::startThread()
{
    std::lock_guard guard(m_mutex);
    if (m_thread.joinable()) {
        return;
    }
    m_ended = false;
    m_thread = std::thread([this] {
        run();
        std::lock_guard endGuard(m_mutex);
        m_ended = true;
        m_endCondition.notify_all();
    });
    m_threadId = m_thread.get_id();
}

void Thread::joinEnded()
{
    if (m_thread.joinable()) {
        m_thread.join();
        m_threadId = {};
    }
}

bool Thread::waitForEnd(std::chrono::milliseconds timeout)
{
    std::unique_lock guard(m_mutex);
    if (!m_thread.joinable()) {
        return true;
    }
    if (!m_endCondition.wait_for(guard, timeout, [this] { return m_ended; })) {
        return false;
    }
    joinEnded();
    return true;
}

void Thread::joinThread()
{
    std::unique_lock guard(m_mutex);
    if (!m_thread.joinable()) {
        return;
    }
    if (m_threadId == std::this_thread::get_id()) {
        // The thread ends its own object: it cannot wait for itself.
        m_thread.detach();
        m_threadId = {};
        return;
    }
    m_endCondition.wait(guard, [this] { return m_ended; });
    joinEnded();
}

} // namespace camera
