// A real camera's pictures and live view: capture (with its focus failures), announcement of
// new files, download, deletion, and the preview frames that make live view, which is off for
// good on a body that refuses them.
// Threading: libgphoto2 is called only on the camera's thread (see Camera.h).
#include "Camera.h"

#include "GpHandles.h"

#include <algorithm>
#include <cctype>

namespace camsdk::gp {
namespace {

// The bytes of a libgphoto2 file.
CamError copyFile(CameraFile* file, std::vector<uint8_t>& bytes)
{
    const char* data = nullptr;
    unsigned long size = 0;
    if (gp_file_get_data_and_size(file, &data, &size) < GP_OK) {
        return CAM_ERR_DEVICE_INTERNAL_ERROR;
    }
    const auto* begin = reinterpret_cast<const uint8_t*>(data);
    bytes.assign(begin, begin + size);
    return CAM_ERR_OK;
}

// libgphoto2 reports a shot that found no focus as a plain failure; only its text tells
// ("Out of Focus", "Capture failed: No focus.", "Perhaps no focus?").
bool mentionsFocus(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("focus") != std::string::npos;
}

} // namespace

void Camera::announcePicture(const std::string& folder, const std::string& name, bool captured)
{
    const std::string path = folder + "/" + name;
    CameraFileInfo info{};
    bool haveInfo = false;
    if (!captured && m_announced.count(path) != 0) {
        // A capture is also reported later as an added file: announce each picture once. A name
        // given again after its picture was deleted (capture into the camera's memory) is a new
        // picture when the camera has a file of that name.
        if (m_removed.count(path) == 0) {
            return;
        }
        haveInfo = gp_camera_file_get_info(m_camera, folder.c_str(), name.c_str(), &info, m_context) >= GP_OK;
        if (!haveInfo) {
            return;
        }
    }
    m_announced.insert(path);
    m_removed.erase(path);
    Picture picture;
    picture.folder = folder;
    picture.name = name;
    if (!haveInfo) {
        haveInfo = gp_camera_file_get_info(m_camera, folder.c_str(), name.c_str(), &info, m_context) >= GP_OK;
    }
    if (haveInfo && (info.file.fields & GP_FILE_INFO_SIZE) != 0) {
        picture.size = info.file.size;
    }
    {
        std::lock_guard lock(m_mutex);
        const auto saveTo = m_properties.find(CAM_PROP_SAVE_TO);
        const uint32_t target = saveTo != m_properties.end() ? saveTo->second.value : m_keptSaveTo;
        picture.inHostMemory = target == CAM_SAVE_TO_HOST;
    }
    if (m_callbacks.picture) {
        m_callbacks.picture(picture);
    }
}

CamError Camera::capture()
{
    return runOnThread([this]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        m_contextError.clear();
        CameraFilePath path{};
        const int result = checked(gp_camera_capture(m_camera, GP_CAPTURE_IMAGE, &path, m_context));
        if (result < GP_OK) {
            if (mentionsFocus(m_contextError)) {
                // As a camera reports a shot that found no focus: no picture, and the state
                // event says why, so that the operator can focus and try again.
                if (m_callbacks.state) {
                    m_callbacks.state(CAM_STATE_EVENT_CAPTURE_ERROR, CAM_ERR_TAKE_PICTURE_AF_NG);
                }
                return CAM_ERR_OK;
            }
            return failed(result);
        }
        announcePicture(path.folder, path.name, true);
        return CAM_ERR_OK;
    });
}

CamError Camera::fetch(const Picture& picture, std::vector<uint8_t>& bytes)
{
    return runOnThread([this, &picture, &bytes]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        const FileHandle file = newFile();
        if (!file) {
            return CAM_ERR_MEM_ALLOC_FAILED;
        }
        const int result = checked(gp_camera_file_get(m_camera, picture.folder.c_str(), picture.name.c_str(),
                                                      GP_FILE_TYPE_NORMAL, file.get(), m_context));
        return result < GP_OK ? failed(result) : copyFile(file.get(), bytes);
    });
}

