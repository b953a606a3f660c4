// A real camera's session, its thread, its failures (a camera that has gone or stopped
// answering) and the property calls answered from the last reading.
// Threading: libgphoto2 is called only on the camera's thread (see Camera.h).
#include "Camera.h"

#include "Translate.h"

#include <gphoto2/gphoto2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace camsdk::gp {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(250);
// A camera that answers nothing but time-outs for this long is taken for gone: a body that has
// hung or lost its connection without the port noticing.
constexpr auto kSilenceLimit = std::chrono::seconds(3);

bool meansGone(int result)
{
    switch (result) {
    case GP_ERROR_IO:
    case GP_ERROR_IO_READ:
    case GP_ERROR_IO_WRITE:
    case GP_ERROR_IO_INIT:
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_MODEL_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

void writeBytes(detail::PropertyBytes& out, CamDataType type, const void* data, size_t size)
{
    out.type = type;
    const auto* begin = static_cast<const uint8_t*>(data);
    out.bytes.assign(begin, begin + size);
}

} // namespace

CamError codeOf(int result, const std::string& port)
{
    switch (result) {
    case GP_OK:
        return CAM_ERR_OK;
    case GP_ERROR_CAMERA_BUSY:
    case GP_ERROR_TIMEOUT:
        // A camera that did not answer in time may answer the next call.
        return CAM_ERR_DEVICE_BUSY;
    case GP_ERROR_IO_USB_CLAIM:
    case GP_ERROR_IO_LOCK:
        std::fprintf(stderr,
                     "camsdk: could not claim the USB device %s: another program holds the camera "
                     "(often the desktop's automatic mounting of cameras). Close or unmount it there, "
                     "or stop that service, then try again.\n",
                     port.c_str());
        return CAM_ERR_COMM_PORT_IS_IN_USE;
    case GP_ERROR_NOT_SUPPORTED:
        return CAM_ERR_NOT_SUPPORTED;
    case GP_ERROR_NO_MEMORY:
        return CAM_ERR_MEM_ALLOC_FAILED;
    case GP_ERROR_BAD_PARAMETERS:
        return CAM_ERR_DEVICE_INVALID_PARAMETER;
    case GP_ERROR_CANCEL:
        return CAM_ERR_OPERATION_CANCELLED;
    case GP_ERROR_FILE_NOT_FOUND:
    case GP_ERROR_DIRECTORY_NOT_FOUND:
        return CAM_ERR_FILE_NOT_FOUND;
    case GP_ERROR_NO_SPACE:
        return CAM_ERR_DEVICE_MEMORY_FULL;
    default:
        return meansGone(result) ? CamError{CAM_ERR_COMM_DISCONNECTED} : CamError{CAM_ERR_DEVICE_INTERNAL_ERROR};
    }
}

Camera::Camera(Detected detected, CameraCallbacks callbacks)
    : m_detected(std::move(detected)), m_callbacks(std::move(callbacks))
{
    m_thread = std::thread([this] { threadMain(); });
}

Camera::~Camera()
{
    stop();
}

bool Camera::sessionOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_sessionOpen;
}

bool Camera::gone() const
{
    std::lock_guard lock(m_mutex);
    return m_gone;
}

void Camera::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

CamError Camera::runOnThread(std::function<CamError()> work)
{
    auto task = std::make_shared<std::packaged_task<CamError()>>(std::move(work));
    std::future<CamError> result = task->get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return CAM_ERR_COMM_DISCONNECTED;
        }
        if (m_gone) {
            return CAM_ERR_COMM_DISCONNECTED;
        }
        m_tasks.emplace_back([task] { (*task)(); });
    }
    m_wake.notify_all();
    return result.get();
}

void Camera::threadMain()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_tasks.empty()) {
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        if (m_sessionOpen && !m_gone) {
            lock.unlock();
            pollEvents();
            lock.lock();
            m_wake.wait_for(lock, kPollInterval, [this] { return m_stopping || !m_tasks.empty(); });
            continue;
        }
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
    }
    // Tasks queued while stopping are answered, so no caller waits for ever.
    while (!m_tasks.empty()) {
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
    lock.unlock();
    closeLocked();
}

// A failed libgphoto2 call: when it shows the camera has gone, the session ends and the state
// event is raised once.
CamError Camera::failed(int result)
{
    CamError code = codeOf(result, m_detected.port);
    if (result == GP_ERROR_TIMEOUT && m_camera) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_timeoutSince) {
            m_timeoutSince = now;
        }
        if (now - *m_timeoutSince < kSilenceLimit) {
            return code;
        }
        code = CAM_ERR_COMM_DISCONNECTED;
    }
    if (code != CAM_ERR_COMM_DISCONNECTED || !m_camera) {
        return code;
    }
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        first = !m_gone;
        m_gone = true;
        m_sessionOpen = false;
    }
    closeLocked();
    if (first && m_callbacks.state) {
        m_callbacks.state(CAM_STATE_EVENT_SHUTDOWN, 0);
    }
    return code;
}

