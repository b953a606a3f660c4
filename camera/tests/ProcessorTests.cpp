// The command queue and its worker: order, retries, stop, front insertion and the lifetime of
// the objects a still-running worker uses.
#include "CameraTestSupport.h"

#include "camera/CameraController.h"
#include "camera/Processor.h"

#include <algorithm>
#include <future>
#include <thread>

namespace camera::test {
namespace {

using Labels = std::vector<std::string>;

class ProcessorTest : public ::testing::Test {
protected:
    // Starts the worker and keeps it inside a command that waits for `m_blocker`; it asks to
    // run again `failures` times.
    void startBusy(const std::string& label, int failures = 0)
    {
        m_processor.start();
        m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, label, failures, &m_blocker));
        ASSERT_TRUE(m_log.waitForSize(1));
    }

    // A failed test must not leave the worker blocked for the processor's destructor.
    void TearDown() override { m_blocker.open(); }

    RunLog m_log;
    Gate m_blocker;
    Processor m_processor;
};

// Guards against a retried command overtaking work queued while it ran or paused.
TEST_F(ProcessorTest, RetriedCommandRunsBehindEverythingQueuedMeanwhile)
{
    startBusy("retried", 1);
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "during run"));
    m_blocker.open();
    // The retried command is pausing now (500 ms); this one is queued during the pause.
    std::this_thread::sleep_for(100ms);
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "during pause"));
    ASSERT_TRUE(m_log.waitForSize(4));
    EXPECT_EQ(m_log.labels(), (Labels{"retried", "during run", "during pause", "retried"}));
    EXPECT_TRUE(m_processor.stop());
}

// Guards against a retry that fell due while the worker was busy jumping ahead of the work
// queued while it waited (it must go to the back of the queue, not the front).
TEST_F(ProcessorTest, RetryFallingDueDuringALongCommandRunsBehindWorkQueuedMeanwhile)
{
    m_processor.start();
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "retried", 1));
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "long", 0, &m_blocker));
    // "long" runs only after "retried" has been put aside for its pause.
    ASSERT_TRUE(m_log.waitForSize(2));
    const auto retryRegistered = std::chrono::steady_clock::now();
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "queued meanwhile"));
    // Hold the worker until the retry's pause is surely over.
    std::this_thread::sleep_until(retryRegistered + Processor::retryPause + 100ms);
    m_blocker.open();
    ASSERT_TRUE(m_log.waitForSize(4));
    EXPECT_EQ(m_log.labels(), (Labels{"retried", "long", "queued meanwhile", "retried"}));
}

// Guards against an older request for a setting overriding a newer one: a command with the
// same setting key cancels the pending retry of an earlier one, and one that is running when
// the newer one comes does not run again; commands without a key or of another key are kept.
TEST_F(ProcessorTest, LaterCommandOfTheSameSettingCancelsItsRetries)
{
    const auto keyed = [&](const std::string& label, const std::string& key, int failures, Gate* gate = nullptr,
                           int* destroyed = nullptr) {
        auto command = std::make_unique<ScriptCommand>(m_log, label, failures, gate, destroyed);
        command->setSettingKey(key);
        return command;
    };
    int cancelled = 0;
    m_processor.start();
    m_processor.enqueue(keyed("older Tv", "Tv", 1, nullptr, &cancelled));
    m_processor.enqueue(keyed("other Av", "Av", 1));
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "no key", 1));
    m_processor.enqueue(keyed("running Tv", "Tv", 1, &m_blocker, &cancelled));
    ASSERT_TRUE(m_log.waitForSize(4));
    // "older Tv" waits out its pause now and "running Tv" is running.
    m_processor.enqueue(keyed("newer Tv", "Tv", 0));
    EXPECT_EQ(cancelled, 1) << "the pending retry went at once";
    m_blocker.open();
    ASSERT_TRUE(m_log.waitForSize(7));
    RunLog marker;
    m_processor.enqueue(std::make_unique<ScriptCommand>(marker, "marker", 1));
    ASSERT_TRUE(marker.waitForSize(2));
    EXPECT_EQ(cancelled, 2);
    Labels labels = m_log.labels();
    EXPECT_EQ(Labels(labels.begin(), labels.begin() + 5),
              (Labels{"older Tv", "other Av", "no key", "running Tv", "newer Tv"}));
    std::sort(labels.begin() + 5, labels.end());
    EXPECT_EQ(Labels(labels.begin() + 5, labels.end()), (Labels{"no key", "other Av"})) << "run again";
}

// Guards against queued work running after a stop, or the close command running twice or not at all.
TEST_F(ProcessorTest, StopDiscardsQueueAndRunsOnlyTheCloseCommandOnce)
{
    int discarded = 0;
    startBusy("running");
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "queued 1", 0, nullptr, &discarded));
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "queued 2", 0, nullptr, &discarded));
    m_processor.setCloseCommand(std::make_unique<ScriptCommand>(m_log, "close"));
    auto stopped = std::async(std::launch::async, [&] { return m_processor.stop(); });
    while (m_processor.isRunning()) {
        std::this_thread::sleep_for(1ms);
    }
    m_blocker.open();
    EXPECT_TRUE(stopped.get());
    EXPECT_EQ(m_log.labels(), (Labels{"running", "close"}));
    EXPECT_EQ(discarded, 2);
}

