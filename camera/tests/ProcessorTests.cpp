// The command queue and its worker: order, retries, stop, front insertion and the lifetime of
// the objects a still-running worker uses.
#include "CameraTestSupport.h"

#include "camera/CameraController.h"
#include "camera/Processor.h"

#include <future>
#include <thread>

namespace camera::test {
namespace {

using Labels = std::vector<std::string>;

// Guards against a retried command overtaking work queued while it ran or paused.
TEST(ProcessorTest, RetriedCommandRunsBehindEverythingQueuedMeanwhile)
{
    RunLog log;
    Gate firstRun;
    Processor processor;
    processor.start();
    processor.enqueue(std::make_unique<ScriptCommand>(log, "retried", 1, &firstRun));
    ASSERT_TRUE(log.waitForSize(1));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "during run"));
    firstRun.open();
    // The retried command is pausing now (500 ms); this one is queued during the pause.
    std::this_thread::sleep_for(100ms);
    processor.enqueue(std::make_unique<ScriptCommand>(log, "during pause"));
    ASSERT_TRUE(log.waitForSize(4));
    EXPECT_EQ(log.labels(), (Labels{"retried", "during run", "during pause", "retried"}));
    EXPECT_TRUE(processor.stop());
}

// Guards against queued work running after a stop, or the close command running twice or not at all.
TEST(ProcessorTest, StopDiscardsQueueAndRunsOnlyTheCloseCommandOnce)
{
    RunLog log;
    Gate blocker;
    int discarded = 0;
    Processor processor;
    processor.start();
    processor.enqueue(std::make_unique<ScriptCommand>(log, "running", 0, &blocker));
    ASSERT_TRUE(log.waitForSize(1));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "queued 1", 0, nullptr, &discarded));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "queued 2", 0, nullptr, &discarded));
    processor.setCloseCommand(std::make_unique<ScriptCommand>(log, "close"));
    auto stopped = std::async(std::launch::async, [&] { return processor.stop(); });
    while (processor.isRunning()) {
        std::this_thread::sleep_for(1ms);
    }
    blocker.open();
    EXPECT_TRUE(stopped.get());
    EXPECT_EQ(log.labels(), (Labels{"running", "close"}));
    EXPECT_EQ(discarded, 2);
}

// Guards against a stop during a retry pause waiting out the pause or running the command again.
TEST(ProcessorTest, StopEndsRetryPauseAndDropsTheRetriedCommand)
{
    RunLog log;
    int destroyed = 0;
    Processor processor;
    processor.start();
    processor.enqueue(std::make_unique<ScriptCommand>(log, "retried", 5, nullptr, &destroyed));
    ASSERT_TRUE(log.waitForSize(1));
    EXPECT_TRUE(processor.stop());
    EXPECT_EQ(log.labels(), (Labels{"retried"}));
    EXPECT_EQ(destroyed, 1);
}

// Guards against the shutdown notification waiting behind queued camera work.
TEST(ProcessorTest, EnqueueFrontOvertakesQueuedCommands)
{
    RunLog log;
    Gate blocker;
    Processor processor;
    processor.start();
    processor.enqueue(std::make_unique<ScriptCommand>(log, "running", 0, &blocker));
    ASSERT_TRUE(log.waitForSize(1));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "first"));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "second"));
    processor.enqueueFront(std::make_unique<ScriptCommand>(log, "front"));
    blocker.open();
    ASSERT_TRUE(log.waitForSize(4));
    EXPECT_EQ(log.labels(), (Labels{"running", "front", "first", "second"}));
}

// Guards against a null command being queued (and crashing the worker).
TEST(ProcessorTest, NullCommandIsIgnored)
{
    RunLog log;
    Processor processor;
    processor.start();
    EXPECT_FALSE(processor.enqueue(nullptr));
    EXPECT_FALSE(processor.enqueueFront(nullptr));
    processor.enqueue(std::make_unique<ScriptCommand>(log, "after"));
    ASSERT_TRUE(log.waitForSize(1));
    EXPECT_EQ(log.labels(), (Labels{"after"}));
}

// Guards against a stop issued right after the start being undone by the starting worker, and
// against a processor destroyed unstopped leaving its worker behind.
TEST(ProcessorTest, StopRightAfterStartAndDestructionWithoutStopEndTheWorker)
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
