// The live-view picture box with frames from the simulated camera and hand-made geometry:
// overlays read back from the shown frame's pixels, turning, the frame records' lifetime.
//
// Threading: UI thread; the test thread plays the camera's notifying thread.
#include "EvfTestSupport.h"

#include "controls/EvfPictureBox.h"

#include <camera/CameraModel.h>
#include <camsdk/Simulator.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <QCoreApplication>
#include <QTest>

#include <memory>

using namespace controls;
using namespace controls::test;

namespace {

// Frames are 256 x 170 pixels in a 1024 x 680 coordinate system: a quarter each way. The box
// has the frame's size, so drawing coordinates are the frame's pixels.
constexpr QSize frameSize(256, 170);
constexpr CamSize coordinateSystem{1024, 680};
constexpr CamRect zoomRect{{400, 240}, {200, 120}};
constexpr QRect zoomPixels(100, 60, 50, 30);

// Focus points in the focus information's 1024 x 680 image, and where they land.
constexpr CamRect greenRect{{80, 80}, {120, 80}};
constexpr QRect greenPixels(20, 20, 30, 20);
constexpr CamRect greyRect{{640, 80}, {120, 80}};
constexpr QRect greyPixels(160, 20, 30, 20);
constexpr CamRect darkRedRect{{80, 440}, {120, 80}};
constexpr QRect darkRedPixels(20, 110, 30, 20);
constexpr CamRect invalidRect{{640, 440}, {120, 80}};
constexpr QRect invalidPixels(160, 110, 30, 20);
constexpr CamRect notOneRect{{880, 440}, {80, 80}};
constexpr QRect notOnePixels(220, 110, 20, 20);
constexpr CamRect beyondCountRect{{880, 80}, {80, 80}};
constexpr QRect beyondCountPixels(220, 20, 20, 20);

const QRgb green = qRgb(0x00, 0xFF, 0x00);
const QRgb grey = qRgb(0x80, 0x80, 0x80);
const QRgb darkRed = qRgb(0x80, 0x00, 0x00);

QRgb inverted(QRgb color)
{
    return qRgb(255 - qRed(color), 255 - qGreen(color), 255 - qBlue(color));
}

// The middle of each side of an outline drawn at `rect` (right and bottom included).
std::vector<QPoint> sideMiddles(const QRect& rect)
{
    const int x1 = rect.x();
    const int y1 = rect.y();
    const int x2 = rect.x() + rect.width();
    const int y2 = rect.y() + rect.height();
    return {{(x1 + x2) / 2, y1}, {(x1 + x2) / 2, y2}, {x1, (y1 + y2) / 2}, {x2, (y1 + y2) / 2}};
}

QPoint centre(const QRect& rect)
{
    return {rect.x() + rect.width() / 2, rect.y() + rect.height() / 2};
}

// Where pixel `p` of a w x h picture lands when the picture is turned counter-clockwise.
QPoint turned(QPoint p, QSize size, int degrees)
{
    const int w = size.width();
    const int h = size.height();
    switch (degrees) {
    case 90:
        return {p.y(), w - 1 - p.x()};
    case 180:
        return {w - 1 - p.x(), h - 1 - p.y()};
    case 270:
        return {h - 1 - p.y(), p.x()};
    default:
        return p;
    }
}

} // namespace

class EvfOverlayTests : public QObject {
    Q_OBJECT

private:
    // Hands the box one real frame as the live-view download would, lets the box handle it
    // and returns the frame's JPEG bytes.
    QByteArray showFrame(uint32_t zoom = 1, CamSize frameCoordinates = coordinateSystem)
    {
        CameraFrame frame = downloadFrame(m_camera->camera());
        notifyFrame(frame.stream, zoom, frameCoordinates);
        QCoreApplication::sendPostedEvents(m_box);
        return frame.bytes;
    }

    // The notification alone; a stream the box did not take is released, as the command does.
    void notifyFrame(CamStreamRef stream, uint32_t zoom = 1, CamSize frameCoordinates = coordinateSystem)
    {
        camera::EvfFrameData record = frameRecord(stream, zoom, zoomRect, frameCoordinates);
        m_model->notifyObservers("EvfDataChanged", &record);
        if (record.stream) {
            CamRelease(record.stream);
        }
    }

    QImage shownPicture() const
    {
        return m_box->imagingChild()->control().picture().convertToFormat(QImage::Format_RGB32);
    }

