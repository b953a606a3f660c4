// C entry points of the SDK: start and end, handles, camera list and sessions. Every call is
// journaled and may be answered by an injected fault before it changes anything.
// Threading: any thread; each call holds the state lock while it runs; no handler is called
// from here.
#include "Sdk.h"
#include "gphoto/Backend.h"

#include <cstdio>

using camsdk::detail::Body;
using camsdk::detail::CallRecord;
using camsdk::detail::CameraData;
using camsdk::detail::CameraListData;
using camsdk::detail::journaledCall;
using camsdk::detail::Needs;
using camsdk::detail::Sdk;
using camsdk::detail::sdk;
using camsdk::detail::Session;
using camsdk::detail::StateLock;
using camsdk::detail::takePicture;
using camsdk::detail::withBody;

namespace {

void schedulePhysicalShutter(Sdk& s, int index, int delayMs)
{
    s.events.post(std::chrono::milliseconds(delayMs), [index] {
        Sdk& state = sdk();
        std::unique_lock lock(state.mutex);
        const Body* body = state.body(index);
        if (body && body->connected) {
            takePicture(lock, index, true);
        }
    });
}

// A camera reports its settings when a session opens, as a real one does: a change event for
// every property it has, and a description event for each that lists allowed values.
void announceSettings(Sdk& s, int index, const Body& body)
{
    for (const CamPropertyID property : {CAM_PROP_PRODUCT_NAME, CAM_PROP_BODY_ID}) {
        s.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property, 0, 0);
    }
    for (const auto& [property, setting] : body.config().properties) {
        s.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property, 0, 0);
        if (!setting.allowed.empty()) {
            s.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, property, 0, 0);
        }
    }
}

} // namespace

extern "C" {

CamError CamInitializeSDK(void)
{
    Sdk& s = sdk();
    std::lock_guard lifecycle(s.lifecycleMutex);
    const CallRecord call{"CamInitializeSDK"};
    bool first = false;
    {
        std::lock_guard lock(s.mutex);
        if (const auto fault = s.takeFault(call)) {
            return s.record(call, *fault);
        }
        first = s.initializeDepth == 0;
        if (first) {
            bool unknownName = false;
            const bool gphoto = camsdk::gp::Backend::selectedByEnvironment(unknownName);
            if (unknownName) {
                std::fprintf(stderr, "camsdk: VESK_CAMERA_BACKEND names no back end (use gphoto2 or simulator)\n");
                return s.record(call, CAM_ERR_MISSING_SUBCOMPONENT);
            }
            s.gphoto = gphoto ? std::make_shared<camsdk::gp::Backend>() : nullptr;
        }
    }
    if (first) {
        s.events.start();
    }
    std::lock_guard lock(s.mutex);
    if (s.initializeDepth++ == 0) {
        s.ensureWorld();
        s.nextImageNumber = 1;
        for (Body& body : s.bodies) {
            body.physicalShutterScheduled = false;
            body.sessionOpen = false;
        }
    }
    return s.record(call, CAM_ERR_OK);
}

CamError CamTerminateSDK(void)
{
    Sdk& s = sdk();
    std::lock_guard lifecycle(s.lifecycleMutex);
    const CallRecord call{"CamTerminateSDK"};
    {
        std::lock_guard lock(s.mutex);
        if (const auto fault = s.takeFault(call)) {
            return s.record(call, *fault);
        }
        if (s.initializeDepth == 0 || --s.initializeDepth > 0) {
            return s.record(call, CAM_ERR_OK);
        }
        for (Body& body : s.bodies) {
            body.handlers = {};
            body.sessionOpen = false;
            ++body.autofocusGeneration;
        }
        s.liveViewWake.notify_all();
        s.record(call, CAM_ERR_OK);
    }
    std::shared_ptr<camsdk::gp::Backend> gphoto;
    {
        std::lock_guard lock(s.mutex);
        gphoto = std::move(s.gphoto);
    }
    if (gphoto) {
        gphoto->shutdown();
    }
    // Pending events are dropped; a handler still running is waited for, and may still release
    // what it was handed before the handles are counted.
    s.events.stop();
    std::lock_guard lock(s.mutex);
    s.liveAtLastTerminate = s.handles.liveCount();
    if (s.liveAtLastTerminate > 0) {
        std::fprintf(stderr, "camsdk: CamTerminateSDK with %zu live handle(s)\n", s.liveAtLastTerminate);
    }
    return CAM_ERR_OK;
}

CamError CamRelease(CamBaseRef ref)
{
    return journaledCall({"CamRelease"}, Needs::Nothing, [&](Sdk& s, StateLock&) -> CamError {
        if (!s.handles.release(ref)) {
            ++s.invalidReleases;
            return CAM_ERR_INVALID_HANDLE;
        }
        // A download waiting for a frame for this camera or into this image gives up.
        s.liveViewWake.notify_all();
        return CAM_ERR_OK;
    });
}

CamError CamGetCameraList(CamCameraListRef* outList)
{
    return journaledCall({"CamGetCameraList"}, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        if (s.gphoto) {
            return s.gphoto->cameraList(s, lock, outList);
        }
        if (!outList) {
            return CAM_ERR_INVALID_POINTER;
        }
        CameraListData list;
        for (size_t index = 0; index < s.bodies.size(); ++index) {
            if (s.bodies[index].connected) {
                list.bodies.push_back(static_cast<int>(index));
            }
        }
        *outList = s.handles.add(std::move(list));
        return CAM_ERR_OK;
    });
}

