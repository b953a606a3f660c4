// Live-view commands against the simulated camera: output-device bits, the depth-of-field
// preview, frames and the ownership of their streams.
#include "CameraTestSupport.h"

#include "camera/EvfCommands.h"
#include "camera/PropertyCommands.h"

#include <thread>

namespace camera::test {
namespace {

using EvfCommandTest = CameraTest;

std::vector<std::pair<uint32_t, int64_t>> propertyWrites()
{
    std::vector<std::pair<uint32_t, int64_t>> writes;
    for (const auto& call : camsdk::sim::journal()) {
        if (call.function == "CamSetPropertyData") {
            writes.emplace_back(call.property, call.argument);
        }
    }
    return writes;
}

using Writes = std::vector<std::pair<uint32_t, int64_t>>;

// Guards against starting live view dropping output bits already set, or rewriting a mode that is on.
TEST_F(EvfCommandTest, StartKeepsOtherOutputBitsAndSetsTheModeOnlyWhenOff)
{
    auto model = openModel();
    model->setPropertyUInt32(CAM_PROP_EVF_MODE, 1);
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 0x10);
    StartEvfCommand(model.get()).execute();
    EXPECT_EQ(propertyWrites(), (Writes{{CAM_PROP_EVF_OUTPUT_DEVICE, 0x13}}));

    camsdk::sim::clearJournal();
    model->setPropertyUInt32(CAM_PROP_EVF_MODE, 0);
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 0);
    EXPECT_TRUE(StartEvfCommand(model.get()).execute());
    EXPECT_EQ(propertyWrites(), (Writes{{CAM_PROP_EVF_MODE, 1}, {CAM_PROP_EVF_OUTPUT_DEVICE, 3}}));
}

// Guards against ending live view with the depth-of-field preview still on, or without its pause.
TEST_F(EvfCommandTest, EndSwitchesPreviewOffWaitsThenClearsTheOutput)
{
    auto model = openModel();
    camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, 3);
    model->setPropertyUInt32(CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(EndEvfCommand(model.get()).execute());
    EXPECT_GE(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_EQ(propertyWrites(), (Writes{{CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 0}, {CAM_PROP_EVF_OUTPUT_DEVICE, 0}}));
}

// Guards against a failed end of live view being dropped, or busy and failure being announced alike.
TEST_F(EvfCommandTest, EndIsRetriedAfterBusyAndFailureWithTheirOwnNotifications)
{
    auto model = openModel();
    camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, 3);
    camsdk::sim::injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1);
    EXPECT_FALSE(EndEvfCommand(model.get()).execute());
    camsdk::sim::injectFault("CamSetPropertyData", CAM_ERR_DEVICE_INTERNAL_ERROR, 1);
    EXPECT_FALSE(EndEvfCommand(model.get()).execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DeviceBusy", "error 85"}));
}

// Guards against live view left on when "endEVF" comes before the camera's change event: the
// model still says the host gets no live view, the camera already sends it.
TEST_F(EvfCommandTest, EndAsksTheCameraNotTheLaggingModel)
{
    auto model = openModel();
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 0);
    camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, 3);
    EXPECT_TRUE(EndEvfCommand(model.get()).execute());
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE), 0u);

    // And the other way round: nothing is written when the camera has already stopped.
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 3);
    camsdk::sim::clearJournal();
    EXPECT_TRUE(EndEvfCommand(model.get()).execute());
    EXPECT_TRUE(propertyWrites().empty());
}

// Guards against ending live view being retried forever on a camera that is gone or a session
// that is closed: waiting cannot clear those, so the failure is reported once.
TEST_F(EvfCommandTest, EndIsNotRetriedWhenWaitingCannotHelp)
{
    auto model = openModel();
    for (const CamError code : {CAM_ERR_COMM_DISCONNECTED, CAM_ERR_SESSION_NOT_OPEN, CAM_ERR_INVALID_HANDLE,
                                CAM_ERR_NOT_SUPPORTED, CAM_ERR_DEVICE_NOT_FOUND}) {
        SCOPED_TRACE(code);
        camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, 3);
        camsdk::sim::injectFault("CamSetPropertyData", code, 1, CAM_PROP_EVF_OUTPUT_DEVICE);
        m_observer.clear();
        EXPECT_TRUE(EndEvfCommand(model.get()).execute());
        ASSERT_EQ(m_observer.named("error").size(), 1u);
        EXPECT_EQ(m_observer.named("error")[0].value, code);
    }
}

