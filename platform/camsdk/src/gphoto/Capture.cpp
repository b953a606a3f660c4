// A real camera's pictures: capture, announcement of new files, download, deletion and the
// preview frames that make live view.
// Threading: libgphoto2 is called only on the camera's thread (see Camera.h).
#include "Camera.h"

#include <gphoto2/gphoto2.h>

#include <cstring>

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

} // namespace

void Camera::announcePicture(const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/" + name;
    // A capture is also reported later as an added file: announce each picture once.
    if (!m_announced.insert(path).second) {
        return;
    }
    Picture picture;
    picture.folder = folder;
    picture.name = name;
    CameraFileInfo info{};
    if (gp_camera_file_get_info(m_camera, folder.c_str(), name.c_str(), &info, m_context) >= GP_OK &&
        (info.file.fields & GP_FILE_INFO_SIZE) != 0) {
        picture.size = info.file.size;
    }
    {
        std::lock_guard lock(m_mutex);
        const auto saveTo = m_properties.find(CAM_PROP_SAVE_TO);
        picture.inHostMemory = saveTo != m_properties.end() && saveTo->second.value == CAM_SAVE_TO_HOST;
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
        CameraFilePath path{};
        const int result = gp_camera_capture(m_camera, GP_CAPTURE_IMAGE, &path, m_context);
        if (result < GP_OK) {
            return failed(result);
        }
        announcePicture(path.folder, path.name);
        return CAM_ERR_OK;
    });
}

CamError Camera::fetch(const Picture& picture, std::vector<uint8_t>& bytes)
{
    return runOnThread([this, &picture, &bytes]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        CameraFile* file = nullptr;
        if (gp_file_new(&file) < GP_OK) {
            return CAM_ERR_MEM_ALLOC_FAILED;
        }
        const int result = gp_camera_file_get(m_camera, picture.folder.c_str(), picture.name.c_str(),
                                              GP_FILE_TYPE_NORMAL, file, m_context);
        const CamError error = result < GP_OK ? failed(result) : copyFile(file, bytes);
        gp_file_unref(file);
        return error;
    });
}

CamError Camera::remove(const Picture& picture)
{
    return runOnThread([this, &picture]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        const int result = gp_camera_file_delete(m_camera, picture.folder.c_str(), picture.name.c_str(), m_context);
        return result < GP_OK ? failed(result) : CamError{CAM_ERR_OK};
    });
}

CamError Camera::preview(std::vector<uint8_t>& jpeg)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_hasPreview || m_previewUnsupported) {
            return CAM_ERR_NOT_SUPPORTED;
        }
        if ((m_evfOutput & CAM_EVF_OUTPUT_DEVICE_PC) == 0) {
            return CAM_ERR_OBJECT_NOTREADY;
        }
    }
    return runOnThread([this, &jpeg]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        CameraFile* file = nullptr;
        if (gp_file_new(&file) < GP_OK) {
            return CAM_ERR_MEM_ALLOC_FAILED;
        }
        const int result = gp_camera_capture_preview(m_camera, file, m_context);
        CamError error = CAM_ERR_OK;
        if (result == GP_ERROR_NOT_SUPPORTED) {
            // The driver offers previews, the body does not: live view stays off from now on.
            std::lock_guard lock(m_mutex);
            m_previewUnsupported = true;
            error = CAM_ERR_NOT_SUPPORTED;
        } else {
            error = result < GP_OK ? failed(result) : copyFile(file, jpeg);
        }
        gp_file_unref(file);
        return error;
    });
}

} // namespace camsdk::gp
