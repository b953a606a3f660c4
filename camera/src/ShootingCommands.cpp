// Shots and downloads of the new image file.
//
// Threading: worker thread only; `downloadProgress` runs on the thread of CamDownload.
#include "camera/ShootingCommands.h"

#include "CameraCalls.h"
#include "DownloadFiles.h"
#include "camera/CameraModel.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace camera {
namespace {

CamError shoot(CameraModel& model, uint32_t shutterState)
{
    CamError result = CAM_ERR_OK;
    {
        // The shot is made whether or not the lock succeeded.
        calls::LegacyUiLock uiLock(model);
        result = CamSendCommand(model.camera(), CAM_COMMAND_PRESS_SHUTTER_BUTTON, static_cast<int32_t>(shutterState));
        if (result == CAM_ERR_INVALID_PARAMETER) {
            // Bodies without the shutter-button command take the plain picture command.
            result = CamSendCommand(model.camera(), CAM_COMMAND_TAKE_PICTURE, 0);
        } else {
            CamSendCommand(model.camera(), CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF);
        }
    }
    return result;
}

} // namespace

bool TakePictureCommand::execute()
{
    calls::reportFailure(*m_model, shoot(*m_model, CAM_SHUTTER_BUTTON_COMPLETELY));
    return true;
}

bool TakePictureNonAFCommand::execute()
{
    calls::reportFailure(*m_model, shoot(*m_model, CAM_SHUTTER_BUTTON_COMPLETELY_NON_AF));
    return true;
}

bool PressShutterButtonCommand::execute()
{
    const CamError result = CamSendCommand(m_model->camera(), CAM_COMMAND_PRESS_SHUTTER_BUTTON, static_cast<int32_t>(m_state));
    calls::reportFailure(*m_model, result);
    return true;
}

DownloadCommand::~DownloadCommand()
{
    releaseItem();
}

void DownloadCommand::releaseItem()
{
    if (m_item) {
        CamRelease(m_item);
        m_item = nullptr;
    }
}

std::string DownloadCommand::localFileName(const std::string& cameraName)
{
    // Folder parts would place the file outside the download folder.
    const std::size_t separator = cameraName.find_last_of("/\\");
    std::string name = separator == std::string::npos ? cameraName : cameraName.substr(separator + 1);
    if (name == "." || name == "..") {
        name.clear();
    }
    return name;
}

bool DownloadCommand::execute()
{
    CameraModel& model = *m_model;
    CamDirectoryItemInfo info{};
    std::string fileName;
    std::string writtenPath;
    CamError result = CamGetDirectoryItemInfo(m_item, &info);
    if (result == CAM_ERR_OK) {
        fileName = localFileName(std::string(info.szFileName, strnlen(info.szFileName, sizeof info.szFileName)));
        if (fileName.empty()) {
            result = CAM_ERR_FILE_NAMING_NA;
        }
    }
    if (result == CAM_ERR_OK) {
        if (!m_announced) {
            model.notifyObservers("DownloadStart", fileName.data());
            m_announced = true;
        }
        result = downloadTo(fileName, info.size, writtenPath);
    }
    if (result == CAM_ERR_DEVICE_BUSY || result == CAM_ERR_OBJECT_NOTREADY) {
        // The picture is still on the camera: keep the item and fetch it again after the pause.
        calls::notifyBusy(model);
        return false;
    }
    if (m_item) {
        const CamError released = CamRelease(m_item);
        m_item = nullptr;
        if (result == CAM_ERR_OK) {
            result = released;
        }
    }
    if (result == CAM_ERR_OK) {
        model.notifyObservers("DownloadComplete", writtenPath.data());
    } else {
        calls::notifyError(model, result);
    }
    return true;
}

CamError DownloadCommand::downloadTo(const std::string& fileName, uint64_t size, std::string& writtenPath)
{
    CamStreamRef stream = nullptr;
    std::string temporaryPath;
    CamError result = CAM_ERR_FILE_ALREADY_EXISTS;
    // Created exclusively: an existing file or a planted link under that name is never used.
    for (int attempt = 0; attempt < 100 && result == CAM_ERR_FILE_ALREADY_EXISTS; ++attempt) {
        temporaryPath = downloads::pathIn(m_folder, downloads::temporaryName());
        result = CamCreateFileStream(temporaryPath.c_str(), CAM_FILE_CREATE_DISPOSITION_CREATE_NEW,
                                     CAM_ACCESS_READ_WRITE, &stream);
    }
    if (result != CAM_ERR_OK) {
        return result;
    }
    result = CamSetProgressCallback(stream, &DownloadCommand::downloadProgress, CAM_PROGRESS_OPTION_PERIODICALLY, this);
    if (result == CAM_ERR_OK) {
        result = CamDownload(m_item, size, stream);
    }
    if (result == CAM_ERR_OK) {
        // Only tells the camera; the file is complete whatever it answers, and turning the
        // answer into an error would make the operator lose the shot.
        CamDownloadComplete(m_item);
    }
    // Released before the file takes its name: that closes it with every byte written.
    const CamError released = CamRelease(stream);
    if (result == CAM_ERR_OK) {
        result = released;
    }
    if (result == CAM_ERR_OK) {
        result = downloads::publish(temporaryPath, m_folder, fileName, writtenPath);
    }
    if (result != CAM_ERR_OK) {
        std::remove(temporaryPath.c_str());
    }
    return result;
}

CamError DownloadCommand::downloadProgress(uint32_t percent, void* context, int32_t* /*cancel*/)
{
    auto* command = static_cast<DownloadCommand*>(context);
    if (command) {
        command->m_model->notifyObservers("ProgressReport", &percent);
    }
    return CAM_ERR_OK;
}

} // namespace camera