// Guards against fetching frames after live view ended on the host.
TEST_F(EvfCommandTest, DownloadWithoutHostBitCallsNothing)
{
    auto model = openModel();
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_TFT);
    EXPECT_TRUE(DownloadEvfCommand(model.get()).execute());
    EXPECT_TRUE(camsdk::sim::journal().empty());
    EXPECT_TRUE(m_observer.all().empty());
}

class EvfFrameTest : public CameraTest {
protected:
    // Switches live view on to the host and fetches one frame.
    bool fetchFrame()
    {
        EXPECT_TRUE(StartEvfCommand(m_model.get()).execute());
        EXPECT_TRUE(GetPropertyCommand(m_model.get(), CAM_PROP_EVF_OUTPUT_DEVICE, 0).execute());
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (DownloadEvfCommand(m_model.get()).execute()) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
};

// Guards against frames reaching observers without their geometry or their JPEG bytes, and
// the model missing the geometry.
TEST_F(EvfFrameTest, FrameCarriesItsStreamAndGeometryToTheObserver)
{
    openModel();
    ASSERT_TRUE(fetchFrame());
    const auto frames = m_observer.named("EvfDataChanged");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_GT(frames[0].frameBytes, 1000u);
    // The simulated body: coordinates in shot pixels, a fifth-size zoom rectangle in the centre.
    const camsdk::sim::BodyConfig body = camsdk::sim::makeDefaultBody();
    const CamSize coordinates{body.shotWidth, body.shotHeight};
    const CamRect centred{{(coordinates.width - coordinates.width / 5) / 2, (coordinates.height - coordinates.height / 5) / 2},
                          {coordinates.width / 5, coordinates.height / 5}};
    ASSERT_EQ(camsdk::sim::zoomPosition().x, centred.point.x);
    ASSERT_EQ(camsdk::sim::zoomPosition().y, centred.point.y);
    const auto sameRect = [](const CamRect& left, const CamRect& right) {
        return left.point.x == right.point.x && left.point.y == right.point.y &&
               left.size.width == right.size.width && left.size.height == right.size.height;
    };
    EXPECT_EQ(frames[0].zoom, 1u);
    EXPECT_EQ(frames[0].coordinateSystem.width, coordinates.width);
    EXPECT_EQ(frames[0].coordinateSystem.height, coordinates.height);
    EXPECT_TRUE(sameRect(frames[0].zoomRect, centred));
    EXPECT_EQ(frames[0].imagePosition.x, 0);
    EXPECT_EQ(frames[0].imagePosition.y, 0);

    EXPECT_EQ(m_model->evfZoom(), 1u);
    EXPECT_EQ(m_model->evfCoordinateSystem().width, coordinates.width);
    EXPECT_EQ(m_model->evfCoordinateSystem().height, coordinates.height);
    EXPECT_TRUE(sameRect(m_model->evfZoomRect(), centred));
    EXPECT_EQ(m_model->evfZoomPosition().x, centred.point.x);
    EXPECT_EQ(m_model->evfZoomPosition().y, centred.point.y);
    EXPECT_EQ(m_model->focusInfo().imageRect.size.width, coordinates.width);
}

// Guards against a frame's stream leaking when no observer takes it (the fixture checks handles).
TEST_F(EvfFrameTest, StreamNobodyTakesIsReleased)
{
    openModel();
    m_model->removeObserver(&m_observer);
    RecordingObserver leaving(false);
    m_model->addObserver(&leaving);
    ASSERT_TRUE(fetchFrame());
    EXPECT_EQ(leaving.named("EvfDataChanged").size(), 1u);
    m_model->removeObserver(&leaving);
}

// Guards against a not-ready frame being reported, busy not being announced and retried, other
// failures being retried, and a failed frame leaking its stream (the fixture checks handles).
TEST_F(EvfFrameTest, FailedFramesAreRetriedOrReportedByTheirCode)
{
    openModel();
    m_model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 3);
    camsdk::sim::injectFault("CamDownloadEvfImage", CAM_ERR_OBJECT_NOTREADY, 1);
    EXPECT_FALSE(DownloadEvfCommand(m_model.get()).execute());
    EXPECT_TRUE(m_observer.all().empty());
    camsdk::sim::injectFault("CamDownloadEvfImage", CAM_ERR_DEVICE_BUSY, 1);
    EXPECT_FALSE(DownloadEvfCommand(m_model.get()).execute());
    camsdk::sim::injectFault("CamCreateEvfImageRef", CAM_ERR_DEVICE_INTERNAL_ERROR, 1);
    EXPECT_TRUE(DownloadEvfCommand(m_model.get()).execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DeviceBusy", "error 85"}));
}

} // namespace
} // namespace camera::test
