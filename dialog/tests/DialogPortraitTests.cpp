// The capture dialog's portrait checks with the simulated camera's scene as the known truth:
// findings in the message line, the log and over the preview; the question before Add on a
// station that asks; a passing picture added without a question; outcomes that come after the
// dialog ended dropped; and a station without the checks meeting none of it.
#include "DialogTestSupport.h"
#include "PortraitCheckRunner.h"

#include <QTest>

#include <algorithm>

namespace dialog::test {
namespace {

// The simulated person with a face far too small for a portrait: its box measures about 19%
// of the picture's height.
void smallFace(camsdk::sim::SimConfig& config)
{
    config.scene.faceHeight = 0.2;
}

// The station's checks on, with the library's limits except the face height: the simulated
// camera's default face (chin to hairline 34% of the height) measures about 32%, so 25% lets
// it pass while the small face still fails.
DialogFixture::SettingsAdjust checksOn(bool askBeforeAdd, double minBytesPerPixel = 0.0)
{
    return [=](control::CaptureSettings& settings) {
        settings.portraitChecks.enabled = true;
        settings.portraitChecks.askBeforeAdd = askBeforeAdd;
        settings.portraitChecks.limits.faceHeightMin = 25.0;
        settings.portraitChecks.limits.minBytesPerPixel = minBytesPerPixel;
    };
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0;
}

} // namespace

class DialogPortraitTest final : public QObject {
    Q_OBJECT

private slots:
    // Guards against findings that never reach the operator or the log, a warning drawn as an
    // error, and a face box missing from the preview.
    void smallFaceIsShownAsWarningLoggedAndBoxed()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceFront";
        fixture.start(smallFace, checksOn(false));
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.portraitChecked(), 10000);
        QVERIFY2(dialog.messageText().startsWith(QStringLiteral("Portrait check: face too small (")),
                 qPrintable(dialog.messageText()));
        QCOMPARE(dialog.messageColour(), kWarningColour);
        const QStringList logged = fixture.logMessages(QStringLiteral("DLG PortraitCheck"));
        QCOMPARE(logged.size(), 1);
        QVERIFY2(logged.front().startsWith(QStringLiteral("failed: face too small (")), qPrintable(logged.front()));
        QVERIFY(logged.front().contains(QStringLiteral("passed: 1 face found")));
        // No error line for a finding: errors are for what went wrong with the camera or files.
        QVERIFY(!fixture.logMessages(QStringLiteral("DLG SetErrorMsg")).contains(dialog.messageText()));

        const portrait::PortraitReport report = dialog.portraitReport();
        QVERIFY(report.face.has_value());
        QVERIFY(std::abs(report.face->x + report.face->width / 2 - 1536 / 2) < 60);
        QVERIFY(dialog.portraitOverlayShown());
        fixture.screenshot(QStringLiteral("dialog-portrait-findings.png"));

