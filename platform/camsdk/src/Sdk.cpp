// Shared state of the SDK and the camera-side work that both the C calls and the simulator
// control start: event delivery and picture taking.
// Threading: see Sdk.h; handlers are called on the event thread with no lock held, each
// call marked as under way for the duration.
#include "Sdk.h"

#include "Picture.h"
#include "Scene.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace camsdk::detail {
namespace {

constexpr size_t kJournalLimit = 100000;

// The body's registration of the kind `kind` names, when it takes `event`; an empty one when it
// does not or the body has gone. Called with the state lock held.
template <typename Handler>
Registration<Handler> registrationFor(Sdk& s, int bodyIndex, Registration<Handler> Handlers::*kind,
                                      uint32_t all, uint32_t event)
{
    const Body* body = s.body(bodyIndex);
    if (!body || !(body->handlers.*kind).takes(all, event)) {
        return {};
    }
    return body->handlers.*kind;
}

std::string timestampNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    return text;
}

struct ShotRequest {
    sim::BodyConfig config;
    sim::SceneConfig scene;
    uint32_t tv = 0;
    uint32_t av = 0;
    uint32_t iso = 0;
    uint32_t number = 0;
    bool toHost = false;
};

std::vector<uint8_t> renderShot(const ShotRequest& request)
{
    const sim::BodyConfig& config = request.config;
    SceneView view;
    if (config.shotHeight > 0) {
        view.sensorAspect = static_cast<double>(config.shotWidth) / config.shotHeight;
    }
    view.time = request.number * 7;
    view.counter = request.number;
    view.scene = request.scene;
    const auto rgb = renderScene(config.shotWidth, config.shotHeight, view);
    const auto jpeg = encodeJpeg(rgb, config.shotWidth, config.shotHeight, config.shotQuality);
    if (jpeg.empty()) {
        return jpeg;
    }
    ExifFields fields;
    fields.orientation = config.exifOrientation;
    fields.make = "Vesk";
    fields.model = config.modelName;
    fields.dateTime = timestampNow();
    fields.exposureTime = exposureTimeOf(request.tv);
    fields.fNumber = fNumberOf(request.av);
    fields.isoSpeed = isoSpeedOf(request.iso);
    fields.width = config.shotWidth;
    fields.height = config.shotHeight;
    return addExif(jpeg, fields);
}

} // namespace

Sdk& sdk()
{
    static Sdk instance;
    return instance;
}

void Sdk::ensureWorld()
{
    if (worldLoaded) {
        return;
    }
    const char* path = std::getenv("VESK_CAMERA_SIM");
    replaceWorld(path && *path ? sim::loadConfigFile(path) : sim::makeDefaultConfig());
}

void Sdk::replaceWorld(const sim::SimConfig& newConfig)
{
    config = newConfig;
    // A body after the first that kept the built-in port gets its own, so bodies stay apart.
    const std::string builtInPort = sim::BodyConfig{}.port;
    for (size_t index = 1; index < config.bodies.size(); ++index) {
        if (config.bodies[index].port == builtInPort) {
            config.bodies[index].port = sim::defaultPort(index);
        }
    }
    bodies.clear();
    for (const sim::BodyConfig& bodyConfig : config.bodies) {
        bodies.emplace_back(bodyConfig);
    }
    worldLoaded = true;
}

std::optional<CamError> Sdk::takeFault(const CallRecord& call)
{
    for (auto fault = faults.begin(); fault != faults.end(); ++fault) {
        if (fault->function != call.function || (fault->property && *fault->property != call.property)) {
            continue;
        }
        const CamError code = fault->code;
        if (--fault->remaining <= 0) {
            faults.erase(fault);
        }
        return code;
    }
    return std::nullopt;
}

CamError Sdk::record(const CallRecord& call, CamError result)
{
    if (journal.size() >= kJournalLimit) {
        journal.pop_front();
    }
    journal.push_back({call.function, call.property, call.argument, call.argument2, result});
    return result;
}

Body* Sdk::body(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= bodies.size()) {
        return nullptr;
    }
    return &bodies[static_cast<size_t>(index)];
}

CamError cameraBody(Sdk& s, CamBaseRef ref, int& index, Body*& body)
{
    const CameraData* camera = s.handles.findAs<CameraData>(ref);
    if (!camera) {
        return CAM_ERR_INVALID_HANDLE;
    }
    index = camera->body;
    body = s.body(index);
    if (!body || !body->connected) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    return CAM_ERR_OK;
}

