// The command queue and its worker loop. The worker blocks on the lock's condition while the
// queue is empty, so an idle processor never wakes up.
//
// Threading: see Processor.h. The queue and the close command change only under the lock, the
// running flag too unless that lock timed out during a stop; the loop reads the flag without it.
#include "camera/Processor.h"

#include <utility>

namespace camera {

Processor::~Processor()
{
    if (hasThread()) {
        if (!endLoop() && !isCurrentThread()) {
            // That wake went out without the lock and may have come just before the worker
            // blocked: repeat it until the worker has ended.
            while (!waitForEnd(stopTimeout)) {
                m_lock.wake();
            }
        }
        joinThread();
    }
    m_queue.clear();
    m_closeCommand.reset();
}

void Processor::start()
{
    if (hasThread()) {
        return;
    }
    // Set before the thread exists, so that a stop right after the start is never undone.
    m_running = true;
    startThread();
}

bool Processor::enqueue(std::unique_ptr<Command> command)
{
    return insert(std::move(command), false);
}

bool Processor::enqueueFront(std::unique_ptr<Command> command)
{
    return insert(std::move(command), true);
}

bool Processor::insert(std::unique_ptr<Command> command, bool atFront)
{
    if (!command || !m_lock.lock()) {
        return false;
    }
    if (atFront) {
        m_queue.push_front(std::move(command));
    } else {
        m_queue.push_back(std::move(command));
    }
    m_lock.notify();
    return true;
}

void Processor::clear()
{
    std::deque<std::unique_ptr<Command>> discarded;
    if (!m_lock.lock()) {
        return;
    }
    discarded.swap(m_queue);
    m_lock.unlock();
}

void Processor::setCloseCommand(std::unique_ptr<Command> command)
{
    if (!m_lock.lock()) {
        return;
    }
    m_closeCommand.swap(command);
    m_lock.unlock();
}

bool Processor::stop()
{
    endLoop();
    if (!hasThread()) {
        return true;
    }
    if (isCurrentThread()) {
        return false;
    }
    return waitForEnd(stopTimeout);
}

bool Processor::endLoop()
{
    const bool locked = m_lock.lock();
    // The loop reads the flag without the lock, so a stop is never dropped: without the lock
    // the flag is cleared all the same and a worker blocked in `take` is woken.
    m_running = false;
    if (locked) {
        m_lock.notify();
    } else {
        m_lock.wake();
    }
    return locked;
}

std::unique_ptr<Command> Processor::take()
{
    if (!m_lock.lock()) {
        return nullptr;
    }
    while (m_queue.empty() && m_running) {
        m_lock.wait();
    }
    if (!m_running) {
        m_lock.unlock();
        return nullptr;
    }
    std::unique_ptr<Command> command = std::move(m_queue.front());
    m_queue.pop_front();
    m_lock.unlock();
    return command;
}

void Processor::requeueAfterPause(std::unique_ptr<Command> command)
{
    // The command is never dropped while the processor runs: a lock that timed out is tried
    // again. Once stopped, it is discarded as the queue is.
    while (!m_lock.lock()) {
        if (!m_running) {
            return;
        }
    }
    // The lock is free while paused, so others keep queueing; a stop ends the pause.
    const auto deadline = std::chrono::steady_clock::now() + retryPause;
    for (auto now = std::chrono::steady_clock::now(); m_running && now < deadline;
         now = std::chrono::steady_clock::now()) {
        m_lock.wait(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    }
    if (m_running) {
        m_queue.push_back(std::move(command));
        m_lock.notify();
    } else {
        m_lock.unlock();
    }
}

void Processor::run()
{
    while (m_running) {
        std::unique_ptr<Command> command = take();
        if (command && !command->execute()) {
            requeueAfterPause(std::move(command));
        }
    }
    clear();
    // The close command must run: a lock that timed out is tried again.
    std::unique_ptr<Command> closeCommand;
    while (!m_lock.lock()) {
    }
    closeCommand.swap(m_closeCommand);
    m_lock.unlock();
    if (closeCommand) {
        closeCommand->execute();
    }
}

} // namespace camera
