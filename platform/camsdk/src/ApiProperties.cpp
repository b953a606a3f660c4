// C entry points of the SDK for properties, commands and event handler registration. Every
// call is journaled and may be answered by an injected fault before it changes anything.
// Threading: any thread; each call holds the state lock while it runs, except while it
// renders a picture; no handler is called from here.
#include "Sdk.h"
#include "gphoto/Backend.h"

#include <cstring>

using camsdk::detail::Body;
using camsdk::detail::CallRecord;
using camsdk::detail::cameraBody;
using camsdk::detail::EvfImageData;
using camsdk::detail::Handlers;
using camsdk::detail::journaledCall;
using camsdk::detail::Needs;
using camsdk::detail::PropertyBytes;
using camsdk::detail::Registration;
using camsdk::detail::Sdk;
using camsdk::detail::sdk;
using camsdk::detail::Session;
using camsdk::detail::sessionBody;
using camsdk::detail::StateLock;
using camsdk::detail::takePicture;
using camsdk::detail::withBody;

namespace {

std::vector<uint8_t> bytesOf(const void* data, size_t size)
{
    const auto* begin = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(begin, begin + size);
}

// Properties a live-view image answers after a download.
std::optional<PropertyBytes> evfProperty(const EvfImageData& image, CamPropertyID property)
{
    switch (property) {
    case CAM_PROP_EVF_ZOOM:
        return PropertyBytes{CAM_DATATYPE_UINT32, bytesOf(&image.zoom, sizeof image.zoom)};
    case CAM_PROP_EVF_ZOOM_RECT:
        return PropertyBytes{CAM_DATATYPE_RECT, bytesOf(&image.zoomRect, sizeof image.zoomRect)};
    case CAM_PROP_EVF_COORDINATE_SYSTEM:
        return PropertyBytes{CAM_DATATYPE_SIZE, bytesOf(&image.coordinateSystem, sizeof image.coordinateSystem)};
    case CAM_PROP_EVF_IMAGE_POSITION:
        return PropertyBytes{CAM_DATATYPE_POINT, bytesOf(&image.imagePosition, sizeof image.imagePosition)};
    default:
        return std::nullopt;
    }
}

// The property value behind a camera (with an open session) or a live-view image.
CamError propertyOf(Sdk& s, CamBaseRef ref, CamPropertyID property, PropertyBytes& out)
{
    if (const auto* image = s.handles.findAs<std::shared_ptr<EvfImageData>>(ref)) {
        auto value = evfProperty(**image, property);
        if (!value) {
            return CAM_ERR_PROPERTIES_UNAVAILABLE;
        }
        out = std::move(*value);
        return CAM_ERR_OK;
    }
    if (!s.handles.find(ref)) {
        return CAM_ERR_INVALID_HANDLE;
    }
    if (s.gphoto) {
        return s.gphoto->read(s, ref, property, out);
    }
    int index = 0;
    Body* body = nullptr;
    if (const CamError error = cameraBody(s, ref, index, body)) {
        return error == CAM_ERR_INVALID_HANDLE ? CamError{CAM_ERR_PROPERTIES_UNAVAILABLE} : error;
    }
    if (!body->sessionOpen) {
        return CAM_ERR_SESSION_NOT_OPEN;
    }
    auto value = body->read(property);
    if (!value) {
        return CAM_ERR_PROPERTIES_UNAVAILABLE;
    }
    out = std::move(*value);
    return CAM_ERR_OK;
}

// Registers the camera's handler of the kind `kind` names; a null handler removes it and keeps
// no context. Once a handler is replaced or removed, its call under way (if any) is waited
// for, so that its context may go as soon as this returns; a handler changing its own
// registration does not wait for itself.
template <typename Handler>
CamError registerHandler(const char* function, CamCameraRef camera, Registration<Handler> Handlers::*kind,
                         uint32_t event, Handler handler, void* context)
{
    const Registration<Handler> registration{handler, event, handler ? context : nullptr};
    Registration<Handler> old;
    const auto replace = [&](Handlers& handlers) {
        old = handlers.*kind;
        handlers.*kind = registration;
    };
    if (auto routed = camsdk::detail::routedToGphoto({function, event}, [&](Sdk& s, StateLock& lock) {
            const CamError error = s.gphoto->registerHandler(s, camera, replace);
            camsdk::detail::waitForDeliveryEnd(s, lock, old, registration);
            return error;
        })) {
        return *routed;
    }
    return journaledCall({function, event}, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        int index = 0;
        Body* body = nullptr;
        if (const CamError error = cameraBody(s, camera, index, body)) {
            return error;
        }
        replace(body->handlers);
        camsdk::detail::waitForDeliveryEnd(s, lock, old, registration);
        return CAM_ERR_OK;
    });
}

