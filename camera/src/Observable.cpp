// The observer list of the camera model. The list lock is held while observers are called, so
// a removal waits for a running notification and is final once it returns.
//
// Threading: see Observable.h.
#include "camera/Observable.h"

#include <algorithm>

namespace camera {

void Observable::addObserver(Observer* observer)
{
    std::lock_guard guard(m_observersMutex);
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void Observable::removeObserver(Observer* observer)
{
    std::lock_guard guard(m_observersMutex);
    std::erase(m_observers, observer);
}

void Observable::notifyObservers(const ModelEvent& event)
{
    std::lock_guard guard(m_observersMutex);
    // A copy, because an observer may remove itself or another one while being called.
    const std::vector<Observer*> observers = m_observers;
    for (auto it = observers.rbegin(); it != observers.rend(); ++it) {
        if (std::find(m_observers.begin(), m_observers.end(), *it) != m_observers.end()) {
            (*it)->update(this, event);
        }
    }
}

void Observable::notifyObservers(const std::string& name, void* argument)
{
    notifyObservers(ModelEvent{name, argument});
}

} // namespace camera
