// Runs the capture dialog's portrait checks on a worker thread of their own: the thread loads
// the checker (its cascades take a while) once, then checks one picture after another in the
// order they were asked for, and hands each outcome back by a queued call.
//
// Threading: constructed, asked, waited on and destroyed on the UI thread. The worker thread
// is the only one that touches the checker; it calls the receiver only through a queued call
// into the context object's thread, and wakes a waiting UI thread through the runner's lock.
#pragma once

#include <portrait/CheckerModule.h>
#include <portrait/PortraitCheck.h>

#include <QImage>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace dialog {

struct PortraitOutcome {
    uint64_t serial = 0;
    // False when the checks could not run (the checker could not be loaded, the picture could
    // not be read); `error` says why and the report is empty.
    bool ran = false;
    std::string error;
    portrait::PortraitReport report;
};

class PortraitCheckRunner final {
public:
    using Receiver = std::function<void(const PortraitOutcome&)>;

    // Starts the worker, which loads the checker from `cascadeFolder` (empty: the system's).
    // Outcomes reach `receiver` in `context`'s thread; `context` must outlive the runner.
    PortraitCheckRunner(QObject* context, Receiver receiver, std::string cascadeFolder = {});
    // Lets a check under way finish, drops those not begun, and joins the worker.
    ~PortraitCheckRunner();
    PortraitCheckRunner(const PortraitCheckRunner&) = delete;
    PortraitCheckRunner& operator=(const PortraitCheckRunner&) = delete;

    // Queues a check of `picture` (shared, never changed here); returns its serial.
    uint64_t submit(QImage picture, const portrait::PortraitLimits& limits, bool checkFace, uint64_t savedBytes = 0);
    // Blocks until the check with `serial` has finished, at most `limit`; its outcome, or
    // nothing when it did not finish in time.
    std::optional<PortraitOutcome> waitFor(uint64_t serial, std::chrono::milliseconds limit);

private:
    struct Job {
        uint64_t serial = 0;
        QImage picture;
        portrait::PortraitLimits limits;
        bool checkFace = false;
        uint64_t savedBytes = 0;
    };

    void run(const std::string& cascadeFolder);
    PortraitOutcome check(const portrait::LoadedPortraitChecker* checker, const std::string& loadError, const Job& job) const;

    QObject* m_context;
    Receiver m_receiver;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    // Finished outcomes kept for waitFor; only the latest few are kept.
    std::map<uint64_t, PortraitOutcome> m_finished;
    uint64_t m_lastSerial = 0;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace dialog
