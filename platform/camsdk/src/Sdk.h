// The SDK's process-wide state: the simulated world, the handle table, the journal, injected
// faults and the event thread, with the functions that the C entry points share.
//
// Threading: `mutex` guards every member except `events` (locked by itself) and the
// lifecycle, which `lifecycleMutex` serializes. No handler or callback is ever called while
// `mutex` is held. Handlers are called through `deliver`, which marks the call as under way
// so that unregistering the handler waits for it to end (`waitForDeliveryEnd`).
#pragma once

#include "Body.h"
#include "EventThread.h"
#include "HandleTable.h"
#include "camsdk/Simulator.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace camsdk::gp {
class Backend;
}

namespace camsdk::detail {

struct Fault {
    std::string function;
    CamError code = 0;
    int remaining = 0;
    std::optional<CamPropertyID> property;
};

// A handler call under way: which handler, with which context, on which thread.
struct Delivery {
    void (*handler)() = nullptr;
    const void* context = nullptr;
    std::thread::id thread;

    bool calls(void (*otherHandler)(), const void* otherContext) const
    {
        return handler && handler == otherHandler && context == otherContext;
    }
};

// One entry of the journal in the making: what was asked.
struct CallRecord {
    const char* function;
    uint32_t property = 0;
    int64_t argument = 0;
    int64_t argument2 = 0;
};

struct Sdk {
    std::mutex lifecycleMutex;
    std::mutex mutex;

    bool worldLoaded = false;
    sim::SimConfig config;
    std::vector<Body> bodies;

    HandleTable handles;
    int initializeDepth = 0;
    size_t invalidReleases = 0;
    size_t liveAtLastTerminate = 0;
    uint32_t nextImageNumber = 1;

    std::vector<Fault> faults;
    std::deque<sim::Call> journal;

    EventThread events;
    // The handler call under way on the event thread, if any, and its end.
    Delivery delivering;
    std::condition_variable deliveryEnded;

    // Wakes live-view downloads waiting for their frame's due time, so that they see at once
    // that the SDK ended, a body went, a session closed or a handle was released.
    std::condition_variable liveViewWake;

    // Set while the SDK runs with the libgphoto2 back end (VESK_CAMERA_BACKEND=gphoto2).
    std::shared_ptr<gp::Backend> gphoto;

    // Loads the world named by VESK_CAMERA_SIM (or the built-in one) unless one is loaded.
    void ensureWorld();
    void replaceWorld(const sim::SimConfig& newConfig);
    // The injected result for this call, if a fault matches (and is used up by it).
    std::optional<CamError> takeFault(const CallRecord& call);
    CamError record(const CallRecord& call, CamError result);
    Body* body(int index);