CamError CamGetChildCount(CamBaseRef parent, int32_t* outCount)
{
    return journaledCall({"CamGetChildCount"}, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        if (s.gphoto) {
            return s.gphoto->childCount(s, parent, outCount);
        }
        const auto* list = s.handles.findAs<CameraListData>(parent);
        if (!list) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (!outCount) {
            return CAM_ERR_INVALID_POINTER;
        }
        *outCount = static_cast<int32_t>(list->bodies.size());
        return CAM_ERR_OK;
    });
}

CamError CamGetChildAtIndex(CamBaseRef parent, int32_t index, CamBaseRef* outChild)
{
    const CallRecord call{"CamGetChildAtIndex", 0, index};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        if (s.gphoto) {
            return s.gphoto->childAtIndex(s, parent, index, outChild);
        }
        const auto* list = s.handles.findAs<CameraListData>(parent);
        if (!list) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (!outChild) {
            return CAM_ERR_INVALID_POINTER;
        }
        if (index < 0 || static_cast<size_t>(index) >= list->bodies.size()) {
            return CAM_ERR_INVALID_INDEX;
        }
        const int body = list->bodies[static_cast<size_t>(index)];
        if (!s.body(body) || !s.body(body)->connected) {
            return CAM_ERR_COMM_DISCONNECTED;
        }
        *outChild = s.handles.add(CameraData{body});
        return CAM_ERR_OK;
    });
}

CamError CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo)
{
    if (auto routed = camsdk::detail::routedToGphoto({"CamGetDeviceInfo"}, [&](Sdk& s, StateLock&) {
            return s.gphoto->deviceInfo(s, camera, outInfo);
        })) {
        return *routed;
    }
    return withBody({"CamGetDeviceInfo"}, camera, Session::Any, [&](Sdk&, int, Body& body) -> CamError {
        if (!outInfo) {
            return CAM_ERR_INVALID_POINTER;
        }
        *outInfo = CamDeviceInfo{};
        std::snprintf(outInfo->szPortName, sizeof outInfo->szPortName, "%s", body.config().port.c_str());
        std::snprintf(outInfo->szDeviceDescription, sizeof outInfo->szDeviceDescription, "%s",
                      body.config().modelName.c_str());
        outInfo->deviceSubType = body.config().deviceSubType;
        return CAM_ERR_OK;
    });
}

CamError CamOpenSession(CamCameraRef camera)
{
    if (auto routed = camsdk::detail::routedToGphoto({"CamOpenSession"}, [&](Sdk& s, StateLock& lock) {
            return s.gphoto->openSession(s, lock, camera);
        })) {
        return *routed;
    }
    return withBody({"CamOpenSession"}, camera, Session::Any, [](Sdk& s, int index, Body& body) -> CamError {
        body.sessionOpen = true;
        announceSettings(s, index, body);
        const int delay = body.config().physicalShutterDelayMs;
        if (delay >= 0 && !body.physicalShutterScheduled) {
            body.physicalShutterScheduled = true;
            schedulePhysicalShutter(s, index, delay);
        }
        return CAM_ERR_OK;
    });
}

CamError CamCloseSession(CamCameraRef camera)
{
    if (auto routed = camsdk::detail::routedToGphoto({"CamCloseSession"}, [&](Sdk& s, StateLock& lock) {
            return s.gphoto->closeSession(s, lock, camera);
        })) {
        return *routed;
    }
    return withBody({"CamCloseSession"}, camera, Session::Required, [](Sdk& s, int, Body& body) -> CamError {
        body.sessionOpen = false;
        s.liveViewWake.notify_all();
        return CAM_ERR_OK;
    });
}

} // extern "C"
