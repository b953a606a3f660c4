// The framework's lock and its condition.
//
// Threading: see Synchronized.h.
#include "camera/Synchronized.h"

namespace camera {

bool Synchronized::lock()
{
    // A system-clock deadline: the steady-clock wait maps to a call that the thread sanitizer
    // cannot see, and the time-out is only a safety limit.
    const bool acquired = m_mutex.try_lock_until(std::chrono::system_clock::now() + lockTimeout);
    m_locked = acquired;
    return acquired;
}

void Synchronized::unlock()
{
    m_mutex.unlock();
}

void Synchronized::wait(std::chrono::milliseconds timeout)
{
    m_condition.wait_for(m_mutex, timeout);
}

void Synchronized::wait()
{
    m_condition.wait(m_mutex);
}

void Synchronized::notify()
{
    m_mutex.unlock();
    m_condition.notify_all();
}

void Synchronized::wake()
{
    m_condition.notify_all();
}

bool Synchronized::isLocked() const
{
    return m_locked;
}

} // namespace camera
