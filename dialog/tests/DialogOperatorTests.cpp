// The capture dialog as an operator meets it: added pictures are never dropped by Cancel
// without a question, the message line stays readable, the focus-box arrows move the box the
// way the operator sees it at every rotation, the pan-speed slider is fastest at the top, and
// the pan-tilt head is let go however the dialog ends.
#include "DialogTestSupport.h"

#include <controls/EvfPictureBox.h>
#include <controls/RegisteredMessages.h>
#include <hosting/MessageBoxPrompt.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>
#include <pthub/Simulator.h>

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <fstream>
#include <optional>

namespace dialog::test {
namespace {

// Where a point of the camera's live-view coordinates lands on screen at a rotation: a
// marker at that point, in a picture the size of the coordinate system, is turned by the
// same imaging control the picture box shows its frames with, and found again.
QPointF shownPosition(CamPoint point, CamSize coordinates, int rotation)
{
    QImage picture(coordinates.width / 8, coordinates.height / 8, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const QPoint marker(point.x / 8, point.y / 8);
    QPainter(&picture).fillRect(QRect(marker - QPoint(2, 2), QSize(5, 5)), Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    imaging::CImageCtrl control(nullptr, QRect(0, 0, 100, 100), 1);
    control.LoadMemory(bytes.constData(), 0, 0, 1, static_cast<int32_t>(bytes.size()));
    if (rotation != 0) {
        control.Rotate(static_cast<int16_t>(rotation));
    }
    const QImage turned = control.control().picture().convertToFormat(QImage::Format_RGB32);
    double sumX = 0;
    double sumY = 0;
    int count = 0;
    for (int y = 0; y < turned.height(); ++y) {
        for (int x = 0; x < turned.width(); ++x) {
            if (qGray(turned.pixel(x, y)) > 128) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    return count ? QPointF(sumX / count, sumY / count) : QPointF(-1, -1);
}

// Clicks a focus-box button and returns how the box moved on screen at the rotation.
std::optional<QPointF> shownMove(DialogFixture& fixture, int buttonId, int rotation)
{
    const CamPoint before = camsdk::sim::zoomPosition(0);
    // Held until the box has moved: the dialog moves it while the button is down.
    QTest::mousePress(fixture.item(buttonId), Qt::LeftButton);
    CamPoint after = before;
    const bool moved = QTest::qWaitFor(
        [&] {
            after = camsdk::sim::zoomPosition(0);
            return after.x != before.x || after.y != before.y;
        },
        20000);
    QTest::mouseRelease(fixture.item(buttonId), Qt::LeftButton);
    // The next move starts from where the model has the box: wait until it knows this one.
    const bool known = QTest::qWaitFor(
        [&] {
            const CamPoint modelled = fixture.model().evfZoomPosition();
            return modelled.x == after.x && modelled.y == after.y;
        },
        10000);
    if (!moved || !known) {
        return std::nullopt;
    }
    const CamSize coordinates = fixture.model().evfCoordinateSystem();
    return shownPosition(after, coordinates, rotation) - shownPosition(before, coordinates, rotation);
}

// Spoils every downloaded picture in a folder just before the dialog handles its arrival, as a
// camera that sends broken files would.
class DownloadSpoiler final : public QObject {
public:
    explicit DownloadSpoiler(std::filesystem::path folder) : m_folder(std::move(folder)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == controls::registeredMessage(controls::message::downloadComplete)) {
            for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
                if (entry.path().extension() == ".JPG") {
                    std::ofstream(entry.path(), std::ios::trunc) << "not a picture";
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::filesystem::path m_folder;
};

// Disconnects the simulated camera when the first download progress reaches the dialog.
class UnplugOnProgress final : public QObject {
public:
    bool unplugged = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!unplugged && event->type() == controls::registeredMessage(controls::message::progressReport)) {
            unplugged = true;
            camsdk::sim::disconnect(0);
        }
        return QObject::eventFilter(watched, event);
    }
};

size_t hubCallCount(const std::string& function)
{
    size_t count = 0;
    for (const auto& call : pthub::sim::journal()) {
        count += call.function == function ? 1 : 0;
    }
    return count;
}

// Takes a picture and adds it, live view started again afterwards when asked.
bool takeAndAdd(DialogFixture& fixture)
{
    if (!fixture.waitForLiveViewOnHost() || !fixture.takePictureAndWait()) {
        return false;
    }
    QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
    return !fixture.dialog().imageReady();
}

} // namespace

class DialogOperatorTest final : public QObject {
    Q_OBJECT

private slots:
    // Guards against Cancel, Escape or the close box throwing away added pictures without a
    // question; No stays in the dialog, Yes ends it; nothing is asked when nothing was added.
    void cancelAsksBeforeDiscardingAddedPictures()
    {
        {
            DialogFixture fixture;
            fixture.start();
            QVERIFY(takeAndAdd(fixture));
            QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
            QVERIFY(takeAndAdd(fixture));
            CCameraControlDlg& dialog = fixture.dialog();

            fixture.prompt.answers = {hosting::PromptAnswer::No};
            QTest::mouseClick(fixture.item(2), Qt::LeftButton);
            QVERIFY(dialog.isVisible());
            QCOMPARE(fixture.prompt.questions, std::vector<std::string>{"2 pictures have been added. Discard them?"});

            fixture.prompt.answers = {hosting::PromptAnswer::No};
            dialog.close();
            QTest::qWait(50);
            QVERIFY(dialog.isVisible());
            QCOMPARE(fixture.prompt.questions.size(), size_t{2});

            fixture.prompt.answers = {hosting::PromptAnswer::Yes};
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), kResultCancel);
            QCOMPARE(fixture.prompt.questions.size(), size_t{3});
            QCOMPARE(fixture.receiver.received.size(), size_t{2});
            QCOMPARE(fixture.finish(), size_t{0});
        }
        {
            // The host's limit on an unattended dialog ends it with Cancel's result without the
            // question, which nobody would answer.
            DialogFixture fixture;
            fixture.start();
            QVERIFY(takeAndAdd(fixture));
            fixture.dialog().done(kResultCancel);
            QVERIFY(!fixture.dialog().isVisible());
            QVERIFY(fixture.prompt.questions.empty());
            QCOMPARE(fixture.finish(), size_t{0});
        }
        {
            DialogFixture fixture;
            fixture.start();
            QTest::mouseClick(fixture.item(2), Qt::LeftButton);
            QVERIFY(fixture.prompt.questions.empty());
            QCOMPARE(fixture.dialog().result(), kResultCancel);
            QCOMPARE(fixture.finish(), size_t{0});
        }
    }

    // Guards against a picture that cannot be loaded counted as ready (and accepted by itself,
    // ending the acquisition with nothing), or its download deleted.
    void aPictureThatCannotBeLoadedIsNotReady()
    {
        DialogFixture fixture;
        fixture.multiMode = false;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.OSAutoAccept = true; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        DownloadSpoiler spoiler(fixture.folder);
        fixture.dialog().installEventFilter(&spoiler);
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        CCameraControlDlg& dialog = fixture.dialog();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.messageText().startsWith(QStringLiteral("Unable to load image.  IMAGING ERROR [")),
                                 20000);
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.imageReady());
        QVERIFY(fixture.receiver.received.empty());
        size_t kept = 0;
        for (const auto& entry : std::filesystem::directory_iterator(fixture.folder)) {
            kept += entry.path().extension() == ".JPG" ? 1 : 0;
        }
        QCOMPARE(kept, size_t{1});
        dialog.removeEventFilter(&spoiler);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a picture taken with the camera's own button during live view that can
    // be looked at but never accepted: live view ends and OK takes it, in single-image mode
    // without automatic acceptance too.
    void theCamerasOwnButtonGivesAPictureThatCanBeAccepted()
    {
        for (const bool multiMode : {false, true}) {
            DialogFixture fixture;
            fixture.multiMode = multiMode;
            fixture.start();
            QVERIFY(fixture.waitForLiveViewOnHost());
            CCameraControlDlg& dialog = fixture.dialog();
            camsdk::sim::pressPhysicalShutter(0);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.imageReady(), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.liveViewToHost(), 10000);
            QVERIFY(fixture.item(1057)->isVisible());
            QTRY_VERIFY(fixture.item(1)->isEnabled());
            if (multiMode) {
                QVERIFY(fixture.item(1061)->isEnabled());
                QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
            } else {
                QTest::mouseClick(fixture.item(1), Qt::LeftButton);
                QCOMPARE(dialog.result(), kResultOk);
            }
            QCOMPARE(fixture.receiver.received.size(), size_t{1});
            QCOMPARE(fixture.finish(), size_t{0});
        }
    }