    void setFocusPoints(std::initializer_list<CamFocusPoint> points, uint32_t count, CamSize imageSize = coordinateSystem)
    {
        auto info = std::make_unique<CamFocusInfo>();
        // The rectangle's origin plays no part in the scale.
        info->imageRect = CamRect{{50, 30}, imageSize};
        info->pointNumber = count;
        uint32_t index = 0;
        for (const CamFocusPoint& point : points) {
            info->focusPoint[index++] = point;
        }
        m_model->setFocusInfo(*info);
    }

    void setStandardFocusPoints(uint32_t count = 5, CamSize imageSize = coordinateSystem)
    {
        setFocusPoints({focusPoint(1, 1, 0x101, greenRect), focusPoint(1, 1, 2, greyRect), focusPoint(1, 0, 1, darkRedRect),
                        focusPoint(0, 1, 1, invalidRect), focusPoint(2, 1, 1, notOneRect),
                        focusPoint(1, 1, 1, beyondCountRect)},
                       count, imageSize);
    }

    void reportAutofocusMode(uint32_t mode)
    {
        m_model->setPropertyUInt32(CAM_PROP_EVF_AF_MODE, mode);
        uint32_t property = CAM_PROP_EVF_AF_MODE;
        m_model->notifyObservers("PropertyChanged", &property);
    }

    static void verifyOutline(const QImage& shown, const QRect& rect, QRgb color, const QImage& reference)
    {
        for (const QPoint& p : sideMiddles(rect)) {
            QCOMPARE(shown.pixel(p), color);
        }
        QCOMPARE(shown.pixel(centre(rect)), reference.pixel(centre(rect)));
    }

    static void verifyUntouched(const QImage& shown, const QRect& rect, const QImage& reference)
    {
        for (const QPoint& p : sideMiddles(rect)) {
            QCOMPARE(shown.pixel(p), reference.pixel(p));
        }
    }

    static void verifyZoomRectangleInverted(const QImage& shown, const QImage& reference)
    {
        for (const QPoint& p : sideMiddles(zoomPixels)) {
            QCOMPARE(shown.pixel(p), inverted(reference.pixel(p)));
        }
        QCOMPARE(shown.pixel(centre(zoomPixels)), reference.pixel(centre(zoomPixels)));
    }

    std::unique_ptr<SimulatedCamera> m_camera;
    std::shared_ptr<camera::CameraModel> m_model;
    CEvfPictureBox* m_box = nullptr;
    std::unique_ptr<ActionRecorder> m_recorder;

private slots:
    void init()
    {
        m_recorder = std::make_unique<ActionRecorder>();
        m_camera = std::make_unique<SimulatedCamera>(frameSize);
        QVERIFY(m_camera->started());
        QVERIFY(m_camera->openLiveView());
        m_model = camera::createCameraModel(m_camera->camera(), m_camera->deviceInfo());
        m_box = new CEvfPictureBox;
        m_box->resize(frameSize);
        m_box->show();
        m_model->addObserver(m_box);
        m_box->addActionListener(m_recorder.get());
    }

    void cleanup()
    {
        if (m_box) {
            m_model->removeObserver(m_box);
            QCoreApplication::removePostedEvents(m_box);
            delete m_box;
            m_box = nullptr;
        }
        m_model.reset();
        m_camera.reset();
        QCOMPARE(camsdk::sim::liveHandleCount(), size_t{0});
        QCOMPARE(camsdk::sim::invalidReleaseCount(), size_t{0});
    }

    // Guards against swapped colour bytes (0x000080 is dark red), a wrong state-to-colour
    // rule (bit 0 of just-focused, selected = 1), the focus image's origin taken into the
    // scale, points with valid != 1 or beyond the count drawn, and a zoom rectangle that is
    // drawn over the frame rather than inverting it.
    void overlaysAreDrawnIntoTheFrame()
    {
        setStandardFocusPoints();
        const QByteArray jpeg = showFrame();
        const QImage reference = referencePicture(jpeg);
        const QImage shown = shownPicture();
        QCOMPARE(shown.size(), frameSize);

        verifyZoomRectangleInverted(shown, reference);
        verifyOutline(shown, greenPixels, green, reference);
        verifyOutline(shown, greyPixels, grey, reference);
        verifyOutline(shown, darkRedPixels, darkRed, reference);
        verifyUntouched(shown, invalidPixels, reference);
        verifyUntouched(shown, notOnePixels, reference);
        verifyUntouched(shown, beyondCountPixels, reference);

        imaging::CImageCtrl* child = m_box->imagingChild();
        QCOMPARE(child->id(), CEvfPictureBox::imagingChildId);
        QCOMPARE(child->objectName(), QStringLiteral("item201"));
        QCOMPARE(child->geometry(), m_box->rect());
        const imaging::ImagingWidget::Settings& settings = child->control().settings();
        QCOMPARE(settings.drawRasterOp, imaging::rasterop::CopyPen);
        QCOMPARE(settings.mousePointer, int16_t{1});
        QVERIFY(!settings.autoRepaint);
        QCOMPARE(m_box->coordinateSystem().width, coordinateSystem.width);
        QCOMPARE(m_box->pendingFrames(), 0);
        // The handled frame asks for exactly one more, without an argument.
        QCOMPARE(m_recorder->commands(), std::vector<std::string>{CEvfPictureBox::downloadAction});
        QVERIFY(m_recorder->allWithoutArgument());
    }

