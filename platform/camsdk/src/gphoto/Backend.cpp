// The libgphoto2 back end's side of the SDK's calls: handles for real cameras and their
// pictures, event delivery on the SDK's event thread, downloads into SDK streams.
// Threading: see Backend.h; events are delivered on the SDK's event thread, never under a lock,
// through detail::deliver, so that unregistering a handler waits for its call under way.
#include "Backend.h"

#include "Camera.h"

#include <gphoto2/gphoto2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace camsdk::gp {

using detail::ForeignObject;
using detail::Sdk;
using detail::StateLock;

// One camera and the handlers registered on it (guarded by the SDK's state lock).
struct CameraEntry {
    std::shared_ptr<Camera> camera;
    detail::Handlers handlers;
};

namespace {

struct ListObject final : ForeignObject {
    std::vector<Detected> cameras;
};

struct CameraObject final : ForeignObject {
    std::shared_ptr<CameraEntry> entry;
};

struct ItemObject final : ForeignObject {
    std::shared_ptr<CameraEntry> entry;
    Picture picture;
    bool downloaded = false;
};

template <typename T>
T* objectAs(Sdk& s, CamBaseRef ref)
{
    auto* object = s.handles.findAs<std::shared_ptr<ForeignObject>>(ref);
    return object ? dynamic_cast<T*>(object->get()) : nullptr;
}

std::vector<Detected> autodetect()
{
    std::vector<Detected> found;
    GPContext* context = gp_context_new();
    CameraList* list = nullptr;
    if (gp_list_new(&list) >= GP_OK && gp_camera_autodetect(list, context) >= GP_OK) {
        const int count = gp_list_count(list);
        for (int index = 0; index < count; ++index) {
            const char* model = nullptr;
            const char* port = nullptr;
            if (gp_list_get_name(list, index, &model) >= GP_OK && gp_list_get_value(list, index, &port) >= GP_OK &&
                model && port) {
                found.push_back({model, port});
            }
        }
    }
    if (list) {
        gp_list_free(list);
    }
    gp_context_unref(context);
    return found;
}

} // namespace

CamSize jpegSize(const std::vector<uint8_t>& jpeg)
{
    size_t at = 2;
    while (at + 9 < jpeg.size()) {
        if (jpeg[at] != 0xFF) {
            return {0, 0};
        }
        // Any number of 0xFF fill bytes may come before a marker.
        if (jpeg[at + 1] == 0xFF) {
            ++at;
            continue;
        }
        const uint8_t marker = jpeg[at + 1];
        const size_t length = static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            return {static_cast<int32_t>(jpeg[at + 7]) << 8 | jpeg[at + 8],
                    static_cast<int32_t>(jpeg[at + 5]) << 8 | jpeg[at + 6]};
        }
        at += 2 + length;
    }
    return {0, 0};
}

bool Backend::selectedByEnvironment(bool& unknownName)
{
    unknownName = false;
    const char* name = std::getenv("VESK_CAMERA_BACKEND");
    if (!name || !*name || std::strcmp(name, "simulator") == 0) {
        return false;
    }
    if (std::strcmp(name, "gphoto2") == 0) {
        return true;
    }
    unknownName = true;
    return false;
}

