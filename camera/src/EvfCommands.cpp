// Live-view output, frames, lens drive and live-view autofocus.
//
// Threading: worker thread only.
#include "camera/EvfCommands.h"

#include "CameraCalls.h"
#include "camera/CameraModel.h"

#include <memory>

namespace camera {
namespace {

void readFrameGeometry(CamEvfImageRef image, EvfFrameData& frame)
{
    CamGetPropertyData(image, CAM_PROP_EVF_ZOOM, 0, sizeof frame.zoom, &frame.zoom);
    CamGetPropertyData(image, CAM_PROP_EVF_ZOOM_RECT, 0, sizeof frame.zoomRect, &frame.zoomRect);
    CamGetPropertyData(image, CAM_PROP_EVF_COORDINATE_SYSTEM, 0, sizeof frame.coordinateSystem,
                       &frame.coordinateSystem);
    CamGetPropertyData(image, CAM_PROP_EVF_IMAGE_POSITION, 0, sizeof frame.imagePosition,
                       &frame.imagePosition);
}

void readFocusInfo(CameraModel& model)
{
    CamDataType dataType = CAM_DATATYPE_UNKNOWN;
    uint32_t size = 0;
    if (CamGetPropertySize(model.camera(), CAM_PROP_FOCUS_INFO, 0, &dataType, &size) == CAM_ERR_OK) {
        // A failed read stores an all-zero record.
        auto focusInfo = std::make_unique<CamFocusInfo>();
        CamGetPropertyData(model.camera(), CAM_PROP_FOCUS_INFO, 0, sizeof(CamFocusInfo), focusInfo.get());
        model.setFocusInfo(*focusInfo);
    }
}

} // namespace

bool StartEvfCommand::execute()
{
    CameraModel& model = *m_model;
    CamError error = CAM_ERR_OK;
    if (model.evfMode() == 0) {
        error = calls::setProperty(model, CAM_PROP_EVF_MODE, 1);
    }
    if (error == CAM_ERR_OK) {
        error = calls::setProperty(model, CAM_PROP_EVF_OUTPUT_DEVICE,
                                   model.evfOutputDevice() | CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC);
    }
    return calls::finishedUnlessBusy(model, error);
}

bool EndEvfCommand::execute()
{
    CameraModel& model = *m_model;
    if (!(calls::currentOutputDevice(model) & CAM_EVF_OUTPUT_DEVICE_PC)) {
        return true;
    }
    const CamError error = calls::switchLiveViewOutputOff(model);
    // Ending live view is retried after any failure that waiting may clear.
    calls::reportFailure(model, error);
    return error == CAM_ERR_OK || !calls::mayClearByWaiting(error);
}

bool DownloadEvfCommand::execute()
{
    CameraModel& model = *m_model;
    if (!(model.evfOutputDevice() & CAM_EVF_OUTPUT_DEVICE_PC)) {
        return true;
    }
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    CamError error = CamCreateMemoryStream(0, &stream);
    if (error == CAM_ERR_OK) {
        error = CamCreateEvfImageRef(stream, &image);
    }
    if (error == CAM_ERR_OK) {
        error = CamDownloadEvfImage(model.camera(), image);
    }
    if (error == CAM_ERR_OK) {
        auto frame = std::make_unique<EvfFrameData>();
        frame->stream = stream;
        stream = nullptr;
        readFrameGeometry(image, *frame);
        readFocusInfo(model);
        model.setEvfCoordinateSystem(frame->coordinateSystem);
        model.setEvfZoom(frame->zoom);
        model.setEvfZoomPosition(frame->zoomRect.point);
        model.setEvfZoomRect(frame->zoomRect);
        model.notifyObservers("EvfDataChanged", frame.get());
        // A stream that no observer took is released below rather than lost.
        stream = frame->takeStream();
    }
    if (image) {
        CamRelease(image);
    }
    if (stream) {
        CamRelease(stream);
    }
    if (error == CAM_ERR_OBJECT_NOTREADY) {
        return false;
    }
    return calls::finishedUnlessBusy(model, error);
}

bool DriveLensCommand::execute()
{
    calls::reportFailure(*m_model, CamSendCommand(m_model->camera(), CAM_COMMAND_DRIVE_LENS_EVF, static_cast<int32_t>(m_step)));
    return true;
}

bool DoEvfAfCommand::execute()
{
    calls::reportFailure(*m_model, CamSendCommand(m_model->camera(), CAM_COMMAND_DO_EVF_AF, static_cast<int32_t>(m_on)));
    return true;
}

} // namespace camera