int Camera::checked(int result)
{
    if (result >= GP_OK) {
        m_timeoutSince.reset();
    }
    return result;
}

void Camera::probe()
{
    if (!m_camera) {
        return;
    }
    CameraStorageInformation* storages = nullptr;
    int count = 0;
    const int result = gp_camera_get_storageinfo(m_camera, &storages, &count, m_context);
    std::free(storages);
    // Any answer but a time-out, a refusal included, shows the camera is there.
    if (result == GP_ERROR_TIMEOUT || codeOf(result, m_detected.port) == CAM_ERR_COMM_DISCONNECTED) {
        failed(result);
    } else {
        m_timeoutSince.reset();
    }
}

void Camera::closeLocked()
{
    if (m_camera) {
        gp_camera_exit(m_camera, m_context);
        gp_camera_unref(m_camera);
        m_camera = nullptr;
    }
    if (m_context) {
        gp_context_unref(m_context);
        m_context = nullptr;
    }
    m_timeoutSince.reset();
}

CamError Camera::openSession()
{
    return runOnThread([this]() -> CamError {
        if (m_camera) {
            refreshProperties(true);
            return CAM_ERR_OK;
        }
        m_context = gp_context_new();
        // libgphoto2 tells why a call failed only through the context: a capture that found no
        // focus fails as any other would, with a text that says so.
        gp_context_set_error_func(
            m_context,
            [](GPContext*, const char* text, void* data) { static_cast<Camera*>(data)->m_contextError = text ? text : ""; },
            this);
        if (gp_camera_new(&m_camera) < GP_OK) {
            closeLocked();
            return CAM_ERR_MEM_ALLOC_FAILED;
        }
        CameraAbilitiesList* abilitiesList = nullptr;
        GPPortInfoList* portList = nullptr;
        int result = gp_abilities_list_new(&abilitiesList);
        if (result >= GP_OK) {
            result = gp_abilities_list_load(abilitiesList, m_context);
        }
        if (result >= GP_OK) {
            result = gp_abilities_list_lookup_model(abilitiesList, m_detected.model.c_str());
        }
        CameraAbilities abilities{};
        if (result >= GP_OK) {
            result = gp_abilities_list_get_abilities(abilitiesList, result, &abilities);
        }
        if (result >= GP_OK) {
            result = gp_camera_set_abilities(m_camera, abilities);
        }
        if (result >= GP_OK) {
            result = gp_port_info_list_new(&portList);
        }
        if (result >= GP_OK) {
            result = gp_port_info_list_load(portList);
        }
        if (result >= GP_OK) {
            result = gp_port_info_list_lookup_path(portList, m_detected.port.c_str());
        }
        GPPortInfo portInfo{};
        if (result >= GP_OK) {
            result = gp_port_info_list_get_info(portList, result, &portInfo);
        }
        if (result >= GP_OK) {
            result = gp_camera_set_port_info(m_camera, portInfo);
        }
        if (result >= GP_OK) {
            result = gp_camera_init(m_camera, m_context);
        }
        if (abilitiesList) {
            gp_abilities_list_free(abilitiesList);
        }
        if (portList) {
            gp_port_info_list_free(portList);
        }
        if (result < GP_OK) {
            closeLocked();
            return codeOf(result, m_detected.port);
        }
        {
            std::lock_guard lock(m_mutex);
            m_sessionOpen = true;
            m_hasPreview = (abilities.operations & GP_OPERATION_CAPTURE_PREVIEW) != 0;
            m_previewUnsupported = false;
            m_evfOutput = 0;
            m_evfMode = 0;
            m_keptSaveTo = CAM_SAVE_TO_CAMERA;
        }
        m_announced.clear();
        m_removed.clear();
        m_firstFrame.clear();
        refreshProperties(true);
        return CAM_ERR_OK;
    });
}

CamError Camera::closeSession()
{
    return runOnThread([this]() -> CamError {
        {
            std::lock_guard lock(m_mutex);
            m_sessionOpen = false;
            m_properties.clear();
        }
        closeLocked();
        return CAM_ERR_OK;
    });
}

CamError Camera::read(CamPropertyID property, detail::PropertyBytes& out) const
{
    std::lock_guard lock(m_mutex);
    if (m_gone) {
        return CAM_ERR_COMM_DISCONNECTED;
    }
    if (!m_sessionOpen) {
        return CAM_ERR_SESSION_NOT_OPEN;
    }
    switch (property) {
    case CAM_PROP_PRODUCT_NAME:
        writeBytes(out, CAM_DATATYPE_STRING, m_detected.model.c_str(), m_detected.model.size() + 1);
        return CAM_ERR_OK;
    case CAM_PROP_BODY_ID:
        // A body without a serial number has an empty Body ID: it can still be used where no
        // particular body is asked for.
        writeBytes(out, CAM_DATATYPE_STRING, m_serial.c_str(), m_serial.size() + 1);
        return CAM_ERR_OK;
    case CAM_PROP_EVF_OUTPUT_DEVICE:
    case CAM_PROP_EVF_MODE: {
        // 0 on bodies without a usable preview: live view is off, as on a body that has none.
        const uint32_t value = property == CAM_PROP_EVF_MODE ? m_evfMode : m_evfOutput;
        writeBytes(out, CAM_DATATYPE_UINT32, &value, sizeof value);
        return CAM_ERR_OK;
    }
    default:
        break;
    }
    const auto found = m_properties.find(property);
    if (found == m_properties.end()) {
        if (property == CAM_PROP_SAVE_TO) {
            writeBytes(out, CAM_DATATYPE_UINT32, &m_keptSaveTo, sizeof m_keptSaveTo);
            return CAM_ERR_OK;
        }
        return CAM_ERR_PROPERTIES_UNAVAILABLE;
    }
    writeBytes(out, CAM_DATATYPE_UINT32, &found->second.value, sizeof found->second.value);
    return CAM_ERR_OK;
}

