// C entry points that move bytes: directory items and their download, file and memory
// streams with progress callbacks, and live-view images.
// Threading: any thread; the state lock is not held while bytes are written or rendered, while
// a live-view download waits for its frame, nor while a progress callback runs (on the thread
// calling CamDownload).
#include "Picture.h"
#include "Scene.h"
#include "Sdk.h"
#include "gphoto/Backend.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

using camsdk::detail::Body;
using camsdk::detail::CallRecord;
using camsdk::detail::EvfImageData;
using camsdk::detail::ItemData;
using camsdk::detail::journaledCall;
using camsdk::detail::Needs;
using camsdk::detail::Sdk;
using camsdk::detail::sessionBody;
using camsdk::detail::StateLock;
using camsdk::detail::StreamData;

namespace {

constexpr uint64_t kLargestMemoryReserve = 64ull * 1024 * 1024;

CamError openError(int error, uint32_t disposition)
{
    switch (error) {
    case ENOENT:
        return disposition == CAM_FILE_CREATE_DISPOSITION_OPEN_EXISTING ? CAM_ERR_FILE_NOT_FOUND
                                                                        : CAM_ERR_FILE_OPEN_ERROR;
    case EEXIST:
        return CAM_ERR_FILE_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
        return CAM_ERR_FILE_PERMISSION_ERROR;
    case ENOSPC:
        return CAM_ERR_FILE_DISK_FULL_ERROR;
    case EMFILE:
    case ENFILE:
        return CAM_ERR_FILE_TOO_MANY_OPEN;
    default:
        return CAM_ERR_FILE_OPEN_ERROR;
    }
}

} // namespace

namespace camsdk::detail {

CamError writeLocked(StreamData& stream, const uint8_t* data, size_t size)
{
    if (!stream.isFile) {
        stream.memory.insert(stream.memory.end(), data, data + size);
        return CAM_ERR_OK;
    }
    if (std::fwrite(data, 1, size, stream.file.get()) != size) {
        return errno == ENOSPC ? CAM_ERR_FILE_DISK_FULL_ERROR : CAM_ERR_FILE_WRITE_ERROR;
    }
    return CAM_ERR_OK;
}

} // namespace camsdk::detail

namespace {

using camsdk::detail::ProgressSettings;
using camsdk::detail::writeChunks;
using camsdk::detail::writeLocked;

// The item behind a handle, refused when its body has gone.
CamError itemOf(Sdk& s, CamBaseRef ref, std::shared_ptr<ItemData>& item)
{
    const auto* found = s.handles.findAs<std::shared_ptr<ItemData>>(ref);
    if (!found) {
        return CAM_ERR_INVALID_HANDLE;
    }
    const Body* body = s.body((*found)->body);
    if (!body || !body->connected) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    item = *found;
    return CAM_ERR_OK;
}

// Frames in the loop of the simulated live-view scene: one turn of its ball.
constexpr uint32_t kLiveViewLoopFrames = 79;

// Paces live view as a camera sends it: frames are due on a grid of the body's frame interval,
// and a download takes the latest due frame not yet taken, or waits (the state lock released,
// at most one interval) for the next. Every check is made again after the wait, so that a wait
// ends at once with the reason as the answer when the SDK terminates, the body goes, its
// session closes or the camera or image handle is released. On success `body` is the camera's
// body, checked under the lock held on return.
CamError awaitNextFrame(Sdk& s, StateLock& lock, CamCameraRef camera, CamEvfImageRef image, Body*& body)
{
    using Clock = std::chrono::steady_clock;
    for (;;) {
        if (!camsdk::detail::started(s)) {
            return CAM_ERR_INTERNAL_ERROR;
        }
        int index = 0;
        if (const CamError error = sessionBody(s, camera, index, body)) {
            return error;
        }
        if (!s.handles.findAs<std::shared_ptr<EvfImageData>>(image)) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if ((body->value(CAM_PROP_EVF_OUTPUT_DEVICE) & CAM_EVF_OUTPUT_DEVICE_PC) == 0) {
            return CAM_ERR_OBJECT_NOTREADY;
        }
        const int rate = body->config().liveViewFramesPerSecond;
        const Clock::time_point now = Clock::now();
        if (rate <= 0 || !body->lastFrameDue) {
            body->lastFrameDue = now;
            return CAM_ERR_OK;
        }
        const Clock::duration interval = std::chrono::nanoseconds(1'000'000'000 / rate);
        const Clock::time_point next = *body->lastFrameDue + interval;
        if (now >= next) {
            // A late download gets the latest frame due, not a backlog of older ones.
            body->lastFrameDue = next + ((now - next) / interval) * interval;
            return CAM_ERR_OK;
        }
        s.liveViewWake.wait_until(lock, next);
    }
}

} // namespace

namespace camsdk::detail {

CamError writeChunks(StreamData& stream, const std::vector<uint8_t>& bytes, uint64_t total,
                     size_t chunkBytes, const ProgressSettings& progress)
{
    uint64_t written = 0;
    do {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(chunkBytes, total - written));
        {
            std::lock_guard streamLock(stream.mutex);
            if (const CamError error = writeLocked(stream, bytes.data() + written, chunk)) {
                return error;
            }
            if (written + chunk == total && stream.isFile && std::fflush(stream.file.get()) != 0) {
                return CAM_ERR_FILE_WRITE_ERROR;
            }
        }
        written += chunk;
        const bool last = written == total;
        if (progress.callback && (progress.option == CAM_PROGRESS_OPTION_PERIODICALLY ||
                                  (progress.option == CAM_PROGRESS_OPTION_DONE && last))) {
            int32_t cancel = 0;
            const auto percent = static_cast<uint32_t>(total == 0 ? 100 : written * 100 / total);
            progress.callback(percent, progress.context, &cancel);
            if (cancel != 0 && !last) {
                return CAM_ERR_OPERATION_CANCELLED;
            }
        }
    } while (written < total);
    return CAM_ERR_OK;
}

} // namespace camsdk::detail

