// The imaging widget as a widget: the dispatch contract, drawing coordinates, drawing and
// raster operations, memory loads, the image handle, progress events and painting.
#include "SamplePictures.h"
#include "imaging/ImageCtrl.h"
#include "imaging/ImagingWidget.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace imaging;
using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

namespace {

// A plain picture: one colour, so that drawn and inverted pixels are easy to tell.
QString writePlainJpeg(const QTemporaryDir& folder, const QString& name, QSize size, QColor colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = folder.filePath(name);
    return samples::writeFile(path, samples::jpegWithExif(picture, 100, 1)) ? path : QString();
}

bool near(QRgb pixel, QColor expected, int tolerance = 12)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance && std::abs(qGreen(pixel) - expected.green()) <= tolerance
           && std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

// An event sink that records the progress values it is sent.
class ProgressSink final : public automation::DispatchObject {
public:
    ProgressSink()
    {
        addMember("Progress", dispid::ProgressEvent, InvokeKind::Method, 1, [this](Arguments& arguments) {
            values.push_back(arguments[0].toInt16());
            return Variant();
        });
    }
    std::vector<int16_t> values;
};

} // namespace

class ImagingWidgetTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    // Guards against a DISPID of the contract missing from the widget or answering with the
    // wrong kind, and against bad calls being accepted instead of raising automation errors.
    void everyDispidOfTheContractAnswers()
    {
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1057);
        QCOMPARE(control.objectName(), QStringLiteral("item1057"));
        const std::pair<automation::DispId, Variant> settings[] = {
            {dispid::AutoRepaint, Variant(true)},       {dispid::ProgressEvents, Variant(true)},
            {dispid::FieldsFromFile, Variant(true)},    {dispid::DisplayFilter, Variant(int16_t{0})},
            {dispid::FitMode, Variant(int16_t{0})},     {dispid::DrawingEnabled, Variant(false)},
            {dispid::DrawRasterOp, Variant(int16_t{6})}, {dispid::DrawColor, Variant(int32_t{0x00FF00})},
            {dispid::DrawWidth, Variant(int16_t{2})},   {dispid::DrawFillStyle, Variant(int16_t{1})},
            {dispid::DrawStyle, Variant(int16_t{2})},   {dispid::BusyCursor, Variant(true)},
            {dispid::MousePointer, Variant(int16_t{2})}, {dispid::DefaultFileFormat, Variant(int16_t{98})},
            {dispid::KeepAspect, Variant(false)},       {dispid::BackColor, Variant(int32_t{0x0000FF})},
            {dispid::BorderStyle, Variant(int16_t{1})},
        };
        for (const auto& [id, value] : settings) {
            Arguments put{value};
            control.invoke(id, InvokeKind::PropertyPut, put);
            Arguments none;
            QCOMPARE(control.invoke(id, InvokeKind::PropertyGet, none).toInt32(), value.toInt32());
        }
        for (const automation::DispId id : {dispid::ImageHandle, dispid::ImageWidth, dispid::ImageHeight,
                                            dispid::ExifOrientation, dispid::DrawX, dispid::DrawY}) {
            Arguments none;
            QCOMPARE(control.invoke(id, InvokeKind::PropertyGet, none).toInt32(), 0);
        }
        const std::pair<automation::DispId, std::size_t> methods[] = {
            {dispid::LoadFile, 4},       {dispid::LoadMemory, 5},      {dispid::SaveFile, 5},
            {dispid::Rotate, 1},         {dispid::Resize, 3},          {dispid::Redisplay, 0},
            {dispid::GetCommentField, 3}, {dispid::DrawRectangle, 4},  {dispid::DrawLine, 4},
            {dispid::PixelToDrawing, 2},
        };
        for (const auto& [id, count] : methods) {
            Arguments tooMany(count + 1, Variant(int16_t{0}));
            try {
                control.invoke(id, InvokeKind::Method, tooMany);
                QFAIL("a wrong argument count was accepted");
            } catch (const automation::AutomationError& error) {
                QCOMPARE(error.code(), automation::DISP_E_BADPARAMCOUNT);
            }
        }
        Arguments field{Variant(int16_t{0}), Variant("x")};
        QVERIFY_THROWS_NO_EXCEPTION(control.invoke(dispid::CommentField, InvokeKind::PropertyPut, field));
        Arguments notAnAddress{Variant(int32_t{1234}), Variant(int16_t{0}), Variant(int32_t{0}), Variant(int32_t{1}),
                               Variant(int32_t{10})};
        QVERIFY_THROWS_EXCEPTION(automation::AutomationError,
                                 control.invoke(dispid::LoadMemory, InvokeKind::Method, notAnAddress));
        Arguments none;
        QVERIFY_THROWS_EXCEPTION(automation::AutomationError, control.invoke(9999, InvokeKind::Method, none));
    }

    // Guards against drawing coordinates that do not follow the fitted, centred picture
    // (with a border, after a turn) and against drawings that land elsewhere than mapped.
    void drawingCoordinatesFollowTheShownPicture()
    {
        const QString path = writePlainJpeg(m_folder, QStringLiteral("grey.jpg"), QSize(800, 400), QColor(128, 128, 128));
        CImageCtrl control(nullptr, QRect(0, 0, 400, 300), 201);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QCOMPARE(control.PixelToDrawing(0, 0), status::Ok);
        QCOMPARE(control.GetDrawX(), 0.0F);
        QCOMPARE(control.GetDrawY(), 50.0F);
        control.PixelToDrawing(800, 400);
        QCOMPARE(control.GetDrawX(), 400.0F);
        QCOMPARE(control.GetDrawY(), 250.0F);

        control.SetBorderStyle(1);
        control.PixelToDrawing(0, 0);
        QCOMPARE(control.GetDrawX(), 1.0F);
        control.SetBorderStyle(0);

        // Drawn where mapped: image pixel (200, 100) is drawing point (100, 100).
        control.SetDrawColor(0x0000FF);  // red, as 0x00BBGGRR
        control.PixelToDrawing(200, 100);
        QCOMPARE(control.DrawRectangle(control.GetDrawX(), control.GetDrawY(), 50, 25), status::Ok);
        control.PixelToDrawing(0, 300);
        QCOMPARE(control.DrawLine(control.GetDrawX(), control.GetDrawY(), control.GetDrawX() + 100, control.GetDrawY()),
                 status::Ok);
        QImage picture = control.control().picture();
        QVERIFY(near(picture.pixel(200, 100), Qt::red));
        QVERIFY(near(picture.pixel(300, 100), Qt::red));
        QVERIFY(near(picture.pixel(250, 150), Qt::red));
        QVERIFY(near(picture.pixel(250, 125), QColor(128, 128, 128)));
        QVERIFY(near(picture.pixel(100, 300), Qt::red));

        QCOMPARE(control.Rotate(90), status::Ok);
        control.PixelToDrawing(0, 0);
        QCOMPARE(control.GetDrawX(), 125.0F);
        QCOMPARE(control.GetDrawY(), 0.0F);
        picture = control.control().picture();
        QCOMPARE(picture.size(), QSize(400, 800));
        QVERIFY2(near(picture.pixel(100, 600), Qt::red), "drawings turn with the picture");

        control.SetDrawingEnabled(false);
        QCOMPARE(control.DrawLine(0, 0, 10, 10), status::DrawingDisabled);
        control.SetDrawingEnabled(true);
        QCOMPARE(control.DrawLine(0, 0, qInf(), 10), status::InvalidArgument);
    }

    // Guards against raster operation 6 painting the drawing colour instead of inverting what
    // is under the pen (the live view's zoom rectangle must stay visible on any picture).
    void invertRasterOperationInvertsUnderThePen()
    {
        const QString path = writePlainJpeg(m_folder, QStringLiteral("tone.jpg"), QSize(200, 100), QColor(200, 60, 30));
        CImageCtrl control(nullptr, QRect(0, 0, 200, 100), 201);
        QCOMPARE(control.LoadFile(path), status::Ok);
        const QRgb before = control.control().picture().pixel(50, 20);
        control.SetDrawColor(0xFFFFFF);
        control.SetDrawRasterOp(rasterop::Invert);
        QCOMPARE(control.DrawRectangle(20, 20, 100, 50), status::Ok);
        QImage picture = control.control().picture();
        const QRgb inverted = picture.pixel(50, 20);
        QCOMPARE(qRed(inverted), 255 - qRed(before));
        QCOMPARE(qGreen(inverted), 255 - qGreen(before));
        QCOMPARE(qBlue(inverted), 255 - qBlue(before));
        QCOMPARE(qAlpha(inverted), 255);
        QCOMPARE(picture.pixel(50, 40), before);

        QCOMPARE(control.DrawRectangle(20, 20, 100, 50), status::Ok);
        QCOMPARE(control.control().picture().pixel(50, 20), before);

        control.SetDrawRasterOp(rasterop::CopyPen);
        control.SetDrawColor(0x00FF00);
        QCOMPARE(control.DrawLine(0, 90, 199, 90), status::Ok);
        QVERIFY(near(control.control().picture().pixel(100, 90), Qt::green, 0));
    }

    // Guards against memory loads that keep pointing at the caller's buffer, and against a
    // live-view frame not decoding to its size.
    void loadsLiveViewFramesFromMemory()
    {
        std::vector<uint8_t> frame = samples::liveViewFrameFromSimulatedCamera();
        QVERIFY(!frame.empty());
        CImageCtrl control(nullptr, QRect(0, 0, 512, 340), 201);
        {
            auto copy = std::make_unique<std::vector<uint8_t>>(frame);
            QCOMPARE(control.LoadMemory(copy->data(), 0, 0, 1, static_cast<int32_t>(copy->size())), status::Ok);
        }
        QCOMPARE(control.GetImageWidth(), 1024.0F);
        QCOMPARE(control.GetImageHeight(), 680.0F);
        QCOMPARE(control.Rotate(90), status::Ok);
        QCOMPARE(control.control().picture().size(), QSize(680, 1024));

        QCOMPARE(control.LoadMemory(frame.data(), 0, 0, 1, 100), status::BadImageData);
        QCOMPARE(control.GetImageHandle(), 0);
        QCOMPARE(control.LoadMemory(nullptr, 0, 0, 1, 100), status::InvalidArgument);
        QCOMPARE(control.LoadMemory(frame.data(), 0, 0, 1, 0), status::InvalidArgument);
        QCOMPARE(control.LoadMemory(frame.data(), 0, 2, 1, static_cast<int32_t>(frame.size())), status::Unsupported);
    }

    // Guards against a handle that stays non-zero after the image is cleared, or a non-zero
    // write that clears or replaces the image.
    void imageHandlePutZeroClears()
    {
        const QString path = writePlainJpeg(m_folder, QStringLiteral("handle.jpg"), QSize(40, 30), Qt::white);
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1058);
        QCOMPARE(control.GetImageHandle(), 0);
        QCOMPARE(control.LoadFile(path), status::Ok);
        const int32_t first = control.GetImageHandle();
        QVERIFY(first != 0);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QVERIFY(control.GetImageHandle() != 0 && control.GetImageHandle() != first);
        control.SetImageHandle(first);
        QVERIFY(control.GetImageHandle() != 0);
        control.SetImageHandle(0);
        QCOMPARE(control.GetImageHandle(), 0);
        QCOMPARE(control.GetImageWidth(), 0.0F);
        QCOMPARE(control.GetExifOrientation(), int16_t{0});
        QCOMPARE(control.Rotate(90), status::NoImage);
    }

    // Guards against progress that never reaches the dialog's bar (signal and event sinks),
    // and against progress raised when it was not asked for.
    void progressIsRaisedWhileLoadingAndSaving()
    {
        const QString path = writePlainJpeg(m_folder, QStringLiteral("progress.jpg"), QSize(64, 48), Qt::gray);
        CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1057);
        QSignalSpy spy(&control, &CImageCtrl::progress);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QCOMPARE(spy.count(), 0);

        const auto sink = automation::makeRef<ProgressSink>();
        control.control().events().advise(automation::DispatchPtr(sink));
        control.SetProgressEvents(true);
        QCOMPARE(control.LoadFile(path), status::Ok);
        QVERIFY(spy.count() >= 2);
        QCOMPARE(spy.first().at(0).value<short>(), short{0});
        QCOMPARE(spy.last().at(0).value<short>(), short{100});
        spy.clear();
        QCOMPARE(control.SaveFile(m_folder.filePath(QStringLiteral("progress-out.jpg")), 23, 0, 20, 0), status::Ok);
        QVERIFY(spy.count() >= 2);
        QCOMPARE(spy.last().at(0).value<short>(), short{100});
        QVERIFY(sink->values.size() >= 4);
        QCOMPARE(sink->values.back(), int16_t{100});
    }

    // Guards against a dispatch reference that outlives its widget calling into freed memory.
    void dispatchOutlivingTheWidgetFailsCleanly()
    {
        auto control = std::make_unique<CImageCtrl>(nullptr, QRect(0, 0, 10, 10), 1);
        const automation::DispatchPtr dispatch = control->dispatch();
        control.reset();
        Arguments none;
        try {
            dispatch->invoke(dispid::ImageWidth, InvokeKind::PropertyGet, none);
            QFAIL("a call on a destroyed widget succeeded");
        } catch (const automation::AutomationError& error) {
            QCOMPARE(error.code(), automation::E_UNEXPECTED);
        }
    }

    // Guards against a picture painted unfitted, off-centre or without its back colour; saves
    // the screenshot of a camera picture with a rectangle and a line drawn.
    void paintsThePictureFittedOnItsBackColour()
    {
        QTemporaryDir shots;
        const QString shot = samples::shootWithSimulatedCamera(shots.path(), 1, 1536, 1024);
        QVERIFY(!shot.isEmpty());
        QWidget window;
        window.resize(480, 400);
        CImageCtrl control(&window, QRect(10, 10, 460, 380), 1057);
        control.SetBackColor(0x80000000u | 15u);  // the button-face system colour
        control.SetBorderStyle(1);
        QCOMPARE(control.LoadFile(shot), status::Ok);
        control.SetDrawColor(0x00FF00);
        control.SetDrawWidth(2);
        control.PixelToDrawing(400, 300);
        const float left = control.GetDrawX();
        const float top = control.GetDrawY();
        control.PixelToDrawing(1100, 700);
        QCOMPARE(control.DrawRectangle(left, top, control.GetDrawX() - left, control.GetDrawY() - top), status::Ok);
        control.SetDrawColor(0x0000FF);
        QCOMPARE(control.DrawLine(left, top, control.GetDrawX(), control.GetDrawY()), status::Ok);
        QCOMPARE(control.Redisplay(), status::Ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QImage grabbed = control.grab().toImage();
        QCOMPARE(grabbed.pixelColor(5, 20), window.palette().color(QPalette::Button));
        const QRgb centre = grabbed.pixel(230, 190);
        QVERIFY(grabbed.pixelColor(230, 190) != window.palette().color(QPalette::Button));
        QVERIFY(qAlpha(centre) == 255);
        // The 1536 x 1024 picture fits 458 x 378 as 458 x 305, centred: bands above and below.
        QCOMPARE(grabbed.pixelColor(230, 30), window.palette().color(QPalette::Button));
        QVERIFY(grabbed.pixelColor(230, 60) != window.palette().color(QPalette::Button));

        const QByteArray folder = qgetenv("VESK_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(window.grab().save(QString::fromLocal8Bit(folder) + QStringLiteral("/imaging-widget.png")));
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(ImagingWidgetTest)
#include "ImagingWidgetTest.moc"
