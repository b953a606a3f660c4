// The capture dialog's live view, focus box, disconnect countdown and pan-tilt head, with the
// simulated camera and the simulated pan-tilt hub, timer periods shortened.
#include "DialogTestSupport.h"

#include <pthub/Simulator.h>

#include <QSlider>
#include <QTest>

namespace dialog::test {
namespace {

const char* kCountdownPrefix = "Camera disconnected;Attempting to reconnect in ";

// The numbers the countdown showed, in order, from the log.
QStringList countdownNumbers(const DialogFixture& fixture)
{
    QStringList numbers;
    for (const QString& message : fixture.logMessages(QStringLiteral("DLG SetErrorMsg"))) {
        if (message.startsWith(QString::fromLatin1(kCountdownPrefix))) {
            numbers.append(message.mid(static_cast<int>(qstrlen(kCountdownPrefix))));
        }
    }
    return numbers;
}

size_t zoomPositionWrites()
{
    size_t writes = 0;
    for (const auto& call : camsdk::sim::journal()) {
        writes += call.function == "CamSetPropertyData" && call.property == CAM_PROP_EVF_ZOOM_POSITION ? 1 : 0;
    }
    return writes;
}

std::vector<pthub::sim::Call> hubCalls(const std::string& function)
{
    std::vector<pthub::sim::Call> calls;
    for (const auto& call : pthub::sim::journal()) {
        if (call.function == function) {
            calls.push_back(call);
        }
    }
    return calls;
}

void press(QWidget* button)
{
    QTest::mousePress(button, Qt::LeftButton);
}

void release(QWidget* button)
{
    QTest::mouseRelease(button, Qt::LeftButton);
}

} // namespace

class DialogLiveViewTest final : public QObject {
    Q_OBJECT

private slots:
    // Guards against a countdown that skips or repeats numbers, ends with the wrong result, or
    // is not restarted by a second disconnect; and against "closing" being fired twice.
    void disconnectCountsDownAndEndsForAReconnect()
    {
        DialogFixture fixture;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.ED_DisconnectTimer = 4; });
        CCameraControlDlg& dialog = fixture.dialog();
        camsdk::sim::disconnect(0);
        QTRY_VERIFY(dialog.reconnectCountdown() != 0);
        QVERIFY(!fixture.item(1000)->isVisible());
        // A second disconnect notification during the countdown (the command thread has ended,
        // so it comes as the model would deliver it) starts the countdown again.
        QTRY_VERIFY(countdownNumbers(fixture).size() >= 2);
        dialog.update(nullptr, camera::ModelEvent{"shutDown", nullptr});
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 10000);
        QCOMPARE(dialog.result(), kResultReconnect);
        const QStringList numbers = countdownNumbers(fixture);
        const QStringList once{"4", "3", "2", "1"};
        QVERIFY2(numbers.mid(numbers.size() - 4) == once, qPrintable(numbers.join(',')));
        QVERIFY2(numbers.size() > 4 && numbers.first() == "4", qPrintable(numbers.join(',')));
        const QStringList disconnects = fixture.logMessages(QStringLiteral("DLG OnCameraDisconnected"));
        QCOMPARE(disconnects.size(), 2);
        QCOMPARE(disconnects[0], QStringLiteral("fireEvent(closing)"));
        QCOMPARE(disconnects[1], QString());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a held focus-box button moving once only, or going on after its release.
    void heldFocusBoxButtonRepeatsUntilReleased()
    {
        DialogFixture fixture;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1076)->isEnabled());
        camsdk::sim::clearJournal();
        QTest::mousePress(fixture.item(1076), Qt::LeftButton);
        QTRY_VERIFY(zoomPositionWrites() >= 3);
        QTest::mouseRelease(fixture.item(1076), Qt::LeftButton);
        QVERIFY(!fixture.dialog().isTimerActive(101));
        QTest::qWait(100);
        const size_t afterRelease = zoomPositionWrites();
        QTest::qWait(100);
        QCOMPARE(zoomPositionWrites(), afterRelease);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against the auto-off leaving live view on, or its message naming the wrong button.
    void liveViewTurnsItselfOffWithItsMessage()
    {
        DialogFixture fixture;
        fixture.timings.liveViewAutoOffMs = 300;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.dialog().liveViewToHost(), 10000);
        QCOMPARE(fixture.dialog().messageText(),
                 QStringLiteral("Live View was turned off after 10 minutes to protect the camera sensor. You may resume "
                                "Live View when you are ready to take a picture via the Live View button."));
        QCOMPARE(camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE) & CAM_EVF_OUTPUT_DEVICE_PC, 0u);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against pan moves in the wrong direction for the head's rotation, a speed that
    // ignores the slider, a second move without stopping the first, and a hub left open.
    void pannerMovesAtTheSliderSpeedAndIsReleased()
    {
        pthub::sim::reset();
        DialogFixture fixture;
        fixture.start({}, [](control::CaptureSettings& settings) {
            settings.CC_PanTabVisible = true;
            settings.CC_PannerRotation = 90;
        });
        CCameraControlDlg& dialog = fixture.dialog();
        QVERIFY(dialog.pannerConnected());
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1085)->isVisible() && fixture.item(1085)->isEnabled());
        pthub::sim::clearJournal();

        static_cast<QSlider*>(fixture.item(1091))->setValue(25);
        QCOMPARE(dialog.messageText(), QStringLiteral("Pan speed: 75"));
        press(fixture.item(1085)); // Up at rotation 90: direction 4
        press(fixture.item(1086)); // Right while Up runs: Up stops first, then direction 1
        release(fixture.item(1086));
        const auto speeds = hubCalls("PT_SetSpeed");
        const auto moves = hubCalls("PT_Move");
        QCOMPARE(speeds.size(), size_t{2});
        QCOMPARE(speeds[0].argument, 767);
        QCOMPARE(moves.size(), size_t{4});
        QCOMPARE(moves[0].argument, 4);
        QCOMPARE(moves[1].argument, 0);
        QCOMPARE(moves[2].argument, 1);
        QCOMPARE(moves[3].argument, 0);

        QTest::mouseClick(fixture.item(2), Qt::LeftButton);
        QCOMPARE(pthub::sim::openHandleCount(), size_t{0});
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a missing panner going unreported, or a weak battery passing unnoticed.
    void pannerProblemsAreShownAndBlink()
    {
        pthub::sim::reset();
        pthub::sim::configure({});
        {
            DialogFixture fixture;
            fixture.start({}, [](control::CaptureSettings& settings) { settings.CC_PanTabVisible = true; }, false);
            QVERIFY(!fixture.dialog().pannerConnected());
            QCOMPARE(fixture.dialog().messageText(), QStringLiteral("No panner detected"));
            QVERIFY(fixture.dialog().isTimerActive(2));
            QTRY_COMPARE(fixture.dialog().messageText(), QString());
            QCOMPARE(fixture.finish(), size_t{0});
        }
        pthub::sim::configure({{{"PTH-0001", 999}}});
        {
            DialogFixture fixture;
            fixture.start({}, [](control::CaptureSettings& settings) { settings.CC_PanTabVisible = true; }, false);
            QVERIFY(fixture.dialog().pannerConnected());
            QCOMPARE(fixture.dialog().messageText(), QStringLiteral("Please make sure that the panner has power"));
            QCOMPARE(fixture.finish(), size_t{0});
        }
        pthub::sim::reset();
    }
};

} // namespace dialog::test

QTEST_MAIN(dialog::test::DialogLiveViewTest)
#include "DialogLiveViewTests.moc"