extern "C" {

CamError CamGetDirectoryItemInfo(CamDirectoryItemRef item, CamDirectoryItemInfo* outInfo)
{
    return journaledCall({"CamGetDirectoryItemInfo"}, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        if (s.gphoto) {
            return s.gphoto->itemInfo(s, item, outInfo);
        }
        std::shared_ptr<ItemData> data;
        if (const CamError error = itemOf(s, item, data)) {
            return error;
        }
        if (!outInfo) {
            return CAM_ERR_INVALID_POINTER;
        }
        *outInfo = CamDirectoryItemInfo{};
        outInfo->size = data->bytes->size();
        std::snprintf(outInfo->szFileName, sizeof outInfo->szFileName, "%s", data->fileName.c_str());
        return CAM_ERR_OK;
    });
}

CamError CamDownload(CamDirectoryItemRef item, uint64_t size, CamStreamRef stream)
{
    const CallRecord call{"CamDownload", 0, static_cast<int64_t>(size)};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        if (s.gphoto) {
            return s.gphoto->download(s, lock, item, size, stream);
        }
        std::shared_ptr<ItemData> data;
        if (const CamError error = itemOf(s, item, data)) {
            return error;
        }
        const auto* target = s.handles.findAs<std::shared_ptr<StreamData>>(stream);
        if (!target) {
            return CAM_ERR_INVALID_HANDLE;
        }
        const std::shared_ptr<StreamData> output = *target;
        const size_t chunkBytes = static_cast<size_t>(std::max(1, s.config.downloadChunkBytes));
        lock.unlock();

        ProgressSettings progress;
        {
            std::lock_guard streamLock(output->mutex);
            progress = {output->progress, output->progressOption, output->progressContext};
        }
        const uint64_t total = std::min<uint64_t>(size, data->bytes->size());
        const CamError result = writeChunks(*output, *data->bytes, total, chunkBytes, progress);

        lock.lock();
        return result;
    });
}

CamError CamDownloadComplete(CamDirectoryItemRef item)
{
    return journaledCall({"CamDownloadComplete"}, Needs::Started, [&](Sdk& s, StateLock& lock) {
        if (s.gphoto) {
            return s.gphoto->downloadComplete(s, lock, item);
        }
        std::shared_ptr<ItemData> data;
        return itemOf(s, item, data);
    });
}