CamError Camera::remove(const Picture& picture)
{
    return runOnThread([this, &picture]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        const int result =
            checked(gp_camera_file_delete(m_camera, picture.folder.c_str(), picture.name.c_str(), m_context));
        if (result < GP_OK) {
            return failed(result);
        }
        m_removed.insert(picture.folder + "/" + picture.name);
        return CAM_ERR_OK;
    });
}

void Camera::liveViewRefused()
{
    {
        std::lock_guard lock(m_mutex);
        m_previewUnsupported = true;
        m_evfOutput = 0;
        m_evfMode = 0;
    }
    m_firstFrame.clear();
    raise(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_OUTPUT_DEVICE);
    raise(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_MODE);
}

CamError Camera::takePreview(std::vector<uint8_t>& jpeg)
{
    if (!m_camera) {
        return CAM_ERR_SESSION_NOT_OPEN;
    }
    const FileHandle file = newFile();
    if (!file) {
        return CAM_ERR_MEM_ALLOC_FAILED;
    }
    const int result = checked(gp_camera_capture_preview(m_camera, file.get(), m_context));
    if (result == GP_ERROR_NOT_SUPPORTED) {
        // The driver offers previews, the body does not (in its present mode at least).
        liveViewRefused();
        return CAM_ERR_NOT_SUPPORTED;
    }
    return result < GP_OK ? failed(result) : copyFile(file.get(), jpeg);
}

CamError Camera::writeLiveView(CamPropertyID property, uint32_t value)
{
    bool switchingOn = false;
    {
        std::lock_guard lock(m_mutex);
        // Live view is the host's own loop of preview captures: these properties record the
        // operator's choice. Without a usable preview they stay 0, and a write only leads to
        // the change event that tells callers so.
        if (m_hasPreview && !m_previewUnsupported) {
            switchingOn = property == CAM_PROP_EVF_OUTPUT_DEVICE && (value & CAM_EVF_OUTPUT_DEVICE_PC) != 0 &&
                          (m_evfOutput & CAM_EVF_OUTPUT_DEVICE_PC) == 0;
            if (!switchingOn) {
                (property == CAM_PROP_EVF_MODE ? m_evfMode : m_evfOutput) = value;
            }
        }
    }
    if (switchingOn) {
        // The first frame is taken now, so that a body refusing previews turns live view off
        // before anyone waits for a frame; a body that gives one has it ready for the first
        // download.
        const CamError error = runOnThread([this]() -> CamError {
            m_firstFrame.clear();
            return takePreview(m_firstFrame);
        });
        if (error == CAM_ERR_NOT_SUPPORTED) {
            return CAM_ERR_OK; // refused: both properties read 0 and their events are raised
        }
        if (error != CAM_ERR_OK) {
            return error;
        }
        std::lock_guard lock(m_mutex);
        m_evfOutput = value;
    }
    raise(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property);
    return CAM_ERR_OK;
}

CamError Camera::preview(std::vector<uint8_t>& jpeg)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_hasPreview || m_previewUnsupported || (m_evfOutput & CAM_EVF_OUTPUT_DEVICE_PC) == 0) {
            return CAM_ERR_OBJECT_NOTREADY;
        }
    }
    return runOnThread([this, &jpeg]() -> CamError {
        if (!m_firstFrame.empty()) {
            jpeg.swap(m_firstFrame);
            m_firstFrame.clear();
            return CAM_ERR_OK;
        }
        const CamError error = takePreview(jpeg);
        // A body that stops giving previews has just turned live view off: as for any
        // download without the host in the output device, the frame is not ready.
        return error == CAM_ERR_NOT_SUPPORTED ? CamError{CAM_ERR_OBJECT_NOTREADY} : error;
    });
}

} // namespace camsdk::gp
