// Command processor figures: the time from queueing a command on an idle processor to the
// start of its execute (median and 99th percentile), and how often an idle worker wakes up.
//
// Threading: the benchmark thread queues; the processor's worker executes.
#include "camera/Command.h"
#include "camera/Processor.h"

#include <benchmark/benchmark.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Records when its execute began and on which kernel thread.
class StampCommand final : public camera::Command {
public:
    StampCommand(std::atomic<int64_t>& stamp, std::atomic<long>& threadId)
        : Command(nullptr), m_stamp(stamp), m_threadId(threadId) {}

    bool execute() override
    {
        m_stamp.store(nowNanoseconds(), std::memory_order_release);
        m_threadId.store(syscall(SYS_gettid), std::memory_order_relaxed);
        return true;
    }

private:
    std::atomic<int64_t>& m_stamp;
    std::atomic<long>& m_threadId;
};

int64_t waitForStamp(std::atomic<int64_t>& stamp)
{
    int64_t value = 0;
    // Yielding leaves the CPU to the worker on a machine with few cores.
    while ((value = stamp.load(std::memory_order_acquire)) == 0) {
        std::this_thread::yield();
    }
    return value;
}

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
    return samples[index];
}

// Voluntary and involuntary context switches of one thread of this process.
long contextSwitches(long threadId)
{
    std::ifstream status("/proc/self/task/" + std::to_string(threadId) + "/status");
    long total = 0;
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("voluntary_ctxt_switches:") || line.starts_with("nonvoluntary_ctxt_switches:")) {
            total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

void enqueueToExecute(benchmark::State& state)
{
    camera::Processor processor;
    processor.start();
    std::atomic<int64_t> stamp{0};
    std::atomic<long> threadId{0};
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        // Let the worker block on an empty queue again: the processor is idle when queued to.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        stamp.store(0);
        const int64_t start = nowNanoseconds();
        processor.enqueue(std::make_unique<StampCommand>(stamp, threadId));
        const double seconds = static_cast<double>(waitForStamp(stamp) - start) / 1e9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    processor.stop();
    state.counters["median_ms"] = percentile(samples, 0.5) * 1e3;
    state.counters["p99_ms"] = percentile(samples, 0.99) * 1e3;
    state.counters["max_ms"] = percentile(samples, 1.0) * 1e3;
}
BENCHMARK(enqueueToExecute)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

void idleWakeups(benchmark::State& state)
{
    camera::Processor processor;
    processor.start();
    std::atomic<int64_t> stamp{0};
    std::atomic<long> threadId{0};
    processor.enqueue(std::make_unique<StampCommand>(stamp, threadId));
    waitForStamp(stamp);
    const long worker = threadId.load();
    const auto idle = std::chrono::milliseconds(1500);
    double wakeupsPerSecond = 0.0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long before = contextSwitches(worker);
        std::this_thread::sleep_for(idle);
        const long after = contextSwitches(worker);
        wakeupsPerSecond = static_cast<double>(after - before) / std::chrono::duration<double>(idle).count();
    }
    processor.stop();
    state.counters["wakeups_per_s"] = wakeupsPerSecond;
}
BENCHMARK(idleWakeups)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
