// The simulator's control interface: world configuration, fault injection, camera-side
// happenings and what tests read back.
// Threading: any thread; each function takes the SDK's state lock.
#include "camsdk/Simulator.h"

#include "Sdk.h"

#include <stdexcept>

namespace camsdk::sim {
namespace {

using detail::Body;
using detail::Sdk;
using detail::sdk;

Body& bodyAt(Sdk& s, int index)
{
    s.ensureWorld();
    Body* body = s.body(index);
    if (!body) {
        throw std::out_of_range("camsdk: no simulated body " + std::to_string(index));
    }
    return *body;
}

} // namespace

void configure(const SimConfig& config)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    std::vector<detail::Handlers> handlers;
    for (const Body& body : s.bodies) {
        handlers.push_back(body.handlers);
    }
    s.replaceWorld(config);
    for (size_t index = 0; index < handlers.size() && index < s.bodies.size(); ++index) {
        s.bodies[index].handlers = handlers[index];
    }
    s.liveViewWake.notify_all();
}

void reset()
{
    Sdk& s = sdk();
    std::lock_guard lifecycle(s.lifecycleMutex);
    s.events.stop();
    std::lock_guard lock(s.mutex);
    s.worldLoaded = false;
    s.config = SimConfig{};
    s.bodies.clear();
    s.handles.clear();
    s.initializeDepth = 0;
    s.invalidReleases = 0;
    s.liveAtLastTerminate = 0;
    s.nextImageNumber = 1;
    s.faults.clear();
    s.journal.clear();
    s.liveViewWake.notify_all();
}

void injectFault(const std::string& function, CamError code, int count, std::optional<CamPropertyID> property)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    if (count > 0) {
        s.faults.push_back({function, code, count, property});
    }
}

void clearFaults()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    s.faults.clear();
}

void disconnect(int body)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    Body& target = bodyAt(s, body);
    target.connected = false;
    target.sessionOpen = false;
    ++target.autofocusGeneration;
    s.liveViewWake.notify_all();
    s.raiseStateEvent(body, CAM_STATE_EVENT_SHUTDOWN, 0, 0);
}

void reconnect(int body)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body).connected = true;
}

void failNextAutofocus(int body, CamError code)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body).autofocusFailure = code;
}

void pressPhysicalShutter(int body, int delayMs)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body);
    s.events.post(std::chrono::milliseconds(std::max(0, delayMs)), [body] {
        Sdk& state = sdk();
        std::unique_lock taskLock(state.mutex);
        const Body* target = state.body(body);
        if (target && target->connected) {
            detail::takePicture(taskLock, body, true);
        }
    });
}

void setProperty(int body, CamPropertyID property, uint32_t value)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body).setValue(property, value);
    s.raisePropertyEvent(body, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property, 0, 0);
}

void setAllowedValues(int body, CamPropertyID property, std::vector<uint32_t> allowed)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body).setAllowed(property, std::move(allowed));
    s.raisePropertyEvent(body, CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, property, 0, 0);
}

void raiseObjectEvent(int body, CamObjectEvent event, bool withItem)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body);
    std::shared_ptr<detail::ItemData> item;
    if (withItem) {
        item = std::make_shared<detail::ItemData>();
        item->body = body;
        char name[64];
        std::snprintf(name, sizeof name, "%04u.JPG", s.nextImageNumber++ % 10000);
        item->fileName = s.config.imageFilePrefix + name;
        item->bytes = std::make_shared<const std::vector<uint8_t>>();
    }
    s.raiseObjectEvent(body, event, std::move(item), 0);
}

void raiseStateEvent(int body, CamStateEvent event, uint32_t parameter)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body);
    s.raiseStateEvent(body, event, parameter, 0);
}

void raisePropertyEvent(int body, CamPropertyEvent event, CamPropertyID property, uint32_t parameter)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    bodyAt(s, body);
    s.raisePropertyEvent(body, event, property, parameter, 0);
}

bool waitForEventsDelivered(int timeoutMs)
{
    return sdk().events.waitIdle(timeoutMs);
}

std::vector<Call> journal()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return std::vector<Call>(s.journal.begin(), s.journal.end());
}

void clearJournal()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    s.journal.clear();
}

uint32_t propertyValue(int body, CamPropertyID property)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return bodyAt(s, body).value(property);
}

CamPoint zoomPosition(int body)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return bodyAt(s, body).zoomPosition();
}

std::optional<std::chrono::steady_clock::time_point> lastLiveViewFrameDue(int body)
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return bodyAt(s, body).lastFrameDue;
}

size_t liveHandleCount()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return s.handles.liveCount();
}

size_t handlesLiveAtLastTerminate()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return s.liveAtLastTerminate;
}

size_t invalidReleaseCount()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return s.invalidReleases;
}

int initializeDepth()
{
    Sdk& s = sdk();
    std::lock_guard lock(s.mutex);
    return s.initializeDepth;
}

} // namespace camsdk::sim