CamError Camera::describe(CamPropertyID property, CamPropertyDesc& desc) const
{
    detail::PropertyBytes value;
    if (const CamError error = read(property, value)) {
        return error;
    }
    desc = CamPropertyDesc{};
    std::lock_guard lock(m_mutex);
    const auto found = m_properties.find(property);
    if (found == m_properties.end()) {
        if (property == CAM_PROP_SAVE_TO) {
            desc.access = 1;
            desc.form = 1;
            desc.numElements = 3;
            desc.propDesc[0] = CAM_SAVE_TO_CAMERA;
            desc.propDesc[1] = CAM_SAVE_TO_HOST;
            desc.propDesc[2] = 3;
            return CAM_ERR_OK;
        }
        desc.access = property == CAM_PROP_EVF_OUTPUT_DEVICE || property == CAM_PROP_EVF_MODE ? 1 : 0;
        return CAM_ERR_OK;
    }
    const PropertyState& state = found->second;
    desc.access = state.writable ? 1 : 0;
    desc.form = state.allowed.empty() ? 0 : 1;
    desc.numElements = static_cast<int32_t>(state.allowed.size());
    for (size_t index = 0; index < state.allowed.size(); ++index) {
        desc.propDesc[index] = static_cast<int32_t>(state.allowed[index]);
    }
    return CAM_ERR_OK;
}

CamError Camera::write(CamPropertyID property, uint32_t value)
{
    std::string widget;
    std::string text;
    {
        std::lock_guard lock(m_mutex);
        if (m_gone) {
            return CAM_ERR_COMM_DISCONNECTED;
        }
        if (!m_sessionOpen) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        const auto found = m_properties.find(property);
        if (property == CAM_PROP_EVF_OUTPUT_DEVICE || property == CAM_PROP_EVF_MODE) {
            // handled below, without the lock: switching live view on asks the camera
        } else if (found == m_properties.end()) {
            if (property == CAM_PROP_PRODUCT_NAME || property == CAM_PROP_BODY_ID) {
                return CAM_ERR_NOT_SUPPORTED;
            }
            if (property != CAM_PROP_SAVE_TO) {
                return CAM_ERR_PROPERTIES_UNAVAILABLE;
            }
        } else {
            if (!found->second.writable) {
                return CAM_ERR_NOT_SUPPORTED;
            }
            const auto& allowed = found->second.allowed;
            const auto choice = std::find(allowed.begin(), allowed.end(), value);
            if (choice == allowed.end()) {
                return CAM_ERR_DEVICE_INVALID_PARAMETER;
            }
            widget = found->second.widget;
            text = found->second.choiceTexts[static_cast<size_t>(choice - allowed.begin())];
        }
    }
    if (property == CAM_PROP_EVF_OUTPUT_DEVICE || property == CAM_PROP_EVF_MODE) {
        return writeLiveView(property, value);
    }
    if (widget.empty()) {
        return writeKeptSaveTo(value);
    }
    return runOnThread([this, property, widget, text]() -> CamError {
        if (!m_camera) {
            return CAM_ERR_SESSION_NOT_OPEN;
        }
        if (const CamError error = writeWidget(widget, text)) {
            return error;
        }
        // The camera's own reading after the write is what callers see next; the change
        // event follows every successful write, also when the value did not change.
        refreshWidgets({widget});
        raise(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property);
        return CAM_ERR_OK;
    });
}

CamError Camera::writeKeptSaveTo(uint32_t value)
{
    if (value != CAM_SAVE_TO_CAMERA && value != CAM_SAVE_TO_HOST && value != 3) {
        return CAM_ERR_DEVICE_INVALID_PARAMETER;
    }
    {
        std::lock_guard lock(m_mutex);
        m_keptSaveTo = value;
    }
    raise(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_SAVE_TO);
    return CAM_ERR_OK;
}

CamError Camera::command(CamCameraCommand command, int32_t parameter)
{
    // No live-view autofocus runs here, so stopping it is already done. Starting it and driving
    // the lens have no common form across real cameras.
    if (command == CAM_COMMAND_DO_EVF_AF && parameter == CAM_EVF_AF_OFF) {
        return CAM_ERR_OK;
    }
    return CAM_ERR_NOT_SUPPORTED;
}

} // namespace camsdk::gp
