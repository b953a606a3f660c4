// DoAcquire: one acquisition from the host's call to its result. Each cycle reads the
// configuration, starts the camera SDK, searches for the camera (a given body, by its Body ID,
// or any supported one) in up to five attempts, wires model, controller and event handlers,
// runs the capture dialog modally and tears everything down in a fixed order. A dialog ended
// for a reconnect, or an exception, starts the cycle again.
//
// Threading: UI thread (the host's calling thread, whose event loop runs the dialog).
#include "control/VeskCaptureCtrl.h"

#include "DownloadFolder.h"
#include "config/ControlConfig.h"
#include "config/LogFile.h"

#include <camera/CameraController.h>
#include <camera/CameraModel.h>
#include <camera/EventHandlers.h>
#include <dialog/CameraControlDlg.h>
#include <hosting/MessageBoxPrompt.h>
#include <hosting/WaitCursor.h>
#include <hosting/Prompt.h>

#include <QLabel>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <strings.h>
#include <thread>

namespace control {
namespace {

constexpr const char* kTag = "CTL DoAcquire";
constexpr int kAttempts = 5;
constexpr const char* kVerifyCamera = "Please verify the camera is connected and powered on.";

// The camera of the running cycle, reached by the dialog and the controls through the
// driver; at most one of each at a time, none outside a cycle.
std::shared_ptr<camera::CameraModel> g_cameraModel;
std::unique_ptr<camera::CameraController> g_cameraController;

std::atomic<int> g_injectedCycleFaults{0};

// Body IDs that the camera reports as negative numbers are matched in their unsigned form.
void convertNegativeBodyId(char (&bodyId)[CAM_MAX_NAME])
{
    if (bodyId[0] != '-') {
        return;
    }
    const auto value = static_cast<int32_t>(std::strtol(bodyId, nullptr, 10));
    std::snprintf(bodyId, sizeof bodyId, "%u", static_cast<uint32_t>(value));
}

template <typename... Arguments>
std::string format(const char* pattern, Arguments... arguments)
{
    char text[1024];
    std::snprintf(text, sizeof text, pattern, arguments...);
    return text;
}

} // namespace

void injectCycleFaults(int count)
{
    g_injectedCycleFaults = count;
}

bool CVeskCaptureCtrl::DoAcquire(automation::Variant& config, const std::string& parentGroupId, bool multiMode)
{
    hosting::WaitCursor waitCursor;
    int32_t returnCode = 0;
    bool retryAcquire = true;
    int exceptionCycles = 0;
    m_addedImages = 0;
    m_discarded = false;
    while (retryAcquire) {
        retryAcquire = false;
        try {
            if (RunCycle(config, parentGroupId, multiMode, retryAcquire, returnCode) == CycleEnd::ReturnNow) {
                m_downloadFolder.reset();
                return Succeeded(returnCode);
            }
            exceptionCycles = 0;
        } catch (...) {
            logFile().Write(kTag, "An unexpected exception occurred. The ActiveX component could be in an unknown state.", 1);
            // Released rather than dropped, so that terminating the SDK below leaves no handle.
            if (m_camera) {
                CamRelease(m_camera);
                m_camera = nullptr;
            }
            if (++exceptionCycles >= kExceptionCycleLimit) {
                // A fault that persists would hold the operator's host forever: give up.
                EndCycle(false, returnCode);
                SetStatusMsg("The camera system could not be started.", true);
                hosting::currentPrompt().show(
                    "The camera system failed repeatedly and has been stopped.\r\nPlease restart the acquisition.",
                    hosting::PromptButtons::Ok);
                return Succeeded(returnCode);
            }
            RecycleCountdown();
            retryAcquire = true;
        }
        EndCycle(retryAcquire, returnCode);
    }
    return Succeeded(returnCode);
}

bool CVeskCaptureCtrl::Succeeded(int32_t returnCode) const
{
    if (returnCode == 1) {
        return true;
    }
    // Pictures the host has already filed in an earlier cycle are the acquisition's result
    // when a later cycle ends without OK (the camera never came back, the search was
    // cancelled), unless the operator chose to discard them.
    if (m_addedImages > 0 && !m_discarded) {
        logFile().Write(kTag, format("Ending with the %d image(s) already added", static_cast<int>(m_addedImages)), 3);
        return true;
    }
    return false;
}

CVeskCaptureCtrl::CycleEnd CVeskCaptureCtrl::RunCycle(automation::Variant& config, const std::string& parentGroupId,
                                                      bool multiMode, bool& retryAcquire, int32_t& returnCode)
{
    auto dialog = std::make_unique<dialog::CCameraControlDlg>();
    SetStatusMsg("Processing configuration...", true);
    ControlSettings settings;
    if (ProcessConfig(settings, config, parentGroupId) != 0 || dialog->ProcessConfig(config, parentGroupId) != 0) {
        SetStatusMsg(nullptr, true);
        return CycleEnd::ReturnNow;
    }
    m_bodyId = settings.ED_BodyID;
    logFile().Write(kTag, "ProcessConfig completed", 3);

    // Pictures arrive in a folder of this cycle's own: never a file of the user's, nor of
    // another acquisition or process, is replaced, filed or deleted.
    std::string folderError;
    m_downloadFolder = DownloadFolder::create(dialog->settings().ImportTempPath, folderError);
    if (!m_downloadFolder) {
        logFile().Write(kTag, folderError, 1);
        SetStatusMsg(nullptr, true);
        hosting::currentPrompt().show(folderError, hosting::PromptButtons::Ok);
        return CycleEnd::ReturnNow;
    }

    SetStatusMsg("Initializing camera SDK...", true);
    if (const CamError error = CamInitializeSDK(); error != CAM_ERR_OK) {
        SetStatusMsg(format("Unable to initialize the camera SDK: %d", static_cast<int>(error)).c_str(), true);
        return CycleEnd::ReturnNow;
    }
    m_sdkInitialized = true;
    if (g_injectedCycleFaults > 0) {
        --g_injectedCycleFaults;
        throw std::runtime_error("injected cycle fault");
    }

    const CamError error = SearchCamera();
    if (error == CAM_ERR_OK) {
        g_cameraController = std::make_unique<camera::CameraController>(g_cameraModel);
        g_cameraController->setDownloadFolder(m_downloadFolder->path());
        dialog->SetCamera(g_cameraModel, g_cameraController.get());
        void* context = static_cast<camera::ActionListener*>(g_cameraController.get());
        if (CamSetPropertyEventHandler(m_camera, CAM_PROPERTY_EVENT_ALL, &camera::handlePropertyEvent, context) == CAM_ERR_OK &&
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, &camera::handleObjectEvent, context) == CAM_ERR_OK) {
            CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, &camera::handleStateEvent, context);
        }
        SetStatusMsg(nullptr, false);
        dialog->SetMultiMode(multiMode);
        dialog->SetViewName(m_imageView);
        dialog->SetOwnerWindow(this);
        dialog->SetImageCount(m_addedImages);
        int result = 0;
        {
            // The operator works in the dialog with the normal cursor.
            hosting::NormalCursor normalCursor;
            result = dialog->exec();
        }
        m_addedImages = dialog->imageCount();
        RemoveSavedImage(dialog->tempImagePath());
        if (result == dialog::kResultOk) {
            returnCode = 1;
        } else if (result == dialog::kResultReconnect) {
            retryAcquire = true;
            returnCode = 0;
        } else {
            // Cancel: with images added, the operator has chosen to discard them.
            m_discarded = true;
            returnCode = 0;
        }
    } else {
        if (m_sdkInitialized) {
            CamTerminateSDK();
            m_sdkInitialized = false;
        }
        SetStatusMsg("No compatible cameras detected.", true);
    }
    if (m_camera) {
        CamRelease(m_camera);
        m_camera = nullptr;
    }
    dialog.reset();
    return CycleEnd::Finished;
}

