// The libgphoto2 back end behind the SDK's calls: camera lists from auto-detection, one
// `Camera` (and its thread) per port, and the handle objects and events of real cameras.
// Threading: every member is called from an SDK entry point with the state lock held through
// `lock`; a member that waits for a camera releases the lock meanwhile and returns without it.
#pragma once

#include "../Sdk.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace camsdk::gp {

class Camera;
struct CameraEntry;

// Width and height from a JPEG's frame header; 0,0 when there is none.
CamSize jpegSize(const std::vector<uint8_t>& jpeg);

class Backend final {
public:
    // "gphoto2" selects this back end; empty or "simulator" the simulated camera.
    static bool selectedByEnvironment(bool& unknownName);

    CamError cameraList(detail::Sdk& s, detail::StateLock& lock, CamCameraListRef* outList);
    CamError childCount(detail::Sdk& s, CamBaseRef parent, int32_t* outCount);
    CamError childAtIndex(detail::Sdk& s, CamBaseRef parent, int32_t index, CamBaseRef* outChild);
    CamError deviceInfo(detail::Sdk& s, CamBaseRef camera, CamDeviceInfo* outInfo);
    CamError openSession(detail::Sdk& s, detail::StateLock& lock, CamBaseRef camera);
    CamError closeSession(detail::Sdk& s, detail::StateLock& lock, CamBaseRef camera);

    CamError read(detail::Sdk& s, CamBaseRef ref, CamPropertyID property, detail::PropertyBytes& out);
    CamError write(detail::Sdk& s, detail::StateLock& lock, CamBaseRef ref, CamPropertyID property,
                   const void* data, uint32_t size);
    CamError describe(detail::Sdk& s, CamBaseRef ref, CamPropertyID property, CamPropertyDesc* outDesc);
    CamError command(detail::Sdk& s, detail::StateLock& lock, CamBaseRef camera, CamCameraCommand command,
                     int32_t parameter);
    // Status commands and capacity: accepted on an open session, nothing to tell the camera.
    CamError acknowledge(detail::Sdk& s, CamBaseRef camera);
    // Applies a handler registration to the camera's handlers.
    CamError registerHandler(detail::Sdk& s, CamBaseRef camera, const std::function<void(detail::Handlers&)>& apply);

    CamError itemInfo(detail::Sdk& s, CamBaseRef item, CamDirectoryItemInfo* outInfo);
    CamError download(detail::Sdk& s, detail::StateLock& lock, CamBaseRef item, uint64_t size,
                      CamBaseRef stream);
    CamError downloadComplete(detail::Sdk& s, detail::StateLock& lock, CamBaseRef item);
    CamError downloadEvf(detail::Sdk& s, detail::StateLock& lock, CamBaseRef camera, CamBaseRef image);

    // Ends every camera's session and thread; handlers are forgotten. Called without the lock.
    void shutdown();

private:
    std::shared_ptr<CameraEntry> entryFor(detail::Sdk& s, const std::string& model, const std::string& port);
    CamError entryOf(detail::Sdk& s, CamBaseRef ref, bool needsSession, std::shared_ptr<CameraEntry>& entry);

    std::map<std::string, std::shared_ptr<CameraEntry>> m_cameras; // by port
};

} // namespace camsdk::gp
