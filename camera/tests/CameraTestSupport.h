// Shared fixture of the camera framework tests: a fresh simulated camera per test, a private
// working folder, an observer that records notifications, and journal queries. Every test
// ends with no SDK handle left alive and none released twice.
//
// Threading: the recording observer is called from the worker or the test thread.
#pragma once

#include "camera/CameraModel.h"
#include "camera/Command.h"
#include "camera/Observable.h"

#include <camsdk/CamSdk.h>
#include <camsdk/Simulator.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace camera::test {

using namespace std::chrono_literals;

struct Notification {
    std::string name;
    uint32_t value = 0;        // property ID, error code or percentage
    std::string text;          // file name
    uint32_t zoom = 0;         // live-view frames
    CamSize coordinateSystem{};
    uint64_t frameBytes = 0;   // bytes of a frame stream the observer took
    CamRect zoomRect{};
    CamPoint imagePosition{};
};

// A notification as "name", "name <hex value>" or "name <text>", for whole-sequence comparisons.
std::string notificationText(const Notification& notification);

// A journal entry as "Function <hex property> <argument> <argument2>", for whole-sequence
// comparisons; `journalTexts` gives the whole journal so.
std::string callText(const std::string& function, uint32_t property = 0, int64_t argument = 0, int64_t argument2 = 0);
std::vector<std::string> journalTexts();
// What opening a session on a current camera asks of the SDK, in order.
std::vector<std::string> currentOpeningCalls();

// Records every notification. Frames: takes and releases the stream when `takeFrames`.
class RecordingObserver final : public Observer {
public:
    explicit RecordingObserver(bool takeFrames = true) : m_takeFrames(takeFrames) {}

    void update(Observable* observable, const ModelEvent& event) override;

    bool waitFor(const std::string& name, std::size_t count = 1, std::chrono::milliseconds timeout = 5s);
    std::vector<Notification> all() const;
    std::vector<std::string> names() const;
    std::vector<Notification> named(const std::string& name) const;
    // Every notification as `notificationText`, download progress left out.
    std::vector<std::string> texts() const;
    void clear();

private:
    bool m_takeFrames;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Notification> m_notifications;
};

// Thread-safe list of labels, in the order commands ran.
class RunLog {
public:
    void add(const std::string& label);
    bool waitForSize(std::size_t size, std::chrono::milliseconds timeout = 5s);
    std::vector<std::string> labels() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_labels;
};

// A one-shot gate a test command can block on.
class Gate {
public:
    void open();
    void waitOpen();

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

// A test command: logs its label, optionally blocks on a gate, asks `failures` times to run
// again; it may stand for a setting (`settingKey`).
class ScriptCommand final : public Command {
public:
    ScriptCommand(RunLog& log, std::string label, int failures = 0, Gate* gate = nullptr,
                  int* destroyed = nullptr);
    ~ScriptCommand() override;
    bool execute() override;
    std::optional<std::string> settingKey() const override { return m_key; }
    void setSettingKey(std::string key) { m_key = std::move(key); }

private:
    std::optional<std::string> m_key;
    RunLog& m_log;
    std::string m_label;
    int m_failures;
    Gate* m_gate;
    int* m_destroyed;
};

// An object event handler that keeps the directory items announced for transfer and releases
// every other object.
class ItemCatcher {
public:
    static CamError handle(CamObjectEvent event, CamBaseRef object, void* context);
    // The next announced item, waiting up to `timeout` for it; null when none came.
    CamDirectoryItemRef take(std::chrono::milliseconds timeout = 5s);

private:
    std::mutex m_mutex;
    std::vector<CamDirectoryItemRef> m_items;
};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the SDK on the simulated world (adjusted first) and picks body 0.
    void connect(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {});
    // connect, open the session, make the matching model and attach the observer.
    std::shared_ptr<CameraModel> openModel(const std::function<void(camsdk::sim::SimConfig&)>& adjust = {});

    static std::vector<camsdk::sim::Call> calls(const std::string& function);
    static std::vector<camsdk::sim::Call> callsOf(const std::string& function, uint32_t property);
    // Polls the journal until `predicate` holds.
    static bool waitForJournal(const std::function<bool(const std::vector<camsdk::sim::Call>&)>& predicate,
                               std::chrono::milliseconds timeout = 5s);

    CamCameraRef m_camera = nullptr;
    CamDeviceInfo m_deviceInfo{};
    std::shared_ptr<CameraModel> m_model;
    RecordingObserver m_observer;
    std::filesystem::path m_folder;

private:
    std::filesystem::path m_previousFolder;
    bool m_sdkStarted = false;
};

} // namespace camera::test