// Guards against a stop during a retry pause waiting out the pause or running the command again.
TEST_F(ProcessorTest, StopEndsRetryPauseAndDropsTheRetriedCommand)
{
    int destroyed = 0;
    m_processor.start();
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "retried", 5, nullptr, &destroyed));
    ASSERT_TRUE(m_log.waitForSize(1));
    const auto executed = std::chrono::steady_clock::now();
    // Well inside the pause, which would last until 500 ms after the execution.
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(m_processor.stop());
    EXPECT_LT(std::chrono::steady_clock::now() - executed, Processor::retryPause - 100ms);
    EXPECT_EQ(m_log.labels(), (Labels{"retried"}));
    EXPECT_EQ(destroyed, 1);
}

// Guards against a command waiting out its retry pause holding up the work queued behind it
// (ten unreadable properties would otherwise delay the next picture's download by seconds).
TEST_F(ProcessorTest, WorkQueuedBehindARetryDoesNotWaitOutItsPause)
{
    startBusy("retried", 1);
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "behind"));
    const auto released = std::chrono::steady_clock::now();
    m_blocker.open();
    ASSERT_TRUE(m_log.waitForSize(2));
    EXPECT_LT(std::chrono::steady_clock::now() - released, Processor::retryPause - 100ms);
    ASSERT_TRUE(m_log.waitForSize(3));
    EXPECT_EQ(m_log.labels(), (Labels{"retried", "behind", "retried"}));
}

// Guards against a command queued after the stop (a late camera event) keeping its handles
// until the processor is destroyed, while work queued before the start still runs.
TEST_F(ProcessorTest, CommandsQueuedAfterAStopAreDestroyedAtOnce)
{
    int destroyed = 0;
    EXPECT_TRUE(m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "before start")));
    m_processor.start();
    ASSERT_TRUE(m_log.waitForSize(1));
    EXPECT_TRUE(m_processor.stop());
    EXPECT_FALSE(m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "late", 0, nullptr, &destroyed)));
    EXPECT_FALSE(m_processor.enqueueFront(std::make_unique<ScriptCommand>(m_log, "late front", 0, nullptr, &destroyed)));
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(m_log.labels(), (Labels{"before start"}));
}

// Guards against the shutdown notification waiting behind queued camera work.
TEST_F(ProcessorTest, EnqueueFrontOvertakesQueuedCommands)
{
    startBusy("running");
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "first"));
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "second"));
    m_processor.enqueueFront(std::make_unique<ScriptCommand>(m_log, "front"));
    m_blocker.open();
    ASSERT_TRUE(m_log.waitForSize(4));
    EXPECT_EQ(m_log.labels(), (Labels{"running", "front", "first", "second"}));
}

// Guards against a null command being queued (and crashing the worker).
TEST_F(ProcessorTest, NullCommandIsIgnored)
{
    m_processor.start();
    EXPECT_FALSE(m_processor.enqueue(nullptr));
    EXPECT_FALSE(m_processor.enqueueFront(nullptr));
    m_processor.enqueue(std::make_unique<ScriptCommand>(m_log, "after"));
    ASSERT_TRUE(m_log.waitForSize(1));
    EXPECT_EQ(m_log.labels(), (Labels{"after"}));
}

// Guards against a stop issued right after the start being undone by the starting worker, and
// against a processor destroyed unstopped leaving its worker behind.
TEST(ProcessorLifetimeTest, StopRightAfterStartAndDestructionWithoutStopEndTheWorker)
{
    RunLog log;
    {
        Processor processor;
        processor.start();
        processor.setCloseCommand(std::make_unique<ScriptCommand>(log, "close"));
        EXPECT_TRUE(processor.stop());
    }
    {
        Processor processor;
        processor.start();
        processor.enqueue(std::make_unique<ScriptCommand>(log, "queued"));
        ASSERT_TRUE(log.waitForSize(2));
    }
    EXPECT_EQ(log.labels(), (Labels{"close", "queued"}));
}

// A command that keeps the worker busy beyond the 5 s of a stop, then uses its model.
class LongCommand final : public Command {
public:
    LongCommand(CameraModel* model, Gate& started) : Command(model), m_started(started) {}
    bool execute() override
    {
        m_started.open();
        std::this_thread::sleep_for(6s);
        m_model->notifyObservers("DeviceBusy");
        return m_model->evfOutputDevice() == 0;
    }

private:
    Gate& m_started;
};

using LifetimeTest = CameraTest;

// Guards against the driver deleting the model and the controller while a worker that outlived
// the stop still uses them (checked for use after free under ASan).
TEST_F(LifetimeTest, WorkerOutlivingStopKeepsModelAndControllerAlive)
{
    connect();
    auto model = createCameraModel(m_camera, m_deviceInfo);
    RecordingObserver observer;
    model->addObserver(&observer);
    auto controller = std::make_unique<CameraController>(model);
    controller->run();
    ASSERT_TRUE(observer.waitFor("CameraConnected"));
    Gate started;
    controller->postCommand(std::make_unique<LongCommand>(model.get(), started));
    started.waitOpen();

    controller->actionPerformed(ActionEvent("closing", nullptr));
    EXPECT_TRUE(calls("CamCloseSession").empty());
    model.reset();
    controller.reset();

    EXPECT_EQ(observer.named("DeviceBusy").size(), 1u);
    EXPECT_EQ(calls("CamCloseSession").size(), 1u);
}

} // namespace
} // namespace camera::test
