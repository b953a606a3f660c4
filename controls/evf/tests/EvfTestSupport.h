// Shared pieces of the live-view picture box tests: the simulated camera with its SDK, real
// live-view frames fetched from it, a listener that records the actions it hears, and a way
// to wait until the camera controller has run everything queued so far.
//
// Threading: the simulated camera and frames on the test thread; ActionRecorder is called from
// any thread; waitUntilRun blocks the test thread on the controller's worker.
#pragma once

#include <camera/ActionEvents.h>
#include <camera/CameraController.h>
#include <camera/EvfCommands.h>
#include <camsdk/CamSdk.h>

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <mutex>
#include <string>
#include <vector>

namespace controls::test {

// A fresh simulated world with one body whose live view has the given size; the SDK runs
// until destruction, which releases the camera and terminates it.
class SimulatedCamera {
public:
    explicit SimulatedCamera(QSize liveViewSize);
    ~SimulatedCamera();
    SimulatedCamera(const SimulatedCamera&) = delete;
    SimulatedCamera& operator=(const SimulatedCamera&) = delete;

    bool started() const { return m_camera != nullptr; }
    CamCameraRef camera() const { return m_camera; }
    const CamDeviceInfo& deviceInfo() const { return m_deviceInfo; }

    // Opens a session and sends live view to the host, for frames fetched directly.
    bool openLiveView();

private:
    CamCameraRef m_camera = nullptr;
    CamDeviceInfo m_deviceInfo{};
    bool m_sessionOpen = false;
};

// One frame as the camera delivered it: a new memory stream that the receiver releases, and
// a copy of its JPEG bytes for reference pictures.
struct CameraFrame {
    CamStreamRef stream = nullptr;
    QByteArray bytes;
};
CameraFrame downloadFrame(CamCameraRef camera);

// A frame record as the live-view download fills it.
camera::EvfFrameData frameRecord(CamStreamRef stream, uint32_t zoom, CamRect zoomRect, CamSize coordinateSystem);

// The JPEG decoded by the imaging widget itself, as RGB32, for pixel comparisons.
QImage referencePicture(const QByteArray& jpeg);

// A live-view focus point at a rectangle of the focus information's image.
CamFocusPoint focusPoint(uint32_t valid, uint32_t selected, uint32_t justFocus, CamRect rect);

class ActionRecorder final : public camera::ActionListener {
public:
    void actionPerformed(const camera::ActionEvent& event) override;
    std::vector<std::string> commands() const;
    // True when every action heard so far came without an argument.
    bool allWithoutArgument() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    bool m_allWithoutArgument = true;
};

// Queues a marker behind everything queued so far and waits until it ran.
bool waitUntilRun(camera::CameraController& controller);

// Number of live-view downloads the camera has been asked for since the journal was cleared.
int liveViewDownloads();

} // namespace controls::test