void CVeskCaptureCtrl::RemoveSavedImage(const std::string& path)
{
    // The host has copied every added image while the dialog ran; a regular file only, so
    // that nothing else under that name is ever removed.
    std::error_code error;
    if (!path.empty() && std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) {
        std::filesystem::remove(path, error);
    }
}

CamError CVeskCaptureCtrl::SearchCamera()
{
    // A camera that answers busy or not ready is there but occupied (still starting, or
    // finishing a write to its card): such an attempt waits before the next one instead of
    // using up all attempts at once, and is no "not found".
    const auto busyAnswer = [](CamError code) { return code == CAM_ERR_DEVICE_BUSY || code == CAM_ERR_OBJECT_NOTREADY; };
    CamError error = CAM_ERR_OK;
    bool keepSearching = true;
    bool found = false;
    for (int attempt = 1; keepSearching && !found && attempt <= kAttempts; ++attempt) {
        error = CAM_ERR_OK;
        CamError busyError = CAM_ERR_OK;
        const std::string searchText =
            m_bodyId.empty() ? format("Searching for compatible camera(s).\r\n[Attempt %d of 5]", attempt)
                             : format("Searching for camera: BodyID = %s.\r\n[Attempt %d of 5]", m_bodyId.c_str(), attempt);
        SetStatusMsg(searchText.c_str(), true);

        CamCameraListRef list = nullptr;
        int32_t count = 0;
        int selected = -1;
        CamDeviceInfo deviceInfo{};
        char bodyId[CAM_MAX_NAME] = {};
        error = CamGetCameraList(&list);
        if (error == CAM_ERR_OK) {
            error = CamGetChildCount(list, &count);
            if (count == 0) {
                error = CAM_ERR_DEVICE_NOT_FOUND;
            }
        }
        if (error == CAM_ERR_OK) {
            SetStatusMsg(format("%s\r\n%d camera(s) discovered.", searchText.c_str(), count).c_str(), true);
            for (int32_t index = 0; index < count && selected == -1; ++index) {
                CamCameraRef camera = nullptr;
                if (const CamError childError = CamGetChildAtIndex(list, index, &camera); childError != CAM_ERR_OK) {
                    error = childError;
                    continue;
                }
                deviceInfo = CamDeviceInfo{};
                error = CamGetDeviceInfo(camera, &deviceInfo);
                if (error == CAM_ERR_OK) {
                    error = CamOpenSession(camera);
                }
                if (error == CAM_ERR_OK) {
                    std::memset(bodyId, 0, sizeof bodyId);
                    CamDataType dataType = CAM_DATATYPE_UNKNOWN;
                    uint32_t size = 0;
                    error = CamGetPropertySize(camera, CAM_PROP_BODY_ID, 0, &dataType, &size);
                    if (error == CAM_ERR_OK) {
                        error = CamGetPropertyData(camera, CAM_PROP_BODY_ID, 0, std::min<uint32_t>(size, sizeof bodyId - 1),
                                                   bodyId);
                    }
                    convertNegativeBodyId(bodyId);
                    if (m_bodyId.empty() || strcasecmp(m_bodyId.c_str(), bodyId) == 0) {
                        selected = static_cast<int>(index);
                        m_camera = camera;
                    }
                    CamCloseSession(camera);
                }
                if (busyAnswer(error)) {
                    busyError = error;
                }
                if (selected == -1) {
                    CamRelease(camera);
                }
            }
            if (selected == -1) {
                error = busyError != CAM_ERR_OK ? busyError : CamError{CAM_ERR_DEVICE_NOT_FOUND};
            }
        }
        if (list) {
            CamRelease(list);
        }
        if (error == CAM_ERR_OK) {
            SetStatusMsg(format("Camera found: %s [%s]. Initializing, please wait...", deviceInfo.szDeviceDescription, bodyId).c_str(),
                         true);
            g_cameraModel = camera::createCameraModel(m_camera, deviceInfo);
            if (!g_cameraModel) {
                error = CAM_ERR_DEVICE_NOT_FOUND;
            } else {
                g_cameraModel->setPropertyString(CAM_PROP_PRODUCT_NAME, deviceInfo.szDeviceDescription);
                g_cameraModel->setPropertyString(CAM_PROP_BODY_ID, bodyId);
                logFile().Write(kTag, format("Camera selected: %s [%s].", deviceInfo.szDeviceDescription, bodyId), 3);
            }
        }
        if (error == CAM_ERR_DEVICE_NOT_FOUND) {
            if (m_camera) {
                CamRelease(m_camera);
                m_camera = nullptr;
            }
            if (attempt < kAttempts) {
                const std::string question =
                    m_bodyId.empty()
                        ? format("Unable to detect a supported camera.\r\n%s", kVerifyCamera)
                        : format("Unable to detect the requested camera [Body ID: %s].\r\n%s\r\n%s", m_bodyId.c_str(),
                                 kVerifyCamera, "You may also need to verify the Body ID configuration.");
                // The box leaves the status line readable: it tells which attempt failed.
                const hosting::ScopedUncoveredWidget uncovered(m_status);
                keepSearching = hosting::currentPrompt().show(question, hosting::PromptButtons::RetryCancel) ==
                                hosting::PromptAnswer::Retry;
            }
        } else if (error == CAM_ERR_OK) {
            found = true;
        } else {
            if (m_camera) {
                CamRelease(m_camera);
                m_camera = nullptr;
            }
            if (busyAnswer(error) && attempt < kAttempts) {
                std::this_thread::sleep_for(camera::Processor::retryPause);
            }
        }
    }
    return error;
}

void CVeskCaptureCtrl::EndCycle(bool retryAcquire, int32_t returnCode)
{
    if (m_sdkInitialized) {
        CamTerminateSDK();
        m_sdkInitialized = false;
    }
    g_cameraModel.reset();
    g_cameraController.reset();
    // Only now has the command thread ended: nothing writes into the folder any more.
    m_downloadFolder.reset();
    logFile().Write(kTag, format("RetryAcquire=%d ReturnCode=%d", retryAcquire ? 1 : 0, static_cast<int>(returnCode)), 3);
}

void CVeskCaptureCtrl::RecycleCountdown()
{
    for (int seconds = 5; seconds >= 1; --seconds) {
        SetStatusMsg(format("Recycling the camera system (SDK).  Retry in %d", seconds).c_str(), true);
        std::this_thread::sleep_for(m_recycleStep);
    }
}

} // namespace control