    void framesShownWithoutOverlay_data()
    {
        QTest::addColumn<uint32_t>("zoom");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("overlaySwitch");
        QTest::newRow("zoomed in") << 5u << 1024 << 680 << true;
        QTest::newRow("no coordinate width") << 1u << 0 << 680 << true;
        QTest::newRow("no coordinate height") << 1u << 1024 << 0 << true;
        QTest::newRow("overlay switched off") << 1u << 1024 << 680 << false;
    }

    // Guards against overlays on a magnified frame (they would mark the wrong places), a
    // division by a zero coordinate size, and an overlay switch that is not obeyed.
    void framesShownWithoutOverlay()
    {
        QFETCH(uint32_t, zoom);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, overlaySwitch);
        setStandardFocusPoints();
        m_box->SetOverlayEnabled(overlaySwitch);
        const QByteArray jpeg = showFrame(zoom, CamSize{width, height});
        QCOMPARE(shownPicture(), referencePicture(jpeg));
        QCOMPARE(m_box->coordinateSystem().width, width);
        QCOMPARE(m_box->coordinateSystem().height, height);
    }

    void focusPointShape_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("cornersOnly");
        QTest::newRow("mode not reported yet") << -1 << false;
        QTest::newRow("mode 0") << 0 << false;
        QTest::newRow("mode 1") << 1 << false;
        QTest::newRow("face detection") << 2 << true;
        QTest::newRow("mode 3") << 3 << false;
    }

    // Guards against corner marks outside face detection, whole rectangles in it, and corner
    // marks of the wrong length (a quarter of each side).
    void focusPointShape()
    {
        QFETCH(int, mode);
        QFETCH(bool, cornersOnly);
        if (mode >= 0) {
            reportAutofocusMode(static_cast<uint32_t>(mode));
        }
        QCOMPARE(m_box->autofocusMode(), mode);
        setStandardFocusPoints();
        const QImage reference = referencePicture(showFrame());
        const QImage shown = shownPicture();

        // Corners and the first quarter of each side are drawn in both shapes; the sides'
        // middles only as rectangles. The green point is 30 x 20 pixels.
        const QRect r = greenPixels;
        const int x2 = r.x() + r.width();
        const int y2 = r.y() + r.height();
        for (const QPoint& p : {QPoint(r.x(), r.y()), QPoint(r.x() + 6, r.y()), QPoint(r.x(), r.y() + 4),
                                QPoint(x2, r.y()), QPoint(x2 - 6, r.y()), QPoint(x2, y2 - 4), QPoint(x2 - 6, y2),
                                QPoint(r.x(), y2), QPoint(r.x() + 6, y2), QPoint(r.x(), y2 - 4)}) {
            QCOMPARE(shown.pixel(p), green);
        }
        for (const QPoint& p : sideMiddles(r)) {
            QCOMPARE(shown.pixel(p), cornersOnly ? reference.pixel(p) : green);
        }
        verifyZoomRectangleInverted(shown, reference);
    }

    void focusPointsNotDrawn_data()
    {
        QTest::addColumn<uint32_t>("count");
        QTest::addColumn<int>("imageWidth");
        QTest::addColumn<int>("imageHeight");
        QTest::newRow("point count 0") << 0u << 1024 << 680;
        QTest::newRow("focus image width 0") << 5u << 0 << 680;
        QTest::newRow("focus image height 0") << 5u << 1024 << 0;
    }

    // Guards against drawing points that are not counted and dividing by a zero focus image
    // size; the zoom rectangle is drawn all the same.
    void focusPointsNotDrawn()
    {
        QFETCH(uint32_t, count);
        QFETCH(int, imageWidth);
        QFETCH(int, imageHeight);
        setStandardFocusPoints(count, CamSize{imageWidth, imageHeight});
        const QImage reference = referencePicture(showFrame());
        const QImage shown = shownPicture();
        verifyZoomRectangleInverted(shown, reference);
        for (const QRect& rect : {greenPixels, greyPixels, darkRedPixels}) {
            verifyUntouched(shown, rect, reference);
        }
    }

    // Guards against reading past the 600 points of the record when the camera reports more.
    void pointCountAbove600IsClamped()
    {
        auto info = std::make_unique<CamFocusInfo>();
        info->imageRect.size = coordinateSystem;
        info->pointNumber = 0xFFFFFFFFu;
        info->focusPoint[CAM_MAX_FOCUS_POINTS - 1] = focusPoint(1, 1, 1, greenRect);
        m_model->setFocusInfo(*info);
        const QImage reference = referencePicture(showFrame());
        verifyOutline(shownPicture(), greenPixels, green, reference);
    }

    // Guards against the focus information reported between a frame and its display being
    // ignored: the frame is drawn with the newest points.
    void focusInfoReportedAfterTheFrameIsDrawn()
    {
        setFocusPoints({focusPoint(1, 0, 0, darkRedRect)}, 1);
        CameraFrame frame = downloadFrame(m_camera->camera());
        notifyFrame(frame.stream);
        setFocusPoints({focusPoint(1, 1, 1, greenRect)}, 1);
        uint32_t property = CAM_PROP_FOCUS_INFO;
        m_model->notifyObservers("PropertyChanged", &property);
        QCoreApplication::sendPostedEvents(m_box);

        const QImage reference = referencePicture(frame.bytes);
        const QImage shown = shownPicture();
        verifyOutline(shown, greenPixels, green, reference);
        verifyUntouched(shown, darkRedPixels, reference);
    }

    void rotationTurnsFrameAndOverlays_data()
    {
        QTest::addColumn<int>("degrees");
        QTest::newRow("0") << 0;
        QTest::newRow("90") << 90;
        QTest::newRow("180") << 180;
        QTest::newRow("270") << 270;
    }

    // Guards against overlays drawn after the turn (they would land on the wrong places) and
    // a rotation that is not applied to every frame.
    void rotationTurnsFrameAndOverlays()
    {
        QFETCH(int, degrees);
        setStandardFocusPoints();
        m_box->SetRotation(degrees);
        for (int frame = 0; frame < 2; ++frame) {
            const QImage reference = referencePicture(showFrame());
            const QImage shown = shownPicture();
            QCOMPARE(shown.size(), degrees % 180 == 0 ? frameSize : frameSize.transposed());
            for (const QPoint& p : sideMiddles(greenPixels)) {
                QCOMPARE(shown.pixel(turned(p, frameSize, degrees)), green);
            }
            for (const QPoint& p : sideMiddles(darkRedPixels)) {
                QCOMPARE(shown.pixel(turned(p, frameSize, degrees)), darkRed);
            }
            for (const QPoint& p : sideMiddles(zoomPixels)) {
                QCOMPARE(shown.pixel(turned(p, frameSize, degrees)), inverted(reference.pixel(p)));
            }
        }
    }

    // Guards against a frame without data being kept or ending the loop: its stream is
    // released, nothing is shown and the next frame is asked for.
    void frameWithoutDataAsksForTheNext()
    {
        CamStreamRef empty = nullptr;
        QCOMPARE(CamCreateMemoryStream(0, &empty), CAM_ERR_OK);
        const size_t handles = camsdk::sim::liveHandleCount();
        notifyFrame(empty);
        QCOMPARE(camsdk::sim::liveHandleCount(), handles);
        QCOMPARE(m_box->pendingFrames(), 1);
        QCoreApplication::sendPostedEvents(m_box);
        QCOMPARE(camsdk::sim::liveHandleCount(), handles - 1);
        QCOMPARE(m_box->pendingFrames(), 0);
        QCOMPARE(m_box->imagingChild(), nullptr);
        QCOMPARE(m_recorder->commands(), std::vector<std::string>{CEvfPictureBox::downloadAction});
    }

    // Guards against leaking the frames still posted when the box goes away (only the last
    // one freed): every stream is released once.
    void everyPendingFrameReleasedAtDestruction()
    {
        const size_t before = camsdk::sim::liveHandleCount();
        for (int i = 0; i < 3; ++i) {
            notifyFrame(downloadFrame(m_camera->camera()).stream);
        }
        QCOMPARE(m_box->pendingFrames(), 3);
        QCOMPARE(camsdk::sim::liveHandleCount(), before + 3);

        m_model->removeObserver(m_box);
        delete m_box;
        m_box = nullptr;
        QCOMPARE(camsdk::sim::liveHandleCount(), before);
        QCOMPARE(camsdk::sim::invalidReleaseCount(), size_t{0});
        QVERIFY(m_recorder->commands().empty());
    }
};

QTEST_MAIN(EvfOverlayTests)
#include "EvfOverlayTests.moc"
