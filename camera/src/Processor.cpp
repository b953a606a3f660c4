// The command queue and its worker loop. The worker blocks on the lock's condition while
// nothing is due, so an idle processor never wakes up; a command waiting out its retry pause
// does not hold up the commands queued behind it.
//
// Threading: see Processor.h. The queue, the retries and the close command change only under
// the lock, the running and stopped flags too unless that lock timed out during a stop; the
// loop reads the running flag without it. Commands are destroyed outside the lock.
// Retries cancelled by a later command of the same setting key are destroyed unrun.
#include "camera/Processor.h"

#include <optional>
#include <string>
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
    m_retries.clear();
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
    if (!command) {
        return false;
    }
    const std::optional<std::string> key = command->settingKey();
    // Earlier commands of the same key that wait to run again: destroyed after the unlock.
    std::deque<Deferred> cancelled;
    if (!m_lock.lock()) {
        return false;
    }
    if (m_stopped) {
        // Nothing would ever run or discard it: it goes now, with its handles.
        m_lock.unlock();
        return false;
    }
    Queued queued{++m_sequence, std::move(command)};
    if (key) {
        m_latestOfKey[*key] = queued.sequence;
        for (auto retry = m_retries.begin(); retry != m_retries.end();) {
            if (retry->queued.command->settingKey() == key) {
                cancelled.push_back(std::move(*retry));
                retry = m_retries.erase(retry);
            } else {
                ++retry;
            }
        }
    }
    if (atFront) {
        m_queue.push_front(std::move(queued));
    } else {
        m_queue.push_back(std::move(queued));
    }
    m_lock.notify();
    return true;
}

void Processor::clear()
{
    std::deque<Queued> discarded;
    std::deque<Deferred> discardedRetries;
    if (!m_lock.lock()) {
        return;
    }
    discarded.swap(m_queue);
    discardedRetries.swap(m_retries);
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
    m_stopped = true;
    m_running = false;
    if (locked) {
        m_lock.notify();
    } else {
        m_lock.wake();
    }
    return locked;
}

void Processor::queueDueRetries(Clock::time_point now)
{
    while (!m_retries.empty() && m_retries.front().due <= now) {
        m_queue.push_back(std::move(m_retries.front().queued));
        m_retries.pop_front();
    }
}

bool Processor::superseded(const Queued& queued) const
{
    const std::optional<std::string> key = queued.command->settingKey();
    if (!key) {
        return false;
    }
    const auto latest = m_latestOfKey.find(*key);
    return latest != m_latestOfKey.end() && latest->second != queued.sequence;
}

Processor::Queued Processor::take()
{
    if (!m_lock.lock()) {
        return {};
    }
    for (;;) {
        queueDueRetries(Clock::now());
        if (!m_running || !m_queue.empty()) {
            break;
        }
        if (m_retries.empty()) {
            m_lock.wait();
        } else {
            m_lock.wait(std::chrono::ceil<std::chrono::milliseconds>(m_retries.front().due - Clock::now()));
        }
    }
    if (!m_running) {
        m_lock.unlock();
        return {};
    }
    Queued queued = std::move(m_queue.front());
    m_queue.pop_front();
    m_lock.unlock();
    return queued;
}

void Processor::retryAfterPause(Queued queued)
{
    // The command is never dropped while the processor runs: a lock that timed out is tried
    // again. Once stopped, it is discarded as the queue is.
    while (!m_lock.lock()) {
        if (!m_running) {
            return;
        }
    }
    // A later command for the same setting, queued while this one ran, has the last word.
    if (!m_running || superseded(queued)) {
        m_lock.unlock();
        return;
    }
    // It re-enters behind everything queued until its pause is over.
    m_retries.push_back({Clock::now() + retryPause, std::move(queued)});
    m_lock.notify();
}

void Processor::run()
{
    while (m_running) {
        Queued queued = take();
        if (queued.command && !queued.command->execute()) {
            retryAfterPause(std::move(queued));
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
