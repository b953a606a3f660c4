// A real camera's session, its thread and its mapped properties: reading them through the
// camera's configuration widgets, writing them back, and noticing changes the camera reports.
// Threading: libgphoto2 is called only on the camera's thread (see Camera.h).
#include "Camera.h"

#include "Translate.h"

#include <gphoto2/gphoto2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>

namespace camsdk::gp {
namespace {

constexpr int kEventWaitMs = 20;
constexpr auto kPollInterval = std::chrono::milliseconds(250);
constexpr size_t kMaxRangeChoices = CAM_MAX_PROPERTY_VALUES;

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

// The widget's current value as text, whatever its kind.
std::optional<std::string> textOf(CameraWidget* widget)
{
    CameraWidgetType type{};
    gp_widget_get_type(widget, &type);
    switch (type) {
    case GP_WIDGET_RADIO:
    case GP_WIDGET_MENU:
    case GP_WIDGET_TEXT: {
        const char* text = nullptr;
        if (gp_widget_get_value(widget, &text) < GP_OK || !text) {
            return std::nullopt;
        }
        return std::string(text);
    }
    case GP_WIDGET_RANGE: {
        float value = 0;
        if (gp_widget_get_value(widget, &value) < GP_OK) {
            return std::nullopt;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
        return std::string(text);
    }
    default:
        return std::nullopt;
    }
}

// The widget's choices: its listed ones, or the steps of a range.
std::vector<std::string> choicesOf(CameraWidget* widget)
{
    std::vector<std::string> choices;
    CameraWidgetType type{};
    gp_widget_get_type(widget, &type);
    if (type == GP_WIDGET_RADIO || type == GP_WIDGET_MENU) {
        const int count = gp_widget_count_choices(widget);
        for (int index = 0; index < count; ++index) {
            const char* choice = nullptr;
            if (gp_widget_get_choice(widget, index, &choice) == GP_OK && choice) {
                choices.emplace_back(choice);
            }
        }
    } else if (type == GP_WIDGET_RANGE) {
        float low = 0;
        float high = 0;
        float step = 0;
        gp_widget_get_range(widget, &low, &high, &step);
        for (float value = low; step > 0 && value <= high + step / 2 && choices.size() < kMaxRangeChoices;
             value += step) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
            choices.emplace_back(text);
        }
    }
    return choices;
}

CameraWidget* childNamed(CameraWidget* root, const char* name)
{
    CameraWidget* child = nullptr;
    return gp_widget_get_child_by_name(root, name, &child) == GP_OK ? child : nullptr;
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
    const CamError code = codeOf(result, m_detected.port);
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
    if (first && m_callbacks.gone) {
        m_callbacks.gone();
    }
    return code;
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
}

CamError Camera::openSession()
{
    return runOnThread([this]() -> CamError {
        if (m_camera) {
            refreshProperties(true);
            return CAM_ERR_OK;
        }
        m_context = gp_context_new();
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
            m_evfOutput = 0;
            m_evfMode = 0;
        }
        m_announced.clear();
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

void Camera::readProperty(CameraWidget* root, const std::vector<const char*>& names, CamPropertyID id,
                          std::map<CamPropertyID, PropertyState>& into) const
{
    for (const char* name : names) {
        CameraWidget* widget = childNamed(root, name);
        if (!widget) {
            continue;
        }
        const auto text = textOf(widget);
        if (!text) {
            continue;
        }
        PropertyState state;
        state.widget = name;
        int readOnly = 0;
        gp_widget_get_readonly(widget, &readOnly);
        const MappedProperty* mapped = mappedProperty(id);
        state.writable = mapped && mapped->writable && readOnly == 0;
        if (id == CAM_PROP_BATTERY_LEVEL) {
            const auto percent = batteryPercent(*text);
            state.value = percent ? *percent : 0xFFFFFFFF;
        } else {
            state.value = codeForChoice(id, *text).value_or(0xFFFFFFFF);
            for (const std::string& choice : choicesOf(widget)) {
                const auto code = codeForChoice(id, choice);
                // One entry per code: two texts of one setting ("1/3" and "0.3") list it once.
                if (code && std::find(state.allowed.begin(), state.allowed.end(), *code) == state.allowed.end() &&
                    state.allowed.size() < CAM_MAX_PROPERTY_VALUES) {
                    state.allowed.push_back(*code);
                    state.choiceTexts.push_back(choice);
                }
            }
        }
        into[id] = std::move(state);
        return;
    }
}

void Camera::refreshProperties(bool announce)
{
    if (!m_camera) {
        return;
    }
    CameraWidget* root = nullptr;
    const int result = gp_camera_get_config(m_camera, &root, m_context);
    if (result < GP_OK) {
        failed(result);
        return;
    }
    std::map<CamPropertyID, PropertyState> fresh;
    for (const MappedProperty& property : mappedProperties()) {
        readProperty(root, property.widgetNames, property.id, fresh);
    }
    std::string serial;
    if (CameraWidget* widget = childNamed(root, "serialnumber")) {
        serial = textOf(widget).value_or("");
    }
    gp_widget_free(root);

    std::vector<std::pair<CamPropertyEvent, CamPropertyID>> events;
    bool hasPreview = false;
    {
        std::lock_guard lock(m_mutex);
        hasPreview = m_hasPreview && !m_previewUnsupported;
        for (const auto& [id, state] : fresh) {
            const auto old = m_properties.find(id);
            if (announce || old == m_properties.end() || old->second.value != state.value) {
                events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, id);
            }
            if (announce || old == m_properties.end() || old->second.allowed != state.allowed) {
                events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, id);
            }
        }
        m_properties = std::move(fresh);
        m_serial = serial;
    }
    if (announce) {
        events.emplace(events.begin(), CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_PRODUCT_NAME);
        if (!serial.empty()) {
            events.emplace(events.begin() + 1, CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_BODY_ID);
        }
        if (hasPreview) {
            events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_OUTPUT_DEVICE);
            events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_MODE);
        }
    }
    if (m_callbacks.property) {
        for (const auto& [event, id] : events) {
            m_callbacks.property(event, id);
        }
    }
}