CamError evfAutofocus(Sdk& s, int index, Body& body, int32_t parameter)
{
    if (parameter != CAM_EVF_AF_ON && parameter != CAM_EVF_AF_OFF) {
        return CAM_ERR_INVALID_PARAMETER;
    }
    const uint64_t generation = ++body.autofocusGeneration;
    if (parameter == CAM_EVF_AF_OFF) {
        body.setJustFocus(false);
        s.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_FOCUS_INFO, 0,
                             s.config.propertyEventDelayMs);
        return CAM_ERR_OK;
    }
    s.events.post(std::chrono::milliseconds(s.config.autofocusDelayMs), [index, generation] {
        Sdk& state = sdk();
        std::lock_guard lock(state.mutex);
        Body* target = state.body(index);
        if (!target || !target->connected || target->autofocusGeneration != generation) {
            return;
        }
        target->setJustFocus(true);
        state.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_FOCUS_INFO, 0, 0);
    });
    return CAM_ERR_OK;
}

} // namespace

extern "C" {

CamError CamGetPropertySize(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            CamDataType* outDataType, uint32_t* outSize)
{
    const CallRecord call{"CamGetPropertySize", property, parameter};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        PropertyBytes value;
        if (const CamError error = propertyOf(s, ref, property, value)) {
            return error;
        }
        if (!outDataType || !outSize) {
            return CAM_ERR_INVALID_POINTER;
        }
        *outDataType = value.type;
        *outSize = static_cast<uint32_t>(value.bytes.size());
        return CAM_ERR_OK;
    });
}

CamError CamGetPropertyData(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            uint32_t size, void* outData)
{
    const CallRecord call{"CamGetPropertyData", property, parameter};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        PropertyBytes value;
        if (const CamError error = propertyOf(s, ref, property, value)) {
            return error;
        }
        if (!outData) {
            return CAM_ERR_INVALID_POINTER;
        }
        if (size < value.bytes.size()) {
            return CAM_ERR_INVALID_LENGTH;
        }
        std::memcpy(outData, value.bytes.data(), value.bytes.size());
        return CAM_ERR_OK;
    });
}

CamError CamSetPropertyData(CamBaseRef ref, CamPropertyID property, int32_t parameter,
                            uint32_t size, const void* data)
{
    CallRecord call{"CamSetPropertyData", property, parameter};
    // The journal holds the value written: one unsigned word, or two signed words for a point.
    if (data && size == sizeof(CamPoint)) {
        CamPoint point{};
        std::memcpy(&point, data, sizeof point);
        call.argument = point.x;
        call.argument2 = point.y;
    } else if (data && size >= sizeof(uint32_t)) {
        uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        call.argument = value;
    }
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        if (s.handles.findAs<std::shared_ptr<EvfImageData>>(ref)) {
            return CAM_ERR_NOT_SUPPORTED;
        }
        if (s.gphoto) {
            return s.gphoto->write(s, lock, ref, property, data, size);
        }
        int index = 0;
        Body* body = nullptr;
        if (const CamError error = sessionBody(s, ref, index, body)) {
            return error;
        }
        if (!data) {
            return CAM_ERR_INVALID_POINTER;
        }
        if (const CamError error = body->write(property, data, size)) {
            return error;
        }
        s.raisePropertyEvent(index, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property, 0, s.config.propertyEventDelayMs);
        return CAM_ERR_OK;
    });
}

CamError CamGetPropertyDesc(CamBaseRef ref, CamPropertyID property, CamPropertyDesc* outDesc)
{
    const CallRecord call{"CamGetPropertyDesc", property};
    if (auto routed = camsdk::detail::routedToGphoto(call, [&](Sdk& s, StateLock&) {
            return s.gphoto->describe(s, ref, property, outDesc);
        })) {
        return *routed;
    }
    return withBody(call, ref, Session::Required, [&](Sdk&, int, Body& body) -> CamError {
        if (!outDesc) {
            return CAM_ERR_INVALID_POINTER;
        }
        if (!body.describe(property, *outDesc)) {
            return CAM_ERR_PROPERTIES_UNAVAILABLE;
        }
        return CAM_ERR_OK;
    });
}