std::shared_ptr<CameraEntry> Backend::entryFor(Sdk& s, const std::string& model, const std::string& port)
{
    auto& entry = m_cameras[port];
    if (entry && entry->camera->detected().model == model && !entry->camera->gone()) {
        return entry;
    }
    if (entry) {
        // A new body on the port, or the old one back: its handles stay with the old entry.
        auto old = entry->camera;
        entry.reset();
        old->stop();
    }
    entry = std::make_shared<CameraEntry>();
    const std::weak_ptr<CameraEntry> weak = entry;
    CameraCallbacks callbacks;
    callbacks.property = [&s, weak](CamPropertyEvent event, CamPropertyID property) {
        s.events.post(std::chrono::milliseconds(0), [&s, weak, event, property] {
            std::unique_lock lock(s.mutex);
            const auto target = weak.lock();
            if (!target || !target->handlers.property.takes(CAM_PROPERTY_EVENT_ALL, event)) {
                return;
            }
            const auto registration = target->handlers.property;
            detail::deliver(s, lock, registration, event, property, uint32_t{0});
        });
    };
    callbacks.picture = [&s, weak](const Picture& picture) {
        s.events.post(std::chrono::milliseconds(0), [&s, weak, picture] {
            const CamObjectEvent event = CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER;
            std::unique_lock lock(s.mutex);
            const auto target = weak.lock();
            if (!target || !target->handlers.object.takes(CAM_OBJECT_EVENT_ALL, event)) {
                return;
            }
            const auto registration = target->handlers.object;
            auto item = std::make_shared<ItemObject>();
            item->entry = target;
            item->picture = picture;
            const CamBaseRef handle = s.handles.add(std::shared_ptr<ForeignObject>(std::move(item)));
            detail::deliver(s, lock, registration, event, handle);
        });
    };
    callbacks.state = [&s, weak](CamStateEvent event, uint32_t parameter) {
        s.events.post(std::chrono::milliseconds(0), [&s, weak, event, parameter] {
            std::unique_lock lock(s.mutex);
            const auto target = weak.lock();
            if (!target || !target->handlers.state.takes(CAM_STATE_EVENT_ALL, event)) {
                return;
            }
            const auto registration = target->handlers.state;
            detail::deliver(s, lock, registration, event, parameter);
        });
    };
    entry->camera = std::make_shared<Camera>(Detected{model, port}, std::move(callbacks));
    return entry;
}

CamError Backend::entryOf(Sdk& s, CamBaseRef ref, bool needsSession, std::shared_ptr<CameraEntry>& entry)
{
    const auto* object = objectAs<CameraObject>(s, ref);
    if (!object) {
        return CAM_ERR_INVALID_HANDLE;
    }
    entry = object->entry;
    if (entry->camera->gone()) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    if (needsSession && !entry->camera->sessionOpen()) {
        return CAM_ERR_SESSION_NOT_OPEN;
    }
    return CAM_ERR_OK;
}

CamError Backend::cameraList(Sdk& s, StateLock& lock, CamCameraListRef* outList)
{
    if (!outList) {
        return CAM_ERR_INVALID_POINTER;
    }
    lock.unlock();
    auto list = std::make_shared<ListObject>();
    list->cameras = autodetect();
    lock.lock();
    *outList = s.handles.add(std::shared_ptr<ForeignObject>(std::move(list)));
    return CAM_ERR_OK;
}

CamError Backend::childCount(Sdk& s, CamBaseRef parent, int32_t* outCount)
{
    const auto* list = objectAs<ListObject>(s, parent);
    if (!list) {
        return CAM_ERR_INVALID_HANDLE;
    }
    if (!outCount) {
        return CAM_ERR_INVALID_POINTER;
    }
    *outCount = static_cast<int32_t>(list->cameras.size());
    return CAM_ERR_OK;
}

CamError Backend::childAtIndex(Sdk& s, CamBaseRef parent, int32_t index, CamBaseRef* outChild)
{
    const auto* list = objectAs<ListObject>(s, parent);
    if (!list) {
        return CAM_ERR_INVALID_HANDLE;
    }
    if (!outChild) {
        return CAM_ERR_INVALID_POINTER;
    }
    if (index < 0 || static_cast<size_t>(index) >= list->cameras.size()) {
        return CAM_ERR_INVALID_INDEX;
    }
    const Detected& detected = list->cameras[static_cast<size_t>(index)];
    auto camera = std::make_shared<CameraObject>();
    camera->entry = entryFor(s, detected.model, detected.port);
    *outChild = s.handles.add(std::shared_ptr<ForeignObject>(std::move(camera)));
    return CAM_ERR_OK;
}

