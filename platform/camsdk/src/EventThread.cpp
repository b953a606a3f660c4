// The SDK's event thread. Tasks run with no lock held, so a handler may call back into the SDK.
// Threading: see EventThread.h.
#include "EventThread.h"

#include <cstdio>
#include <exception>

namespace camsdk::detail {

EventThread::~EventThread()
{
    stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void EventThread::start()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running) {
            return;
        }
    }
    // A thread told to stop from within one of its own tasks is still ending: wait for it.
    if (m_thread.joinable()) {
        if (isCurrentThread()) {
            m_thread.detach(); // ends by itself after its task: its generation is over
        } else {
            m_thread.join();
        }
    }
    std::lock_guard lock(m_mutex);
    m_running = true;
    m_tasks.clear();
    const uint64_t generation = ++m_generation;
    m_thread = std::thread([this, generation] { run(generation); });
    m_threadId = m_thread.get_id();
}

void EventThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            return;
        }
        m_running = false;
        m_tasks.clear();
    }
    m_wake.notify_all();
    m_idle.notify_all();
    if (!isCurrentThread() && m_thread.joinable()) {
        m_thread.join();
        std::lock_guard lock(m_mutex);
        m_threadId = std::thread::id();
    }
}

void EventThread::post(std::chrono::milliseconds delay, Task task)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            return;
        }
        m_tasks.emplace(std::make_pair(Clock::now() + delay, m_sequence++), std::move(task));
    }
    m_wake.notify_all();
}

bool EventThread::waitIdle(int timeoutMs)
{
    if (isCurrentThread()) {
        return false;
    }
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !m_running || (m_tasks.empty() && !m_busy); });
}

bool EventThread::isCurrentThread() const
{
    std::lock_guard lock(m_mutex);
    return m_threadId == std::this_thread::get_id();
}

void EventThread::run(uint64_t generation)
{
    std::unique_lock lock(m_mutex);
    while (m_running && m_generation == generation) {
        if (m_tasks.empty()) {
            m_idle.notify_all();
            m_wake.wait(lock);
            continue;
        }
        const auto due = m_tasks.begin()->first.first;
        if (Clock::now() < due) {
            m_wake.wait_until(lock, due);
            continue;
        }
        Task task = std::move(m_tasks.begin()->second);
        m_tasks.erase(m_tasks.begin());
        m_busy = true;
        lock.unlock();
        // A failing task (a picture that cannot be rendered) must not end the thread, and with
        // it the process.
        try {
            task();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "camsdk: an event task failed: %s\n", error.what());
        }
        task = nullptr;
        lock.lock();
        m_busy = false;
    }
    m_idle.notify_all();
}

} // namespace camsdk::detail