CamError CamCreateFileStream(const char* fileName, uint32_t disposition, uint32_t access,
                             CamStreamRef* outStream)
{
    const CallRecord call{"CamCreateFileStream", 0, disposition, access};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        if (!fileName || !outStream) {
            return CAM_ERR_INVALID_POINTER;
        }
        if (access > CAM_ACCESS_READ_WRITE) {
            return CAM_ERR_INVALID_PARAMETER;
        }
        const char* mode = nullptr;
        switch (disposition) {
        case CAM_FILE_CREATE_DISPOSITION_CREATE_NEW:
            mode = "w+bx";
            break;
        case CAM_FILE_CREATE_DISPOSITION_CREATE_ALWAYS:
            mode = "w+b";
            break;
        case CAM_FILE_CREATE_DISPOSITION_OPEN_EXISTING:
            mode = access == CAM_ACCESS_READ ? "rb" : "r+b";
            break;
        default:
            return CAM_ERR_INVALID_PARAMETER;
        }
        errno = 0;
        std::FILE* file = std::fopen(fileName, mode);
        if (!file) {
            return openError(errno, disposition);
        }
        auto stream = std::make_shared<StreamData>();
        stream->isFile = true;
        stream->file.reset(file);
        *outStream = s.handles.add(std::move(stream));
        return CAM_ERR_OK;
    });
}

CamError CamCreateMemoryStream(uint64_t initialSize, CamStreamRef* outStream)
{
    const CallRecord call{"CamCreateMemoryStream", 0, static_cast<int64_t>(initialSize)};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        if (!outStream) {
            return CAM_ERR_INVALID_POINTER;
        }
        auto stream = std::make_shared<StreamData>();
        stream->memory.reserve(static_cast<size_t>(std::min(initialSize, kLargestMemoryReserve)));
        *outStream = s.handles.add(std::move(stream));
        return CAM_ERR_OK;
    });
}

CamError CamSetProgressCallback(CamBaseRef ref, CamProgressCallback callback, uint32_t option, void* context)
{
    const CallRecord call{"CamSetProgressCallback", 0, option};
    return journaledCall(call, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        const auto* stream = s.handles.findAs<std::shared_ptr<StreamData>>(ref);
        if (!stream) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (option > CAM_PROGRESS_OPTION_PERIODICALLY) {
            return CAM_ERR_INVALID_PARAMETER;
        }
        std::lock_guard streamLock((*stream)->mutex);
        (*stream)->progress = callback;
        (*stream)->progressOption = option;
        (*stream)->progressContext = context;
        return CAM_ERR_OK;
    });
}

CamError CamGetPointer(CamStreamRef stream, void** outPointer)
{
    return journaledCall({"CamGetPointer"}, Needs::Nothing, [&](Sdk& s, StateLock&) -> CamError {
        const auto* data = s.handles.findAs<std::shared_ptr<StreamData>>(stream);
        if (!data) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (!outPointer) {
            return CAM_ERR_INVALID_POINTER;
        }
        std::lock_guard streamLock((*data)->mutex);
        if ((*data)->isFile) {
            return CAM_ERR_NOT_SUPPORTED;
        }
        *outPointer = (*data)->memory.empty() ? nullptr : (*data)->memory.data();
        return CAM_ERR_OK;
    });
}

CamError CamGetLength(CamStreamRef stream, uint64_t* outLength)
{
    return journaledCall({"CamGetLength"}, Needs::Nothing, [&](Sdk& s, StateLock&) -> CamError {
        const auto* data = s.handles.findAs<std::shared_ptr<StreamData>>(stream);
        if (!data) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (!outLength) {
            return CAM_ERR_INVALID_POINTER;
        }
        std::lock_guard streamLock((*data)->mutex);
        if (!(*data)->isFile) {
            *outLength = (*data)->memory.size();
            return CAM_ERR_OK;
        }
        struct stat status {};
        if (std::fflush((*data)->file.get()) != 0 || fstat(fileno((*data)->file.get()), &status) != 0) {
            return CAM_ERR_FILE_IO_ERROR;
        }
        *outLength = static_cast<uint64_t>(status.st_size);
        return CAM_ERR_OK;
    });
}

