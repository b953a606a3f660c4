// Takes one simulated shot through the SDK's public calls, releasing every handle on the way
// out whether the shot came or not.
//
// Threading: the object event arrives on the SDK's event thread and is handed over under a lock.
#include "camsdk_test/SimulatedShot.h"

#include "camsdk/CamSdk.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>

namespace camsdk_test {
namespace {

struct ArrivingItem {
    std::mutex mutex;
    std::condition_variable arrived;
    CamDirectoryItemRef item = nullptr;

    static CamError onObject(CamObjectEvent event, CamBaseRef object, void* context)
    {
        auto* self = static_cast<ArrivingItem*>(context);
        if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER) {
            std::lock_guard lock(self->mutex);
            self->item = object;
            self->arrived.notify_all();
        } else if (object != nullptr) {
            CamRelease(object);
        }
        return CAM_ERR_OK;
    }
};

// Releases an SDK handle (every kind is a CamBaseRef) when it goes out of scope.
class Handle final {
public:
    Handle() = default;
    ~Handle()
    {
        if (m_handle != nullptr) {
            CamRelease(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    CamBaseRef* out() { return &m_handle; }
    CamBaseRef get() const { return m_handle; }

private:
    CamBaseRef m_handle = nullptr;
};

void require(CamError result, const char* step)
{
    if (result != CAM_ERR_OK) {
        throw std::runtime_error(std::string("simulated shot: ") + step + " failed with " + std::to_string(result));
    }
}

// The session's part: everything between opening and closing the first camera's session.
std::vector<uint8_t> shoot(CamCameraRef camera)
{
    require(CamOpenSession(camera), "opening the session");
    ArrivingItem arriving;
    require(CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, ArrivingItem::onObject, &arriving),
            "registering the object handler");
    const auto unregister = [&] { CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr); };
    try {
        const uint32_t toHost = CAM_SAVE_TO_HOST;
        require(CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost), "saving to the host");
        require(CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY),
                "pressing the shutter");
        Handle item;
        {
            std::unique_lock lock(arriving.mutex);
            arriving.arrived.wait_for(lock, std::chrono::seconds(20), [&] { return arriving.item != nullptr; });
            *item.out() = arriving.item;
        }
        if (item.get() == nullptr) {
            throw std::runtime_error("simulated shot: the picture never arrived");
        }
        CamDirectoryItemInfo info{};
        Handle stream;
        require(CamGetDirectoryItemInfo(item.get(), &info), "reading the item");
        require(CamCreateMemoryStream(0, stream.out()), "creating the stream");
        require(CamDownload(item.get(), info.size, stream.get()), "downloading");
        require(CamDownloadComplete(item.get()), "completing the download");
        void* data = nullptr;
        uint64_t length = 0;
        require(CamGetPointer(stream.get(), &data), "reading the stream");
        require(CamGetLength(stream.get(), &length), "reading the stream's length");
        const auto* bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> jpeg(bytes, bytes + length);
        unregister();
        CamCloseSession(camera);
        return jpeg;
    } catch (...) {
        unregister();
        CamCloseSession(camera);
        throw;
    }
}

} // namespace

std::vector<uint8_t> shootThroughSdk(const camsdk::sim::SimConfig& config)
{
    camsdk::sim::reset();
    camsdk::sim::configure(config);
    require(CamInitializeSDK(), "starting the SDK");
    std::vector<uint8_t> jpeg;
    try {
        Handle list;
        Handle camera;
        require(CamGetCameraList(list.out()), "listing the cameras");
        require(CamGetChildAtIndex(list.get(), 0, camera.out()), "taking the first camera");
        jpeg = shoot(camera.get());
    } catch (...) {
        CamTerminateSDK();
        throw;
    }
    require(CamTerminateSDK(), "ending the SDK");
    return jpeg;
}

} // namespace camsdk_test