CamError CamSendCommand(CamCameraRef camera, CamCameraCommand command, int32_t parameter)
{
    const CallRecord call{"CamSendCommand", command, parameter};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        if (s.gphoto) {
            return s.gphoto->command(s, lock, camera, command, parameter);
        }
        int index = 0;
        Body* body = nullptr;
        if (const CamError error = sessionBody(s, camera, index, body)) {
            return error;
        }
        switch (command) {
        case CAM_COMMAND_TAKE_PICTURE:
            takePicture(lock, index, true);
            return CAM_ERR_OK;
        case CAM_COMMAND_PRESS_SHUTTER_BUTTON:
            if (body->config().rejectsShutterButton) {
                return CAM_ERR_INVALID_PARAMETER;
            }
            switch (static_cast<uint32_t>(parameter)) {
            case CAM_SHUTTER_BUTTON_OFF:
            case CAM_SHUTTER_BUTTON_HALFWAY:
            case CAM_SHUTTER_BUTTON_HALFWAY_NON_AF:
                return CAM_ERR_OK;
            case CAM_SHUTTER_BUTTON_COMPLETELY:
            case CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF:
                takePicture(lock, index, static_cast<uint32_t>(parameter) == CAM_SHUTTER_BUTTON_COMPLETELY);
                return CAM_ERR_OK;
            default:
                return CAM_ERR_INVALID_PARAMETER;
            }
        case CAM_COMMAND_DO_EVF_AF:
            return evfAutofocus(s, index, *body, parameter);
        case CAM_COMMAND_DRIVE_LENS_EVF:
            switch (static_cast<uint32_t>(parameter)) {
            case CAM_DRIVE_LENS_NEAR1:
            case CAM_DRIVE_LENS_NEAR2:
            case CAM_DRIVE_LENS_NEAR3:
            case CAM_DRIVE_LENS_FAR1:
            case CAM_DRIVE_LENS_FAR2:
            case CAM_DRIVE_LENS_FAR3:
                return CAM_ERR_OK;
            default:
                return CAM_ERR_INVALID_PARAMETER;
            }
        default:
            return CAM_ERR_NOT_SUPPORTED;
        }
    });
}

CamError CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command, int32_t parameter)
{
    const CallRecord call{"CamSendStatusCommand", command, parameter};
    if (auto routed = camsdk::detail::routedToGphoto(call, [&](Sdk& s, StateLock&) -> CamError {
            if (command != CAM_STATUS_COMMAND_UI_LOCK && command != CAM_STATUS_COMMAND_UI_UNLOCK) {
                const CamError error = s.gphoto->acknowledge(s, camera);
                return error ? error : CamError{CAM_ERR_INVALID_PARAMETER};
            }
            return s.gphoto->acknowledge(s, camera);
        })) {
        return *routed;
    }
    return withBody(call, camera, Session::Required, [&](Sdk&, int, Body&) -> CamError {
        if (command != CAM_STATUS_COMMAND_UI_LOCK && command != CAM_STATUS_COMMAND_UI_UNLOCK) {
            return CAM_ERR_INVALID_PARAMETER;
        }
        return CAM_ERR_OK;
    });
}

CamError CamSetCapacity(CamCameraRef camera, CamCapacity capacity)
{
    const CallRecord call{"CamSetCapacity", 0, capacity.numberOfFreeClusters, capacity.bytesPerSector};
    if (auto routed = camsdk::detail::routedToGphoto(call, [&](Sdk& s, StateLock&) {
            return s.gphoto->acknowledge(s, camera);
        })) {
        return *routed;
    }
    return withBody(call, camera, Session::Required, [](Sdk&, int, Body&) -> CamError { return CAM_ERR_OK; });
}

CamError CamSetPropertyEventHandler(CamCameraRef camera, CamPropertyEvent event,
                                    CamPropertyEventHandler handler, void* context)
{
    return registerHandler("CamSetPropertyEventHandler", camera, &Handlers::property, event, handler, context);
}

CamError CamSetObjectEventHandler(CamCameraRef camera, CamObjectEvent event,
                                  CamObjectEventHandler handler, void* context)
{
    return registerHandler("CamSetObjectEventHandler", camera, &Handlers::object, event, handler, context);
}

CamError CamSetCameraStateEventHandler(CamCameraRef camera, CamStateEvent event,
                                       CamStateEventHandler handler, void* context)
{
    return registerHandler("CamSetCameraStateEventHandler", camera, &Handlers::state, event, handler, context);
}

} // extern "C"