CamError Backend::deviceInfo(Sdk& s, CamBaseRef camera, CamDeviceInfo* outInfo)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, false, entry)) {
        return error;
    }
    if (!outInfo) {
        return CAM_ERR_INVALID_POINTER;
    }
    *outInfo = CamDeviceInfo{};
    const Detected& detected = entry->camera->detected();
    std::snprintf(outInfo->szPortName, sizeof outInfo->szPortName, "%s", detected.port.c_str());
    std::snprintf(outInfo->szDeviceDescription, sizeof outInfo->szDeviceDescription, "%s", detected.model.c_str());
    outInfo->deviceSubType = 1;
    return CAM_ERR_OK;
}

CamError Backend::openSession(Sdk& s, StateLock& lock, CamBaseRef camera)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, false, entry)) {
        return error;
    }
    lock.unlock();
    return entry->camera->openSession();
}

CamError Backend::closeSession(Sdk& s, StateLock& lock, CamBaseRef camera)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, true, entry)) {
        return error;
    }
    lock.unlock();
    return entry->camera->closeSession();
}

CamError Backend::read(Sdk& s, CamBaseRef ref, CamPropertyID property, detail::PropertyBytes& out)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, ref, false, entry)) {
        return error == CAM_ERR_INVALID_HANDLE && s.handles.find(ref) ? CamError{CAM_ERR_PROPERTIES_UNAVAILABLE}
                                                                      : error;
    }
    return entry->camera->read(property, out);
}

CamError Backend::write(Sdk& s, StateLock& lock, CamBaseRef ref, CamPropertyID property, const void* data,
                        uint32_t size)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, ref, true, entry)) {
        return error;
    }
    if (!data) {
        return CAM_ERR_INVALID_POINTER;
    }
    if (size != sizeof(uint32_t)) {
        return CAM_ERR_INVALID_LENGTH;
    }
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    lock.unlock();
    return entry->camera->write(property, value);
}

CamError Backend::describe(Sdk& s, CamBaseRef ref, CamPropertyID property, CamPropertyDesc* outDesc)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, ref, true, entry)) {
        return error;
    }
    if (!outDesc) {
        return CAM_ERR_INVALID_POINTER;
    }
    return entry->camera->describe(property, *outDesc);
}

CamError Backend::command(Sdk& s, StateLock& lock, CamBaseRef camera, CamCameraCommand command, int32_t parameter)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, true, entry)) {
        return error;
    }
    bool shoot = false;
    if (command == CAM_COMMAND_TAKE_PICTURE) {
        shoot = true;
    } else if (command == CAM_COMMAND_PRESS_SHUTTER_BUTTON) {
        switch (static_cast<uint32_t>(parameter)) {
        case CAM_SHUTTER_BUTTON_OFF:
        case CAM_SHUTTER_BUTTON_HALFWAY:
        case CAM_SHUTTER_BUTTON_HALFWAY_NON_AF:
            return CAM_ERR_OK;
        case CAM_SHUTTER_BUTTON_COMPLETELY:
        case CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF:
            shoot = true;
            break;
        default:
            return CAM_ERR_INVALID_PARAMETER;
        }
    }
    lock.unlock();
    return shoot ? entry->camera->capture() : entry->camera->command(command, parameter);
}

CamError Backend::acknowledge(Sdk& s, CamBaseRef camera)
{
    std::shared_ptr<CameraEntry> entry;
    return entryOf(s, camera, true, entry);
}

CamError Backend::registerHandler(Sdk& s, CamBaseRef camera, const std::function<void(detail::Handlers&)>& apply)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, false, entry)) {
        return error;
    }
    apply(entry->handlers);
    return CAM_ERR_OK;
}

CamError Backend::itemInfo(Sdk& s, CamBaseRef item, CamDirectoryItemInfo* outInfo)
{
    const auto* object = objectAs<ItemObject>(s, item);
    if (!object) {
        return CAM_ERR_INVALID_HANDLE;
    }
    if (object->entry->camera->gone()) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    if (!outInfo) {
        return CAM_ERR_INVALID_POINTER;
    }
    *outInfo = CamDirectoryItemInfo{};
    outInfo->size = object->picture.size;
    std::snprintf(outInfo->szFileName, sizeof outInfo->szFileName, "%s", object->picture.name.c_str());
    return CAM_ERR_OK;
}