void Camera::pollEvents()
{
    bool settingsChanged = false;
    for (int count = 0; count < 16 && m_camera; ++count) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const int result = gp_camera_wait_for_event(m_camera, kEventWaitMs, &type, &data, m_context);
        if (result < GP_OK) {
            std::free(data);
            failed(result);
            return;
        }
        if (type == GP_EVENT_FILE_ADDED && data) {
            const auto* path = static_cast<const CameraFilePath*>(data);
            announcePicture(path->folder, path->name);
        } else if (type == GP_EVENT_UNKNOWN) {
            // Property changes arrive as unknown events with a text naming the property.
            settingsChanged = true;
        }
        std::free(data);
        if (type == GP_EVENT_TIMEOUT) {
            break;
        }
    }
    if (settingsChanged) {
        refreshProperties(false);
    }
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
    const bool liveView = m_hasPreview && !m_previewUnsupported;
    switch (property) {
    case CAM_PROP_PRODUCT_NAME:
        writeBytes(out, CAM_DATATYPE_STRING, m_detected.model.c_str(), m_detected.model.size() + 1);
        return CAM_ERR_OK;
    case CAM_PROP_BODY_ID:
        if (m_serial.empty()) {
            return CAM_ERR_PROPERTIES_UNAVAILABLE;
        }
        writeBytes(out, CAM_DATATYPE_STRING, m_serial.c_str(), m_serial.size() + 1);
        return CAM_ERR_OK;
    case CAM_PROP_EVF_OUTPUT_DEVICE:
    case CAM_PROP_EVF_MODE: {
        if (!liveView) {
            return CAM_ERR_PROPERTIES_UNAVAILABLE;
        }
        const uint32_t value = property == CAM_PROP_EVF_MODE ? m_evfMode : m_evfOutput;
        writeBytes(out, CAM_DATATYPE_UINT32, &value, sizeof value);
        return CAM_ERR_OK;
    }
    default:
        break;
    }
    const auto found = m_properties.find(property);
    if (found == m_properties.end()) {
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
        if (property == CAM_PROP_EVF_OUTPUT_DEVICE || property == CAM_PROP_EVF_MODE) {
            // Live view is the host's own loop of preview captures: these only record the
            // operator's choice, on cameras that have a preview.
            if (!m_hasPreview || m_previewUnsupported) {
                return CAM_ERR_NOT_SUPPORTED;
            }
            (property == CAM_PROP_EVF_MODE ? m_evfMode : m_evfOutput) = value;
        } else {
            const auto found = m_properties.find(property);
            if (found == m_properties.end()) {
                return property == CAM_PROP_PRODUCT_NAME || property == CAM_PROP_BODY_ID
                           ? CamError{CAM_ERR_NOT_SUPPORTED}
                           : CamError{CAM_ERR_PROPERTIES_UNAVAILABLE};
            }
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
    if (widget.empty()) {
        if (m_callbacks.property) {
            m_callbacks.property(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property);
        }
        return CAM_ERR_OK;
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
        refreshProperties(false);
        if (m_callbacks.property) {
            m_callbacks.property(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, property);
        }
        return CAM_ERR_OK;
    });
}

CamError Camera::writeWidget(const std::string& name, const std::string& text)
{
    CameraWidget* root = nullptr;
    int result = gp_camera_get_config(m_camera, &root, m_context);
    if (result < GP_OK) {
        return failed(result);
    }
    CameraWidget* widget = childNamed(root, name.c_str());
    CameraWidgetType type{};
    if (widget) {
        gp_widget_get_type(widget, &type);
    }
    if (!widget) {
        result = GP_ERROR_NOT_SUPPORTED;
    } else if (type == GP_WIDGET_RANGE) {
        const float number = std::strtof(text.c_str(), nullptr);
        result = gp_widget_set_value(widget, &number);
    } else {
        result = gp_widget_set_value(widget, text.c_str());
    }
    if (result >= GP_OK) {
        result = gp_camera_set_config(m_camera, root, m_context);
    }
    gp_widget_free(root);
    return result < GP_OK ? failed(result) : CamError{CAM_ERR_OK};
}

} // namespace camsdk::gp