        // Without the question the picture is added as ever. Live view takes the box away with
        // the picture; the next picture has none until its own findings are in.
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QVERIFY(fixture.prompt.questions.empty());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(!dialog.portraitOverlayShown());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !dialog.portraitChecked(); }, 10000));
        QVERIFY(!dialog.portraitOverlayShown());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.portraitChecked() && dialog.portraitOverlayShown(), 20000);
        QCOMPARE(fixture.logMessages(QStringLiteral("DLG PortraitCheck")).size(), 2);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against the question being skipped when Add comes before the checks are back, a
    // No that adds the picture anyway or loses it, and an OK that ends the dialog after No.
    void askBeforeAddKeepsAFailingPictureOnNoAndAddsItOnYes()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceGlasses";
        fixture.start(smallFace, checksOn(true));
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        // Add at once, before the findings are back: it waits for them and asks.
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QCOMPARE(fixture.prompt.questions.size(), size_t{1});
        const std::string question = fixture.prompt.questions.front();
        QVERIFY2(startsWith(question, "The picture does not meet: face too small ("), question.c_str());
        QCOMPARE(question, "The picture does not meet: " + dialog.portraitReport().failures() + ". Add it anyway?");
        QVERIFY(fixture.receiver.received.empty());
        QVERIFY(dialog.imageReady());
        QVERIFY(fixture.item(1061)->isEnabled());

        // OK: saving the ready picture is asked about, then the findings; No keeps it open.
        fixture.prompt.answers = {hosting::PromptAnswer::Yes, hosting::PromptAnswer::No};
        QTest::mouseClick(fixture.item(1), Qt::LeftButton);
        QCOMPARE(fixture.prompt.questions.size(), size_t{3});
        QCOMPARE(fixture.prompt.questions.back(), question);
        QVERIFY(dialog.isVisible() && !dialog.hasEnded());
        QVERIFY(fixture.receiver.received.empty());
        QVERIFY(dialog.imageReady());
        QVERIFY(fixture.logMessages(QStringLiteral("DLG PortraitCheck")).contains(QStringLiteral("not added: kept for another try")));

        fixture.prompt.answers = {hosting::PromptAnswer::Yes};
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QCOMPARE(fixture.prompt.questions.size(), size_t{4});
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QVERIFY(!dialog.imageReady());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against automatic acceptance adding a failing picture on a station that asks (and,
    // unattended, answers No): the dialog stays open with the picture ready.
    void automaticAcceptanceAsksFirstOnAStationThatAsks()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceFront";
        fixture.multiMode = false;
        fixture.start(smallFace, [](control::CaptureSettings& settings) {
            checksOn(true)(settings);
            settings.OSAutoAccept = true;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        QCOMPARE(fixture.prompt.questions.size(), size_t{1});
        QVERIFY(startsWith(fixture.prompt.questions.front(), "The picture does not meet: face too small ("));
        QVERIFY(fixture.dialog().isVisible() && !fixture.dialog().hasEnded());
        QVERIFY(fixture.receiver.received.empty());
        QVERIFY(fixture.dialog().imageReady());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a question for a picture that passes, a pass left unsaid, and a saved file
    // compressed past the station's limit going through unasked.
    void passingPictureIsAddedWithoutAQuestionUnlessItsFileIsTooCompressed()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceFront";
        fixture.start({}, checksOn(true));
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.portraitChecked(), 10000);
        QVERIFY2(dialog.portraitReport().passed(), dialog.portraitReport().failures().c_str());
        QCOMPARE(dialog.messageText(), QStringLiteral("Portrait check: passed"));
        QVERIFY(dialog.messageColour() != kWarningColour);
        QVERIFY(dialog.portraitOverlayShown());
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QVERIFY(fixture.prompt.questions.empty());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});

        // A JPEG at the default level holds well under 5 bytes a pixel.
        dialog.settings().portraitChecks.limits.minBytesPerPixel = 5.0;
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QCOMPARE(fixture.prompt.questions.size(), size_t{1});
        QVERIFY2(startsWith(fixture.prompt.questions.front(), "The picture does not meet: picture too compressed ("),
                 fixture.prompt.questions.front().c_str());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QVERIFY(dialog.imageReady());
        QVERIFY(dialog.messageText().startsWith(QStringLiteral("Portrait check: picture too compressed (")));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against outcomes that arrive after the dialog ended being shown or logged (or
    // touching a dialog on its way out), and against automatic acceptance waiting for checks
    // on a station that does not ask.
    void outcomesAfterTheEndAreDropped()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceFront";
        fixture.multiMode = false;
        fixture.start(smallFace, [](control::CaptureSettings& settings) {
            checksOn(false, 5.0)(settings);
            settings.OSAutoAccept = true;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(fixture.dialog().hasEnded(), 20000);
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        // Both checks (the picture's and its file's compression) were under way as it ended.
        QTest::qWait(1500);
        QVERIFY(fixture.logMessages(QStringLiteral("DLG PortraitCheck")).isEmpty());
        QVERIFY(!fixture.dialog().portraitChecked());
        QVERIFY(!fixture.dialog().messageText().contains(QStringLiteral("Portrait")));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a view without face checks (a side view) being held to face limits.
    void viewWithoutFaceChecksGetsOnlyThePictureChecks()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceSide";
        fixture.start(smallFace, checksOn(true));
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        QTRY_VERIFY_WITH_TIMEOUT(fixture.dialog().portraitChecked(), 10000);
        const portrait::PortraitReport report = fixture.dialog().portraitReport();
        QCOMPARE(report.findings.size(), size_t{1});
        QVERIFY(report.findings.front().check == portrait::Check::PictureSize);
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QVERIFY(fixture.prompt.questions.empty());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a station without the checks seeing any of them: no findings, no question,
    // no checker started, nothing new in the log.
    void checksOffChangeNothing()
    {
        DialogFixture fixture;
        fixture.viewName = "FaceFront";
        fixture.start(smallFace, [](control::CaptureSettings& settings) {
            settings.portraitChecks.askBeforeAdd = true;
            settings.portraitChecks.limits.minBytesPerPixel = 5.0;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        QVERIFY(!dialog.portraitChecksOn());
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QTest::qWait(500);
        QVERIFY(fixture.prompt.questions.empty());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QVERIFY(!dialog.portraitChecked() && !dialog.portraitOverlayShown());
        QCOMPARE(dialog.messageText(), QString());
        QVERIFY(fixture.logMessages(QStringLiteral("DLG PortraitCheck")).isEmpty());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a checker that cannot load being taken for a picture that passed, and a
    // runner that hangs or breaks its outcomes when it ends with checks still queued.
    void runnerReportsACheckerThatCannotLoadAndStopsWithChecksQueued()
    {
        QObject context;
        std::vector<PortraitOutcome> delivered;
        QImage picture(640, 800, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        {
            PortraitCheckRunner runner(&context, [&](const PortraitOutcome& outcome) { delivered.push_back(outcome); },
                                       "/nonexistent-cascades");
            const uint64_t serial = runner.submit(picture, {}, true);
            const auto outcome = runner.waitFor(serial, std::chrono::seconds(10));
            QVERIFY(outcome.has_value());
            QVERIFY(!outcome->ran);
            QVERIFY2(outcome->error.find("/nonexistent-cascades/") != std::string::npos, outcome->error.c_str());
            QVERIFY(outcome->report.findings.empty());
            QTRY_COMPARE(delivered.size(), size_t{1});
            QCOMPARE(delivered.front().serial, serial);
        }
        {
            PortraitCheckRunner runner(&context, [&](const PortraitOutcome& outcome) { delivered.push_back(outcome); });
            for (int index = 0; index < 20; ++index) {
                runner.submit(picture, {}, true);
            }
        }
        // What was checked before the end still arrives, whole.
        QCoreApplication::processEvents();
        for (size_t index = 1; index < delivered.size(); ++index) {
            QVERIFY(delivered[index].ran);
            QCOMPARE(delivered[index].report.findings.front().text, std::string("no face found"));
        }
    }
};

} // namespace dialog::test

QTEST_MAIN(dialog::test::DialogPortraitTest)
#include "DialogPortraitTests.moc"