CamError Backend::download(Sdk& s, StateLock& lock, CamBaseRef item, uint64_t size, CamBaseRef stream)
{
    auto* object = objectAs<ItemObject>(s, item);
    if (!object) {
        return CAM_ERR_INVALID_HANDLE;
    }
    const auto* target = s.handles.findAs<std::shared_ptr<detail::StreamData>>(stream);
    if (!target) {
        return CAM_ERR_INVALID_HANDLE;
    }
    const std::shared_ptr<detail::StreamData> output = *target;
    const std::shared_ptr<Camera> camera = object->entry->camera;
    const Picture picture = object->picture;
    const size_t chunkBytes = static_cast<size_t>(std::max(1, s.config.downloadChunkBytes));
    lock.unlock();

    std::vector<uint8_t> bytes;
    if (const CamError error = camera->fetch(picture, bytes)) {
        return error;
    }
    detail::ProgressSettings progress;
    {
        std::lock_guard streamLock(output->mutex);
        progress = {output->progress, output->progressOption, output->progressContext};
    }
    // A picture whose size the camera did not tell (0) is written whole.
    const uint64_t total = picture.size == 0 ? bytes.size() : std::min<uint64_t>(size, bytes.size());
    const CamError result = detail::writeChunks(*output, bytes, total, chunkBytes, progress);
    if (result == CAM_ERR_OK) {
        lock.lock();
        if (auto* still = objectAs<ItemObject>(s, item)) {
            still->downloaded = true;
        }
    }
    return result;
}

CamError Backend::downloadComplete(Sdk& s, StateLock& lock, CamBaseRef item)
{
    const auto* object = objectAs<ItemObject>(s, item);
    if (!object) {
        return CAM_ERR_INVALID_HANDLE;
    }
    if (object->entry->camera->gone()) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    // Only a picture captured into the camera's memory for the host is removed, and only once
    // it has reached the host: pictures on the card are the operator's.
    if (!object->picture.inHostMemory || !object->downloaded) {
        return CAM_ERR_OK;
    }
    const std::shared_ptr<Camera> camera = object->entry->camera;
    const Picture picture = object->picture;
    lock.unlock();
    return camera->remove(picture);
}

CamError Backend::downloadEvf(Sdk& s, StateLock& lock, CamBaseRef camera, CamBaseRef image)
{
    std::shared_ptr<CameraEntry> entry;
    if (const CamError error = entryOf(s, camera, true, entry)) {
        return error;
    }
    const auto* found = s.handles.findAs<std::shared_ptr<detail::EvfImageData>>(image);
    if (!found) {
        return CAM_ERR_INVALID_HANDLE;
    }
    const std::shared_ptr<detail::EvfImageData> target = *found;
    lock.unlock();

    std::vector<uint8_t> jpeg;
    if (const CamError error = entry->camera->preview(jpeg)) {
        return error;
    }
    CamError result = CAM_ERR_OK;
    {
        std::lock_guard streamLock(target->stream->mutex);
        if (!target->stream->isFile) {
            target->stream->memory.clear();
        }
        result = detail::writeLocked(*target->stream, jpeg.data(), jpeg.size());
    }
    if (result == CAM_ERR_OK) {
        const CamSize size = jpegSize(jpeg);
        lock.lock();
        target->zoom = 1;
        target->coordinateSystem = size;
        target->zoomRect = {{size.width * 2 / 5, size.height * 2 / 5}, {size.width / 5, size.height / 5}};
        target->imagePosition = {0, 0};
    }
    return result;
}

void Backend::shutdown()
{
    for (auto& [port, entry] : m_cameras) {
        entry->camera->stop();
    }
}

} // namespace camsdk::gp
