// A real camera's mapped properties as libgphoto2's configuration widgets show them: reading
// them all when a session opens, reading again only the widgets the camera reports changed,
// and writing one widget.
// Threading: libgphoto2 is called only on the camera's thread (see Camera.h).
#include "Camera.h"

#include "GpHandles.h"
#include "Translate.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace camsdk::gp {
namespace {

constexpr int kEventWaitMs = 20;
constexpr int kEventsPerPoll = 16;
constexpr size_t kMaxRangeChoices = CAM_MAX_PROPERTY_VALUES;

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

// One widget's reading as a property; empty when the widget shows no value.
std::optional<PropertyState> stateOf(CameraWidget* widget, const char* name, CamPropertyID id)
{
    const auto text = textOf(widget);
    if (!text) {
        return std::nullopt;
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
        return state;
    }
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
    return state;
}

// The widget a property-change text names: libgphoto2 reports such changes as unknown events
// reading `PTP Property 5010 changed, "exposurecompensation" to "0.3"`. Empty for other texts.
std::optional<std::string> widgetNamedIn(const char* text)
{
    static constexpr const char* kMarker = "changed, \"";
    const char* start = text ? std::strstr(text, kMarker) : nullptr;
    if (!start) {
        return std::nullopt;
    }
    start += std::strlen(kMarker);
    const char* end = std::strchr(start, '"');
    if (!end || end == start) {
        return std::nullopt;
    }
    return std::string(start, end);
}

} // namespace

void Camera::raise(CamPropertyEvent event, CamPropertyID property) const
{
    if (m_callbacks.property) {
        m_callbacks.property(event, property);
    }
}

void Camera::readProperty(CameraWidget* root, const std::vector<const char*>& names, CamPropertyID id,
                          std::map<CamPropertyID, PropertyState>& into) const
{
    for (const char* name : names) {
        if (CameraWidget* widget = childNamed(root, name)) {
            if (auto state = stateOf(widget, name, id)) {
                into[id] = std::move(*state);
                return;
            }
        }
    }
}

void Camera::refreshProperties(bool announce)
{
    if (!m_camera) {
        return;
    }
    CameraWidget* config = nullptr;
    const int result = checked(gp_camera_get_config(m_camera, &config, m_context));
    if (result < GP_OK) {
        failed(result);
        return;
    }
    const WidgetHandle root(config);
    std::map<CamPropertyID, PropertyState> fresh;
    for (const MappedProperty& property : mappedProperties()) {
        readProperty(root.get(), property.widgetNames, property.id, fresh);
    }
    std::string serial;
    if (CameraWidget* widget = childNamed(root.get(), "serialnumber")) {
        serial = textOf(widget).value_or("");
    }
    {
        std::lock_guard lock(m_mutex);
        m_serial = serial;
    }
    storeProperties(std::move(fresh), true, announce);
}

void Camera::refreshWidgets(const std::set<std::string>& widgets)
{
    std::map<CamPropertyID, PropertyState> fresh;
    for (const MappedProperty& property : mappedProperties()) {
        std::string current;
        {
            std::lock_guard lock(m_mutex);
            if (const auto found = m_properties.find(property.id); found != m_properties.end()) {
                current = found->second.widget;
            }
        }
        for (const char* name : property.widgetNames) {
            // The widget the property is read from, or any of its names while it has none.
            if (!widgets.count(name) || (!current.empty() && current != name) || !m_camera) {
                continue;
            }
            CameraWidget* single = nullptr;
            const int result = checked(gp_camera_get_single_config(m_camera, name, &single, m_context));
            if (result < GP_OK) {
                const CamError code = failed(result);
                if (code == CAM_ERR_COMM_DISCONNECTED || code == CAM_ERR_DEVICE_BUSY) {
                    return;
                }
                continue;
            }
            const WidgetHandle widget(single);
            if (auto state = stateOf(widget.get(), name, property.id)) {
                fresh[property.id] = std::move(*state);
                break;
            }
        }
    }
    storeProperties(std::move(fresh), false, false);
}

void Camera::storeProperties(std::map<CamPropertyID, PropertyState> fresh, bool complete, bool announce)
{
    std::vector<std::pair<CamPropertyEvent, CamPropertyID>> events;
    bool keptSaveTo = false;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, state] : fresh) {
            const auto old = m_properties.find(id);
            if (announce || old == m_properties.end() || old->second.value != state.value) {
                events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, id);
            }
            if (announce || old == m_properties.end() || old->second.allowed != state.allowed) {
                events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, id);
            }
        }
        if (complete) {
            m_properties = std::move(fresh);
        } else {
            for (auto& [id, state] : fresh) {
                m_properties[id] = std::move(state);
            }
        }
        keptSaveTo = m_properties.count(CAM_PROP_SAVE_TO) == 0;
    }
    if (announce) {
        // Every property a caller may read is announced, also those the camera has no widget
        // for: the Body ID (empty without a serial number), live view and the save target.
        events.emplace(events.begin(), CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_BODY_ID);
        events.emplace(events.begin(), CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_PRODUCT_NAME);
        if (keptSaveTo) {
            events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_SAVE_TO);
            events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED, CAM_PROP_SAVE_TO);
        }
        events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_OUTPUT_DEVICE);
        events.emplace_back(CAM_PROPERTY_EVENT_PROPERTY_CHANGED, CAM_PROP_EVF_MODE);
    }
    for (const auto& [event, id] : events) {
        raise(event, id);
    }
}

void Camera::pollEvents()
{
    if (stalling()) {
        probe();
        return;
    }
    // Changes are collected over the whole poll and each changed widget is read once: some
    // cameras report one change several times, and a full configuration takes them long.
    std::set<std::string> changed;
    for (int count = 0; count < kEventsPerPoll && m_camera; ++count) {
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
            announcePicture(path->folder, path->name, false);
        } else if (type == GP_EVENT_UNKNOWN) {
            // Texts that name no widget are about nothing the system shows.
            if (auto widget = widgetNamedIn(static_cast<const char*>(data))) {
                changed.insert(std::move(*widget));
            }
        }
        std::free(data);
        if (type == GP_EVENT_TIMEOUT) {
            break;
        }
    }
    if (!changed.empty()) {
        refreshWidgets(changed);
    }
}

CamError Camera::writeWidget(const std::string& name, const std::string& text)
{
    CameraWidget* single = nullptr;
    int result = checked(gp_camera_get_single_config(m_camera, name.c_str(), &single, m_context));
    if (result < GP_OK) {
        return failed(result);
    }
    const WidgetHandle widget(single);
    CameraWidgetType type{};
    gp_widget_get_type(widget.get(), &type);
    if (type == GP_WIDGET_RANGE) {
        const float number = std::strtof(text.c_str(), nullptr);
        result = gp_widget_set_value(widget.get(), &number);
    } else {
        result = gp_widget_set_value(widget.get(), text.c_str());
    }
    if (result >= GP_OK) {
        result = checked(gp_camera_set_single_config(m_camera, name.c_str(), widget.get(), m_context));
    }
    return result < GP_OK ? failed(result) : CamError{CAM_ERR_OK};
}

} // namespace camsdk::gp
