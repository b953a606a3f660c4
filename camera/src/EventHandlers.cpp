// The SDK's event handlers: camera events become actions for the controller.
//
// Threading: SDK event thread.
#include "camera/EventHandlers.h"

#include <type_traits>

namespace camera {
namespace {

ActionListener* listenerOf(void* context)
{
    return static_cast<ActionListener*>(context);
}

} // namespace

static_assert(std::is_same_v<decltype(&handlePropertyEvent), CamPropertyEventHandler>);
static_assert(std::is_same_v<decltype(&handleObjectEvent), CamObjectEventHandler>);
static_assert(std::is_same_v<decltype(&handleStateEvent), CamStateEventHandler>);

void sendAction(ActionListener* listener, const std::string& command, void* argument)
{
    if (listener) {
        listener->actionPerformed(ActionEvent(command, argument));
    }
}

CamError handlePropertyEvent(CamPropertyEvent event, CamPropertyID property, uint32_t parameter, void* context)
{
    if (property == CAM_PROP_TEMP_STATUS || property == CAM_PROP_ATTRIBUTE_CHANGE) {
        return CAM_ERR_OK;
    }
    if (event == CAM_PROPERTY_EVENT_PROPERTY_CHANGED) {
        uint32_t propertyAndParameter[2] = {property, parameter};
        sendAction(listenerOf(context), "get_PropertyInfo", propertyAndParameter);
    } else if (event == CAM_PROPERTY_EVENT_PROPERTY_DESC_CHANGED) {
        sendAction(listenerOf(context), "get_PropertyDesc", &property);
    }
    return CAM_ERR_OK;
}

CamError handleObjectEvent(CamObjectEvent event, CamBaseRef object, void* context)
{
    if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER && context) {
        // The queued download owns the item from here on.
        sendAction(listenerOf(context), "download", object);
    } else if (object) {
        CamRelease(object);
    }
    return CAM_ERR_OK;
}

CamError handleStateEvent(CamStateEvent event, uint32_t parameter, void* context)
{
    if (event == CAM_STATE_EVENT_SHUTDOWN) {
        sendAction(listenerOf(context), "shutDown", nullptr);
    } else if (event == CAM_STATE_EVENT_CAPTURE_ERROR) {
        sendAction(listenerOf(context), "error", &parameter);
    }
    return CAM_ERR_OK;
}

} // namespace camera
