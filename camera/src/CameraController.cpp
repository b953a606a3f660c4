// The action dispatch table of the camera controller.
//
// Threading: see CameraController.h.
#include "camera/CameraController.h"

#include "camera/EvfCommands.h"
#include "camera/PropertyCommands.h"
#include "camera/SessionCommands.h"
#include "camera/ShootingCommands.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace camera {
namespace {

// The 32-bit value an action's argument points to; none for a null argument.
std::optional<uint32_t> valueOf(const ActionEvent& event)
{
    const auto* value = static_cast<const uint32_t*>(event.argument());
    return value ? std::optional<uint32_t>(*value) : std::nullopt;
}

// Moves one coordinate by a step; a move down to below 0 stops at 0, a move up has no bound
// other than the 32-bit range.
int32_t moved(int32_t coordinate, int32_t step)
{
    const int64_t result = static_cast<int64_t>(coordinate) + step;
    return static_cast<int32_t>(std::clamp<int64_t>(result, step < 0 ? 0 : INT32_MIN, INT32_MAX));
}

// Actions that write the 32-bit value their argument points to.
struct ValueAction {
    std::string_view command;
    CamPropertyID property;
};
constexpr ValueAction valueActions[] = {
    {"set_AEMode", CAM_PROP_AE_MODE},
    {"set_Av", CAM_PROP_AV},
    {"set_Tv", CAM_PROP_TV},
    {"set_ISOSpeed", CAM_PROP_ISO_SPEED},
    {"set_MeteringMode", CAM_PROP_METERING_MODE},
    {"set_ExposureCompensation", CAM_PROP_EXPOSURE_COMPENSATION},
    {"set_ImageQuality", CAM_PROP_IMAGE_QUALITY},
    {"set_PictureStyle", CAM_PROP_PICTURE_STYLE},
    {"set_WhiteBalance", CAM_PROP_WHITE_BALANCE},
    {"set_EvfMode", CAM_PROP_EVF_MODE},
    {"set_EvfAfMode", CAM_PROP_EVF_AF_MODE},
};

// Actions that queue a command with a fixed 32-bit parameter.
struct ParameterAction {
    std::string_view command;
    uint32_t parameter;
};
constexpr ParameterAction shutterActions[] = {
    {"pressingHalfway", CAM_SHUTTER_BUTTON_HALFWAY},
    {"pressingCompletely", CAM_SHUTTER_BUTTON_COMPLETELY},
    {"pressingOff", CAM_SHUTTER_BUTTON_OFF},
};
constexpr ParameterAction lensActions[] = {
    {"focus_Near3", CAM_DRIVE_LENS_NEAR3}, {"focus_Near2", CAM_DRIVE_LENS_NEAR2},
    {"focus_Near1", CAM_DRIVE_LENS_NEAR1}, {"focus_Far3", CAM_DRIVE_LENS_FAR3},
    {"focus_Far2", CAM_DRIVE_LENS_FAR2},   {"focus_Far1", CAM_DRIVE_LENS_FAR1},
};

// The entry of `actions` for the command, or null.
template <typename Action, std::size_t Count>
const Action* find(const Action (&actions)[Count], const std::string& command)
{
    const auto found = std::find_if(std::begin(actions), std::end(actions),
                                    [&](const Action& action) { return action.command == command; });
    return found != std::end(actions) ? found : nullptr;
}

} // namespace

CameraController::CameraController(std::shared_ptr<CameraModel> model) : m_model(std::move(model)) {}

void CameraController::setDownloadFolder(std::string folder)
{
    std::lock_guard lock(m_folderMutex);
    m_downloadFolder = std::move(folder);
}

std::string CameraController::downloadFolder() const
{
    std::lock_guard lock(m_folderMutex);
    return m_downloadFolder;
}

void CameraController::run()
{
    m_processor.start();
    postCommand(std::make_unique<OpenSessionCommand>(m_model.get()));
}

bool CameraController::postCommand(std::unique_ptr<Command> command)
{
    return m_processor.enqueue(std::move(command));
}

void CameraController::setProperty(CamPropertyID property, std::optional<uint32_t> value)
{
    if (value) {
        setProperty(property, *value);
    }
}

void CameraController::setProperty(CamPropertyID property, uint32_t value)
{
    postCommand(std::make_unique<SetPropertyCommand<uint32_t>>(m_model.get(), property, value));
}

void CameraController::setProperty(CamPropertyID property, CamPoint value)
{
    postCommand(std::make_unique<SetPropertyCommand<CamPoint>>(m_model.get(), property, value));
}

