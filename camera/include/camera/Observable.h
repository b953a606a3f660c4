// Notifications of the camera model: observers are told of each change by name, with an
// argument that lives only for the duration of the call.
//
// Threading: every operation is called from any thread; observers are called on the thread
// that notifies (normally the worker) and must only copy and post.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace camera {

class Observable;

// One notification. `argument` points to data owned by the notifier (or is null).
struct ModelEvent {
    std::string name;
    void* argument = nullptr;
};

class Observer {
public:
    virtual ~Observer() = default;
    virtual void update(Observable* observable, const ModelEvent& event) = 0;
};

class Observable {
public:
    Observable() = default;
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;
    virtual ~Observable() = default;

    // Adds the observer unless it is already there.
    void addObserver(Observer* observer);
    // Once this returns, the observer is not called again (a running notification ends first).
    void removeObserver(Observer* observer);
    // Calls `update` on each observer, the most recently added first.
    void notifyObservers(const ModelEvent& event);
    void notifyObservers(const std::string& name, void* argument = nullptr);

private:
    std::recursive_mutex m_observersMutex;
    std::vector<Observer*> m_observers;
};

} // namespace camera
