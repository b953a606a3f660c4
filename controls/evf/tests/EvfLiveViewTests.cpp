// The live-view picture box in the real frame loop: simulated camera -> live-view download ->
// "EvfDataChanged" -> box -> "downloadEVF" -> controller -> next download, with the SDK's
// property events turned into model reads by the real event handlers.
//
// Threading: UI thread; the controller's worker and the SDK's event thread run beside it.
#include "EvfTestSupport.h"

#include "controls/EvfPictureBox.h"

#include <camera/CameraController.h>
#include <camera/CameraModel.h>
#include <camera/EventHandlers.h>
#include <camsdk/Simulator.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <memory>

using namespace controls;
using namespace controls::test;

namespace {

int reads(CamPropertyID property)
{
    int count = 0;
    for (const camsdk::sim::Call& call : camsdk::sim::journal()) {
        count += call.function == "CamGetPropertyData" && call.property == property ? 1 : 0;
    }
    return count;
}

bool anyPointInFocus(const camera::CameraModel& model)
{
    const CamFocusInfo info = model.focusInfo();
    for (uint32_t i = 0; i < std::min<uint32_t>(info.pointNumber, CAM_MAX_FOCUS_POINTS); ++i) {
        if (info.focusPoint[i].valid == 1 && (info.focusPoint[i].justFocus & 1u) != 0) {
            return true;
        }
    }
    return false;
}

int pixelsOf(const QImage& image, QRgb color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class EvfLiveViewTests : public QObject {
    Q_OBJECT

private:
    // Waits until the worker, the SDK's event thread and the worker again have run what
    // each handed the other: one turn of start -> output report -> model read -> request
    // -> frame. The window thread handles nothing meanwhile, so no new request is made.
    bool settle()
    {
        for (int round = 0; round < 3; ++round) {
            if (!waitUntilRun(*m_controller) || !camsdk::sim::waitForEventsDelivered()) {
                return false;
            }
        }
        return waitUntilRun(*m_controller);
    }

    void registerHandlers(camera::ActionListener* listener)
    {
        CamSetPropertyEventHandler(m_camera->camera(), CAM_PROPERTY_EVENT_ALL,
                                   listener ? &camera::handlePropertyEvent : nullptr, listener);
        CamSetObjectEventHandler(m_camera->camera(), CAM_OBJECT_EVENT_ALL,
                                 listener ? &camera::handleObjectEvent : nullptr, listener);
        CamSetCameraStateEventHandler(m_camera->camera(), CAM_STATE_EVENT_ALL,
                                      listener ? &camera::handleStateEvent : nullptr, listener);
    }

    std::unique_ptr<SimulatedCamera> m_camera;
    std::shared_ptr<camera::CameraModel> m_model;
    std::unique_ptr<camera::CameraController> m_controller;
    CEvfPictureBox* m_box = nullptr;
    // Fires the dialog's own live-view actions.
    std::unique_ptr<camera::ActionSource> m_dialog;

private slots:
    void init()
    {
        m_camera = std::make_unique<SimulatedCamera>(QSize(1024, 680));
        QVERIFY(m_camera->started());
        m_model = camera::createCameraModel(m_camera->camera(), m_camera->deviceInfo());
        m_controller = std::make_unique<camera::CameraController>(m_model);
        registerHandlers(m_controller.get());
        m_box = new CEvfPictureBox;
        m_box->resize(768, 510);
        m_box->show();
        m_model->addObserver(m_box);
        m_box->addActionListener(m_controller.get());
        m_dialog = std::make_unique<camera::ActionSource>();
        m_dialog->addActionListener(m_controller.get());
        m_controller->run();
        QVERIFY(settle());
        camsdk::sim::clearJournal();
    }

    void cleanup()
    {
        registerHandlers(nullptr);
        camsdk::sim::waitForEventsDelivered();
        m_model->removeObserver(m_box);
        m_dialog->fireAction("closing", nullptr);
        QCoreApplication::removePostedEvents(m_box);
        delete m_box;
        m_box = nullptr;
        m_controller.reset();
        m_model.reset();
        m_camera.reset();
        QCOMPARE(camsdk::sim::liveHandleCount(), size_t{0});
        QCOMPARE(camsdk::sim::invalidReleaseCount(), size_t{0});
    }

    // Guards against a second loop started by a repeated report of output to the host, a
    // frame that asks for more than one next frame (or none), and a loop that outlives the
    // end of live view or cannot be started again.
    void frameLoopKeepsOneRequestInFlight()
    {
        QVERIFY(!m_box->isStarted());
        m_dialog->fireAction("startEVF", nullptr);
        QVERIFY(settle());
        QVERIFY(m_box->isStarted());
        QCOMPARE(liveViewDownloads(), 1);
        QCOMPARE(m_box->pendingFrames(), 1);

        const int outputReads = reads(CAM_PROP_EVF_OUTPUT_DEVICE);
        camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC);
        QVERIFY(settle());
        QCOMPARE(reads(CAM_PROP_EVF_OUTPUT_DEVICE), outputReads + 1);
        QCOMPARE(liveViewDownloads(), 1);
        QCOMPARE(m_box->pendingFrames(), 1);

        for (int frame = 2; frame <= 4; ++frame) {
            QCoreApplication::sendPostedEvents(m_box);
            QVERIFY(settle());
            QCOMPARE(liveViewDownloads(), frame);
            QCOMPARE(m_box->pendingFrames(), 1);
        }
        QCOMPARE(m_box->imagingChild()->control().picture().size(), QSize(1024, 680));
        QCOMPARE(m_box->coordinateSystem().width, 1536);
        QCOMPARE(m_box->coordinateSystem().height, 1024);

        // Left to the event loop, frames follow one another by themselves.
        const int running = liveViewDownloads();
        QTRY_VERIFY(liveViewDownloads() >= running + 5);

        m_dialog->fireAction("endEVF", nullptr);
        QTRY_VERIFY(!m_box->isStarted());
        QTRY_COMPARE(m_box->pendingFrames(), 0);
        QVERIFY(settle());
        QCoreApplication::sendPostedEvents(m_box);
        QVERIFY(settle());
        const int stopped = liveViewDownloads();
        QCoreApplication::sendPostedEvents(m_box);
        QVERIFY(settle());
        QCOMPARE(liveViewDownloads(), stopped);
        QCOMPARE(m_box->pendingFrames(), 0);

        m_dialog->fireAction("startEVF", nullptr);
        QVERIFY(settle());
        QVERIFY(m_box->isStarted());
        QCOMPARE(liveViewDownloads(), stopped + 1);
        QCOMPARE(m_box->pendingFrames(), 1);
    }

    // A picture of the live view with its zoom rectangle and the focus frames after the
    // camera focused, for a person to look at; it must show the scene with green (in focus)
    // and dark red (not selected) frames.
    void screenshotOfLiveViewWithFrames()
    {
        m_dialog->fireAction("startEVF", nullptr);
        QTRY_VERIFY(liveViewDownloads() >= 2);
        m_dialog->fireAction("evfAfOn", nullptr);
        QTRY_VERIFY(anyPointInFocus(*m_model));
        const int focused = liveViewDownloads();
        QTRY_VERIFY(liveViewDownloads() >= focused + 2);
        m_model->removeObserver(m_box);
        QCoreApplication::sendPostedEvents(m_box);

        const QImage shown = m_box->imagingChild()->control().picture().convertToFormat(QImage::Format_RGB32);
        QVERIFY(pixelsOf(shown, qRgb(0x00, 0xFF, 0x00)) > 0);
        QVERIFY(pixelsOf(shown, qRgb(0x80, 0x00, 0x00)) > 0);

        const QImage grabbed = m_box->grab().toImage();
        QCOMPARE(grabbed.size(), m_box->size());
        const QString folder = qEnvironmentVariable("VESK_SCREENSHOT_DIR", QDir::tempPath());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(grabbed.save(QDir(folder).filePath(QStringLiteral("evf-picture-box.png"))));
    }
};

QTEST_MAIN(EvfLiveViewTests)
#include "EvfLiveViewTests.moc"