    // Guards against a camera unplugged while its picture comes down leaving the dialog stuck,
    // a partial file behind, anything handed over that was not added, or handles alive: the
    // countdown runs and the dialog ends for a reconnect.
    void cameraUnpluggedDuringADownloadEndsForAReconnect()
    {
        DialogFixture fixture;
        fixture.start(
            [](camsdk::sim::SimConfig& config) {
                config.bodies.at(0).shotWidth = 6000;
                config.bodies.at(0).shotHeight = 4000;
                config.downloadChunkBytes = 1024;
            },
            [](control::CaptureSettings& settings) { settings.ED_DisconnectTimer = 1; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        CCameraControlDlg& dialog = fixture.dialog();
        // Unplugged as the first progress of the download reaches the dialog.
        UnplugOnProgress unplug;
        dialog.installEventFilter(&unplug);
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(unplug.unplugged, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 20000);
        QCOMPARE(dialog.result(), kResultReconnect);
        dialog.removeEventFilter(&unplug);
        QVERIFY(fixture.receiver.received.empty());
        for (const auto& entry : std::filesystem::directory_iterator(fixture.folder)) {
            QVERIFY2(entry.path().extension() != ".part", entry.path().filename().c_str());
        }
        QCOMPARE(fixture.finish(), size_t{0});
        QCOMPARE(camsdk::sim::invalidReleaseCount(), size_t{0});
    }

    // Guards against a new dialog after a reconnect that forgets the pictures added before:
    // the count shows, OK follows it, and Cancel asks about them.
    void countCarriedIntoANewDialogRulesOkAndCancel()
    {
        DialogFixture fixture;
        fixture.timings.liveViewAutoOffMs = 300;
        fixture.start();
        CCameraControlDlg& dialog = fixture.dialog();
        dialog.SetImageCount(1);
        QCOMPARE(static_cast<QLabel*>(fixture.item(1063))->text(), QStringLiteral("1"));
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(!fixture.item(1)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.liveViewToHost(), 10000);
        QTRY_VERIFY(fixture.item(1)->isEnabled());
        QTest::mouseClick(fixture.item(2), Qt::LeftButton);
        QCOMPARE(fixture.prompt.questions, std::vector<std::string>{"1 picture has been added. Discard it?"});
        QVERIFY(dialog.isVisible());
        fixture.screenshot(QStringLiteral("dialog-after-reconnect-with-count.png"));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // The Cancel question as the operator sees it, over the dialog (build output only).
    void screenshotOfTheCancelQuestion()
    {
        DialogFixture fixture;
        fixture.start();
        QVERIFY(takeAndAdd(fixture));
        QImage picture = fixture.dialog().grab().toImage();
        QMessageBox box;
        hosting::MessageBoxPrompt::prepare(box, QStringLiteral("Camera"), "1 picture has been added. Discard it?",
                                           hosting::PromptButtons::YesNo);
        box.adjustSize();
        const QImage boxPicture = box.grab().toImage();
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
        painter.drawImage((picture.width() - boxPicture.width()) / 2, (picture.height() - boxPicture.height()) / 2,
                          boxPicture);
        painter.end();
        const QByteArray folderName = qgetenv("VESK_SCREENSHOT_DIR");
        const QString target = (folderName.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(folderName)) +
                               "/dialog-cancel-question.png";
        QVERIFY(picture.save(target));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a message line left drawn in the background colour: a new error in the
    // middle of a blink, and a disconnect in the middle of one, both end readable.
    void messageLineIsReadableAfterEveryBlink()
    {
        DialogFixture fixture;
        fixture.timings.blinkMs = 40;
        fixture.timings.reconnectTickMs = 60000;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.ED_DisconnectTimer = 5; });
        CCameraControlDlg& dialog = fixture.dialog();
        const auto raiseError = [&dialog](uint32_t code) { dialog.update(nullptr, camera::ModelEvent{"error", &code}); };

        raiseError(CAM_ERR_DEVICE_BUSY);
        QTRY_VERIFY(dialog.messageColour() != 0);
        raiseError(CAM_ERR_DEVICE_MEMORY_FULL);
        QTRY_COMPARE(dialog.messageText(), QStringLiteral("[84] Camera Device - Memory Full"));
        QTRY_VERIFY(!dialog.isTimerActive(2));
        QCOMPARE(dialog.messageColour(), 0u);

        raiseError(CAM_ERR_DEVICE_BUSY);
        QTRY_VERIFY(dialog.messageColour() != 0);
        camsdk::sim::disconnect(0);
        QTRY_VERIFY(dialog.messageText().startsWith(QStringLiteral("Camera disconnected")));
        QCOMPARE(dialog.messageColour(), 0u);
        QVERIFY(!dialog.isTimerActive(2));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a frozen last frame taken for live view after the camera was lost: the
    // picture box is greyed and marked during the countdown.
    void lostCameraGreysTheLastFrame()
    {
        DialogFixture fixture;
        fixture.timings.reconnectTickMs = 60000;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.ED_DisconnectTimer = 5; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        auto* box = static_cast<controls::CEvfPictureBox*>(fixture.item(1024));
        QTRY_VERIFY_WITH_TIMEOUT(box->imagingChild() != nullptr, 10000);
        QTest::qWait(200);
        const auto meanSaturation = [box] {
            const QImage picture = box->grab().toImage();
            double sum = 0;
            for (int y = 0; y < picture.height(); y += 4) {
                for (int x = 0; x < picture.width(); x += 4) {
                    sum += QColor(picture.pixel(x, y)).hsvSaturation();
                }
            }
            return sum / ((picture.width() / 4 + 1) * (picture.height() / 4 + 1));
        };
        const double live = meanSaturation();
        QVERIFY(!box->isFrozen());
        camsdk::sim::disconnect(0);
        QTRY_VERIFY(fixture.dialog().messageText().startsWith(QStringLiteral("Camera disconnected")));
        QVERIFY(box->isVisible());
        QVERIFY(box->isFrozen());
        QVERIFY2(meanSaturation() < live / 2, qPrintable(QStringLiteral("%1 -> %2").arg(live).arg(meanSaturation())));
        fixture.screenshot(QStringLiteral("dialog-lost-camera-frozen-frame.png"));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against focus-box arrows that move the box against the arrow on screen when the
    // picture is turned: at every rotation, each arrow moves the box that way as shown.
    void focusBoxArrowsFollowTheShownFrameAtEveryRotation()
    {
        DialogFixture fixture;
        fixture.timings.focusBoxRepeatMs = 60000;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        CCameraControlDlg& dialog = fixture.dialog();
        auto* rotation = static_cast<QComboBox*>(fixture.item(1053));
        QTRY_VERIFY(fixture.item(1076)->isEnabled());
        // The box's moves are mapped through the frame's coordinate system: wait for a frame.
        QTRY_VERIFY_WITH_TIMEOUT(fixture.model().evfCoordinateSystem().width > 0, 20000);
        for (int index = 0; index < 4; ++index) {
            // As the operator chooses it from the list.
            rotation->setCurrentIndex(index);
            emit rotation->activated(index);
            const int degrees = index * 90;
            QCOMPARE(dialog.rotation(), degrees);
            // Each arrow and its opposite, so that the box ends each round where it began.
            struct Arrow {
                int id;
                const char* name;
                QPointF direction;
            };
            const Arrow arrows[] = {{1076, "Up", {0, -1}}, {1079, "Down", {0, 1}}, {1077, "Left", {-1, 0}},
                                    {1078, "Right", {1, 0}}};
            for (const Arrow& arrow : arrows) {
                const std::optional<QPointF> move = shownMove(fixture, arrow.id, degrees);
                QVERIFY2(move, qPrintable(QStringLiteral("%1 did not move the box at %2").arg(arrow.name).arg(degrees)));
                const double along = QPointF::dotProduct(*move, arrow.direction);
                const double across = std::abs(QPointF::dotProduct(*move, QPointF(arrow.direction.y(), arrow.direction.x())));
                QVERIFY2(along > 0 && along > across, qPrintable(QStringLiteral("%1 at %2 moved by %3,%4")
                                                                     .arg(arrow.name)
                                                                     .arg(degrees)
                                                                     .arg(move->x())
                                                                     .arg(move->y())));
            }
        }
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a held focus-box button that goes on moving the box after live view has
    // turned itself off (the button disabled under the operator's finger), and a held pan
    // button that keeps the head moving after the camera is lost.
    void heldButtonsStopWhenTheyAreDisabled()
    {
        pthub::sim::reset();
        DialogFixture fixture;
        fixture.timings.liveViewAutoOffMs = 60000;
        fixture.start({}, [](control::CaptureSettings& settings) {
            settings.CC_PanTabVisible = true;
            settings.ED_DisconnectTimer = 5;
        });
        fixture.timings.reconnectTickMs = 60000;
        CCameraControlDlg& dialog = fixture.dialog();
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1076)->isEnabled() && fixture.item(1085)->isEnabled());

        QTest::mousePress(fixture.item(1076), Qt::LeftButton);
        QVERIFY(dialog.isTimerActive(101));
        // Live view ends as the auto-off ends it: the focus-box buttons are disabled.
        dialog.fireAction("endEVF", nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.item(1076)->isEnabled(), 10000);
        QVERIFY(!dialog.isTimerActive(101));

        QTest::mouseClick(fixture.item(1000), Qt::LeftButton); // live view again
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1085)->isEnabled());
        pthub::sim::clearJournal();
        QTest::mousePress(fixture.item(1085), Qt::LeftButton);
        QCOMPARE(hubCallCount("PT_Move"), size_t{1});
        camsdk::sim::disconnect(0);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.item(1085)->isEnabled() || !fixture.item(1085)->isVisible(), 10000);
        std::vector<int32_t> moves;
        for (const auto& call : pthub::sim::journal()) {
            if (call.function == "PT_Move") {
                moves.push_back(call.argument);
            }
        }
        QVERIFY2(moves.size() >= 2 && moves.back() == 0, "the head was not stopped");
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a pan-speed slider whose top end is the slowest: at the top the head
    // moves at full speed.
    void panSpeedIsFastestAtTheTopOfTheSlider()
    {
        pthub::sim::reset();
        DialogFixture fixture;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.CC_PanTabVisible = true; });
        QVERIFY(fixture.dialog().pannerConnected());
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1085)->isVisible() && fixture.item(1085)->isEnabled());
        auto* slider = static_cast<QSlider*>(fixture.item(1091));
        // Drag the handle to the very top, as the operator would.
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        option.upsideDown = slider->invertedAppearance() != (slider->orientation() == Qt::Vertical);
        const int topValue = QStyle::sliderValueFromPosition(slider->minimum(), slider->maximum(), 0,
                                                             slider->height(), option.upsideDown);
        slider->setValue(topValue);
        pthub::sim::clearJournal();
        QTest::mousePress(fixture.item(1085), Qt::LeftButton);
        QTest::mouseRelease(fixture.item(1085), Qt::LeftButton);
        std::vector<int32_t> speeds;
        for (const auto& call : pthub::sim::journal()) {
            if (call.function == "PT_SetSpeed") {
                speeds.push_back(call.argument);
            }
        }
        QCOMPARE(speeds, std::vector<int32_t>{1023});
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a pan-tilt hub left open when the dialog ends for a reconnect, or is
    // destroyed without ending.
    void pannerIsClosedOnEveryEnding()
    {
        pthub::sim::reset();
        {
            DialogFixture fixture;
            fixture.start({}, [](control::CaptureSettings& settings) {
                settings.CC_PanTabVisible = true;
                settings.ED_DisconnectTimer = 1;
            });
            QVERIFY(fixture.dialog().pannerConnected());
            camsdk::sim::disconnect(0);
            QTRY_VERIFY_WITH_TIMEOUT(!fixture.dialog().isVisible(), 10000);
            QCOMPARE(fixture.dialog().result(), kResultReconnect);
            QCOMPARE(pthub::sim::openHandleCount(), size_t{0});
            QCOMPARE(fixture.finish(), size_t{0});
        }
        {
            auto dialog = std::make_unique<CCameraControlDlg>();
            dialog->settings().CC_PanTabVisible = true;
            dialog->show();
            QTRY_VERIFY(dialog->isInitialised());
            const bool connected = dialog->pannerConnected();
            dialog.reset();
            QVERIFY(!connected || pthub::sim::openHandleCount() == 0);
            QVERIFY(hubCallCount("PT_CloseDevice") >= (connected ? 1u : 0u));
        }
    }
};

} // namespace dialog::test

QTEST_MAIN(dialog::test::DialogOperatorTest)
#include "DialogOperatorTests.moc"