CamError sessionBody(Sdk& s, CamBaseRef ref, int& index, Body*& body)
{
    if (const CamError error = cameraBody(s, ref, index, body)) {
        return error;
    }
    return body->sessionOpen ? CAM_ERR_OK : CAM_ERR_SESSION_NOT_OPEN;
}

void Sdk::raisePropertyEvent(int bodyIndex, CamPropertyEvent event, CamPropertyID property,
                             uint32_t parameter, int delayMs)
{
    events.post(std::chrono::milliseconds(delayMs), [bodyIndex, event, property, parameter] {
        Sdk& s = sdk();
        std::unique_lock lock(s.mutex);
        // A camera reports its settings only to an open session: what a session announced
        // before it closed again (a camera search opens and closes one) is not delivered.
        const Body* body = s.body(bodyIndex);
        if (!body || !body->sessionOpen) {
            return;
        }
        const auto target = registrationFor(s, bodyIndex, &Handlers::property, CAM_PROPERTY_EVENT_ALL, event);
        if (target.handler) {
            deliver(s, lock, target, event, property, parameter);
        }
    });
}

void Sdk::raiseStateEvent(int bodyIndex, CamStateEvent event, uint32_t parameter, int delayMs)
{
    events.post(std::chrono::milliseconds(delayMs), [bodyIndex, event, parameter] {
        Sdk& s = sdk();
        std::unique_lock lock(s.mutex);
        const auto target = registrationFor(s, bodyIndex, &Handlers::state, CAM_STATE_EVENT_ALL, event);
        if (target.handler) {
            deliver(s, lock, target, event, parameter);
        }
    });
}

void Sdk::raiseObjectEvent(int bodyIndex, CamObjectEvent event, std::shared_ptr<ItemData> item, int delayMs)
{
    events.post(std::chrono::milliseconds(delayMs), [bodyIndex, event, item] {
        Sdk& s = sdk();
        std::unique_lock lock(s.mutex);
        const auto target = registrationFor(s, bodyIndex, &Handlers::object, CAM_OBJECT_EVENT_ALL, event);
        if (!target.handler) {
            return;
        }
        const CamBaseRef handle = item ? s.handles.add(item) : nullptr;
        deliver(s, lock, target, event, handle);
    });
}

void takePicture(std::unique_lock<std::mutex>& lock, int bodyIndex, bool withAutofocus)
{
    Sdk& s = sdk();
    Body* body = s.body(bodyIndex);
    if (!body) {
        return;
    }
    if (withAutofocus && body->autofocusFailure) {
        const CamError code = *body->autofocusFailure;
        body->autofocusFailure.reset();
        s.raiseStateEvent(bodyIndex, CAM_STATE_EVENT_CAPTURE_ERROR, code, 0);
        return;
    }
    ShotRequest request;
    request.config = body->config();
    request.scene = s.config.scene;
    request.tv = body->value(CAM_PROP_TV);
    request.av = body->value(CAM_PROP_AV);
    request.iso = body->value(CAM_PROP_ISO_SPEED);
    request.toHost = body->value(CAM_PROP_SAVE_TO) == CAM_SAVE_TO_HOST;
    request.number = s.nextImageNumber++;
    const std::string prefix = s.config.imageFilePrefix;

    lock.unlock();
    auto bytes = std::make_shared<const std::vector<uint8_t>>(renderShot(request));
    char name[64];
    std::snprintf(name, sizeof name, "%04u.JPG", request.number % 10000);
    auto item = std::make_shared<ItemData>();
    item->body = bodyIndex;
    item->fileName = prefix + name;
    item->bytes = std::move(bytes);
    lock.lock();

    if (item->bytes->empty()) {
        s.raiseStateEvent(bodyIndex, CAM_STATE_EVENT_CAPTURE_ERROR, CAM_ERR_DEVICE_INTERNAL_ERROR, 0);
        return;
    }
    s.raiseObjectEvent(bodyIndex,
                       request.toHost ? CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER
                                      : CAM_OBJECT_EVENT_DIR_ITEM_CREATED,
                       std::move(item), 0);
}

} // namespace camsdk::detail