CamError CamCreateEvfImageRef(CamStreamRef stream, CamEvfImageRef* outImage)
{
    return journaledCall({"CamCreateEvfImageRef"}, Needs::Started, [&](Sdk& s, StateLock&) -> CamError {
        const auto* data = s.handles.findAs<std::shared_ptr<StreamData>>(stream);
        if (!data) {
            return CAM_ERR_INVALID_HANDLE;
        }
        if (!outImage) {
            return CAM_ERR_INVALID_POINTER;
        }
        auto image = std::make_shared<EvfImageData>();
        image->stream = *data;
        *outImage = s.handles.add(std::move(image));
        return CAM_ERR_OK;
    });
}

CamError CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image)
{
    return journaledCall({"CamDownloadEvfImage"}, Needs::Started, [&](Sdk& s, StateLock& lock) -> CamError {
        if (s.gphoto) {
            return s.gphoto->downloadEvf(s, lock, camera, image);
        }
        Body* body = nullptr;
        if (const CamError error = awaitNextFrame(s, lock, camera, image, body)) {
            return error;
        }
        const std::shared_ptr<EvfImageData> target = *s.handles.findAs<std::shared_ptr<EvfImageData>>(image);
        const uint32_t zoom = body->value(CAM_PROP_EVF_ZOOM) == 5 ? 5 : 1;
        const CamSize coordinates = body->coordinateSystem();
        const CamRect zoomRect = body->zoomRect();
        const int width = body->config().liveViewWidth;
        const int height = body->config().liveViewHeight;
        const uint32_t frame = ++body->frameCounter;

        camsdk::detail::SceneView view;
        if (coordinates.height > 0) {
            view.sensorAspect = static_cast<double>(coordinates.width) / coordinates.height;
        }
        // The scene runs in a loop (one turn of the ball), its counter with it.
        view.time = frame % kLiveViewLoopFrames;
        view.counter = view.time;
        view.scene = s.config.scene;
        if (zoom == 5 && coordinates.width > 0 && coordinates.height > 0) {
            view.left = static_cast<double>(zoomRect.point.x) / coordinates.width;
            view.top = static_cast<double>(zoomRect.point.y) / coordinates.height;
            view.width = static_cast<double>(zoomRect.size.width) / coordinates.width;
            view.height = static_cast<double>(zoomRect.size.height) / coordinates.height;
        }
        Body::LiveViewFrames& cache = body->liveViewFrames;
        const std::array<double, 5> shown{view.left, view.top, view.width, view.height, view.sensorAspect};
        if (cache.view != shown || cache.width != width || cache.height != height) {
            cache = Body::LiveViewFrames{shown, width, height, std::vector<std::shared_ptr<const std::vector<uint8_t>>>(kLiveViewLoopFrames)};
        }
        std::shared_ptr<const std::vector<uint8_t>> compressed = cache.frames[view.time];
        lock.unlock();

        if (!compressed) {
            compressed = std::make_shared<const std::vector<uint8_t>>(
                camsdk::detail::encodeJpeg(camsdk::detail::renderScene(width, height, view), width, height, 80));
        }
        const std::vector<uint8_t>& jpeg = *compressed;
        CamError result = jpeg.empty() ? CAM_ERR_DEVICE_INTERNAL_ERROR : CAM_ERR_OK;
        if (result == CAM_ERR_OK) {
            std::lock_guard streamLock(target->stream->mutex);
            if (!target->stream->isFile) {
                target->stream->memory.clear();
            }
            result = writeLocked(*target->stream, jpeg.data(), jpeg.size());
        }

        lock.lock();
        // The body is looked up again: the world may have changed while the lock was free.
        int index = 0;
        Body* current = nullptr;
        if (!jpeg.empty() && sessionBody(s, camera, index, current) == CAM_ERR_OK &&
            current->liveViewFrames.view == shown && current->liveViewFrames.width == width &&
            current->liveViewFrames.height == height) {
            current->liveViewFrames.frames[view.time] = compressed;
        }
        if (result == CAM_ERR_OK) {
            target->zoom = zoom;
            target->zoomRect = zoomRect;
            target->coordinateSystem = coordinates;
            target->imagePosition = zoom == 5 ? zoomRect.point : CamPoint{0, 0};
        }
        return result;
    });
}

} // extern "C"