void CameraController::moveFocusBox(int32_t dx, int32_t dy)
{
    CamPoint position = m_model->evfZoomPosition();
    if (dx != 0) {
        position.x = moved(position.x, dx);
    }
    if (dy != 0) {
        position.y = moved(position.y, dy);
    }
    setProperty(CAM_PROP_EVF_ZOOM_POSITION, position);
}

void CameraController::actionPerformed(const ActionEvent& event)
{
    CameraModel* model = m_model.get();
    const std::string& command = event.command();
    void* argument = event.argument();

    if (const ValueAction* action = find(valueActions, command)) {
        setProperty(action->property, valueOf(event));
    } else if (const ParameterAction* action = find(shutterActions, command)) {
        postCommand(std::make_unique<PressShutterButtonCommand>(model, action->parameter));
    } else if (const ParameterAction* action = find(lensActions, command)) {
        postCommand(std::make_unique<DriveLensCommand>(model, action->parameter));
    } else if (command == "opensession") {
        postCommand(std::make_unique<OpenSessionCommand>(model));
    } else if (command == "TakePicture") {
        postCommand(std::make_unique<TakePictureCommand>(model));
    } else if (command == "TakePictureNonAF") {
        postCommand(std::make_unique<TakePictureNonAFCommand>(model));
    } else if (command == "set_Capacity") {
        if (argument) {
            postCommand(std::make_unique<SetCapacityCommand>(model, *static_cast<const CamCapacity*>(argument)));
        }
    } else if (command == "get_PropertyInfo") {
        if (argument) {
            const auto* words = static_cast<const uint32_t*>(argument);
            postCommand(std::make_unique<GetPropertyCommand>(model, words[0], static_cast<int32_t>(words[1])));
        }
    } else if (command == "get_Property") {
        if (const auto property = valueOf(event)) {
            postCommand(std::make_unique<GetPropertyCommand>(model, *property, 0));
        }
    } else if (command == "get_PropertyDesc") {
        if (const auto property = valueOf(event)) {
            postCommand(std::make_unique<GetPropertyDescCommand>(model, *property));
        }
    } else if (command == "download") {
        postCommand(std::make_unique<DownloadCommand>(model, static_cast<CamDirectoryItemRef>(argument),
                                                      downloadFolder()));
    } else if (command == "shutDown") {
        m_processor.enqueueFront(std::make_unique<NotifyCommand>(model, "shutDown"));
    } else if (command == "closing") {
        m_processor.setCloseCommand(std::make_unique<CloseSessionCommand>(model));
        m_processor.stop();
    } else if (command == "error") {
        if (const auto code = valueOf(event)) {
            postCommand(std::make_unique<NotifyCommand>(model, "error", *code));
        }
    } else if (command == "startEVF") {
        postCommand(std::make_unique<StartEvfCommand>(model));
    } else if (command == "endEVF") {
        postCommand(std::make_unique<EndEvfCommand>(model));
    } else if (command == "downloadEVF") {
        postCommand(std::make_unique<DownloadEvfCommand>(model));
    } else if (command == "evfFocusBox_Set") {
        if (argument) {
            setProperty(CAM_PROP_EVF_ZOOM_POSITION, *static_cast<const CamPoint*>(argument));
        }
    } else if (command == "evfFocusBox_Center") {
        const CamSize size = model->evfCoordinateSystem();
        if (size.width >= 1 && size.height >= 1) {
            setProperty(CAM_PROP_EVF_ZOOM_POSITION,
                        CamPoint{size.width / 2 - size.width / 10, size.height / 2 - size.height / 10});
        }
    } else if (command == "evfFocusBox_Up") {
        moveFocusBox(0, -focusBoxStep);
    } else if (command == "evfFocusBox_Down") {
        moveFocusBox(0, focusBoxStep);
    } else if (command == "evfFocusBox_Left") {
        moveFocusBox(-focusBoxStep, 0);
    } else if (command == "evfFocusBox_Right") {
        moveFocusBox(focusBoxStep, 0);
    } else if (command == "evfZoom_Full") {
        setProperty(CAM_PROP_EVF_ZOOM, 1);
    } else if (command == "evfZoom_Focus") {
        setProperty(CAM_PROP_EVF_ZOOM, 5);
    } else if (command == "evfAfOn") {
        postCommand(std::make_unique<DoEvfAfCommand>(model, CAM_EVF_AF_ON));
    } else if (command == "evfAfOff") {
        postCommand(std::make_unique<DoEvfAfCommand>(model, CAM_EVF_AF_OFF));
    }
}

} // namespace camera