    // Event raising, from the event thread after `delayMs`; dropped while the SDK is not started.
    void raisePropertyEvent(int body, CamPropertyEvent event, CamPropertyID property,
                            uint32_t parameter, int delayMs);
    void raiseStateEvent(int body, CamStateEvent event, uint32_t parameter, int delayMs);
    // The handle for the item is made at delivery, and only when a handler takes it.
    void raiseObjectEvent(int body, CamObjectEvent event, std::shared_ptr<ItemData> item, int delayMs);
};

Sdk& sdk();

// Calls the handler of `registration` with `arguments` and its context, marked as the
// delivery under way. Called with the state lock held; returns with it released.
template <typename Handler, typename... Arguments>
void deliver(Sdk& s, std::unique_lock<std::mutex>& lock, const Registration<Handler>& registration,
             Arguments... arguments)
{
    s.delivering = {reinterpret_cast<void (*)()>(registration.handler), registration.context,
                    std::this_thread::get_id()};
    lock.unlock();
    struct EndOfDelivery {
        Sdk& s;
        std::unique_lock<std::mutex>& lock;
        ~EndOfDelivery()
        {
            lock.lock();
            s.delivering = {};
            s.deliveryEnded.notify_all();
            lock.unlock();
        }
    } end{s, lock};
    registration.handler(arguments..., registration.context);
}

// Once a handler registration has been replaced (or removed) under `lock`: waits, the lock
// released meanwhile, until no call of the old handler with its old context is under way,
// unless the caller is that call itself (a handler that unregisters itself returns at once).
template <typename Handler>
void waitForDeliveryEnd(Sdk& s, std::unique_lock<std::mutex>& lock, const Registration<Handler>& old,
                        const Registration<Handler>& current)
{
    const auto handler = reinterpret_cast<void (*)()>(old.handler);
    if (!old.handler || (old.handler == current.handler && old.context == current.context)) {
        return;
    }
    s.deliveryEnded.wait(lock, [&] {
        return !s.delivering.calls(handler, old.context) || s.delivering.thread == std::this_thread::get_id();
    });
}

// Calls other than releases and stream reads need a started SDK.
inline bool started(const Sdk& s)
{
    return s.initializeDepth > 0;
}

// The body behind a camera handle: CAM_ERR_INVALID_HANDLE for a handle that is not a live
// camera, CAM_ERR_COMM_DISCONNECTED when its body has gone.
CamError cameraBody(Sdk& s, CamBaseRef ref, int& index, Body*& body);
// As cameraBody, and CAM_ERR_SESSION_NOT_OPEN when the body's session is not open.
CamError sessionBody(Sdk& s, CamBaseRef ref, int& index, Body*& body);

enum class Session { Any, Required };

// cameraBody, or sessionBody when the call needs an open session.
inline CamError bodyOf(Sdk& s, CamBaseRef ref, Session session, int& index, Body*& body)
{
    return session == Session::Required ? sessionBody(s, ref, index, body) : cameraBody(s, ref, index, body);
}

using StateLock = std::unique_lock<std::mutex>;

enum class Needs { Nothing, Started };

// Runs one C entry point under the state lock and journals its result: an injected fault
// answers first, then CAM_ERR_INTERNAL_ERROR when the call needs a started SDK and it is not;
// otherwise `work(s, lock)` answers. `work` may release the lock but holds it again on return.
// No exception leaves it: one that `work` throws (memory running out while a picture is
// rendered, say) answers CAM_ERR_MEM_ALLOC_FAILED or CAM_ERR_UNEXPECTED_EXCEPTION, because it
// would otherwise cross the C boundary into the caller.
template <typename Work>
CamError journaledCall(const CallRecord& call, Needs needs, Work&& work)
{
    Sdk& s = sdk();
    StateLock lock(s.mutex);
    if (const auto fault = s.takeFault(call)) {
        return s.record(call, *fault);
    }
    if (needs == Needs::Started && !started(s)) {
        return s.record(call, CAM_ERR_INTERNAL_ERROR);
    }
    CamError result = CAM_ERR_OK;
    try {
        result = work(s, lock);
    } catch (const std::bad_alloc&) {
        result = CAM_ERR_MEM_ALLOC_FAILED;
    } catch (const std::exception&) {
        result = CAM_ERR_UNEXPECTED_EXCEPTION;
    }
    if (!lock.owns_lock()) {
        lock.lock();
    }
    return s.record(call, result);
}

// A journaled call on the body behind `camera` with a started SDK: `work(s, index, body)`
// answers once the body is found (and its session is open, when required).
template <typename Work>
CamError withBody(const CallRecord& call, CamBaseRef camera, Session session, Work&& work)
{
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        int index = 0;
        Body* body = nullptr;
        if (const CamError error = bodyOf(s, camera, session, index, body)) {
            return error;
        }
        return work(s, index, *body);
    });
}

// Appends to a memory stream or writes at a file stream's position. Called with the stream's lock.
CamError writeLocked(StreamData& stream, const uint8_t* data, size_t size);

struct ProgressSettings {
    CamProgressCallback callback = nullptr;
    uint32_t option = CAM_PROGRESS_OPTION_NO_REPORT;
    void* context = nullptr;
};

// Writes the first `total` bytes in chunks, with one progress call per chunk when asked to
// (on the calling thread, no lock held but the stream's while writing).
CamError writeChunks(StreamData& stream, const std::vector<uint8_t>& bytes, uint64_t total,
                     size_t chunkBytes, const ProgressSettings& progress);

// Runs the call on the libgphoto2 back end when it is the one selected: a journaled call whose
// `work(s, lock)` answers; empty when the simulator answers instead. The choice is made under
// the state lock, so a call racing CamTerminateSDK sees one back end or the other.
template <typename Work>
std::optional<CamError> routedToGphoto(const CallRecord& call, Work&& work)
{
    Sdk& s = sdk();
    {
        StateLock lock(s.mutex);
        if (!s.gphoto) {
            return std::nullopt;
        }
    }
    return journaledCall(call, Needs::Started, [&](Sdk& state, StateLock& lock) -> CamError {
        if (!state.gphoto) {
            return CAM_ERR_INTERNAL_ERROR;
        }
        return work(state, lock);
    });
}

// Makes a picture on `body` (or announces an autofocus failure instead, when one is armed and
// the shot uses autofocus). Called with `lock` held; releases it while rendering.
void takePicture(std::unique_lock<std::mutex>& lock, int body, bool withAutofocus);

} // namespace camsdk::detail
