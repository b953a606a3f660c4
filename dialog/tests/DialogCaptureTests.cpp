// The capture dialog's picture workflow end to end with the simulated camera: take, download,
// turn, scale, save and hand over; OK with its prompts, automatic acceptance, a failed save,
// capture errors, and closing while a download is in flight.
#include "DialogTestSupport.h"

#include <imaging/ImageCtrl.h>
#include <profile/Profile.h>

#include <QLabel>
#include <QTest>

namespace dialog::test {
namespace {

namespace fs = std::filesystem;

// A portrait body (orientation 6) whose pictures must be turned upright.
void portraitCamera(camsdk::sim::SimConfig& config)
{
    config.bodies.at(0).exifOrientation = 6;
    config.bodies.at(0).shotWidth = 1536;
    config.bodies.at(0).shotHeight = 1024;
}

// The pictures the simulated camera has downloaded into the current folder and not removed.
std::vector<fs::path> downloadedFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".JPG") {
            files.push_back(entry.path());
        }
    }
    return files;
}

} // namespace

class DialogCaptureTest final : public QObject {
    Q_OBJECT

private slots:
    // Guards against a picture that is not turned by its orientation and the configured
    // rotation, scaled wrongly, left on disk after loading, or handed over under a wrong name.
    void takeProcessAddProducesTheTurnedScaledJpeg()
    {
        DialogFixture fixture;
        fixture.start(portraitCamera, [](control::CaptureSettings& settings) {
            settings.OSRotation = "90";
            settings.OSMaxImgHeight = 800;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        auto* preview = static_cast<imaging::CImageCtrl*>(fixture.item(1057));
        // Orientation 6 turns by 270, the rotation by 90 more: back to landscape, then scaled.
        QCOMPARE(preview->GetImageWidth(), 1200.0F);
        QCOMPARE(preview->GetImageHeight(), 800.0F);
        QVERIFY(preview->isVisible() && !fixture.item(1024)->isVisible());
        QVERIFY(downloadedFiles(fixture.folder).empty());
        QVERIFY(fixture.item(1061)->isEnabled() && fixture.item(1)->isEnabled());
        fixture.screenshot(QStringLiteral("dialog-processed-picture.png"));

        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QCOMPARE(dialog.imageCount(), 1);
        QCOMPARE(static_cast<QLabel*>(fixture.item(1063))->text(), QStringLiteral("1"));
        QVERIFY(!dialog.imageReady());
        // One added picture, none waiting and live view off: OK takes the acquisition.
        QVERIFY(!dialog.liveViewToHost());
        QVERIFY(fixture.item(1)->isEnabled());
        const JpegFacts saved = readJpegFacts(dialog.tempImagePath());
        QCOMPARE(saved.width, 1200);
        QCOMPARE(saved.height, 800);
        QVERIFY(saved.orientation == 0 || saved.orientation == 1);
        QCOMPARE(vesk::profile::readString(dialog.settings().photoCountPath, "1234567890", "PhotoCount", "0"),
                 std::string("1"));
        QVERIFY(fixture.dialog().isVisible());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a failed save handing the host whatever older file lies at the path (it
    // could be another person's photo): nothing is sent, the picture stays ready, and a later
    // try succeeds.
    void failedSaveSendsNothingAndKeepsThePicture()
    {
        DialogFixture fixture;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        QVERIFY(fixture.takePictureAndWait());
        CCameraControlDlg& dialog = fixture.dialog();
        // An older picture of someone else under the temporary name, made unwritable by a folder in its way.
        fs::create_directories(dialog.tempImagePath());
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QVERIFY(fixture.receiver.received.empty());
        QVERIFY(dialog.imageReady());
        QVERIFY(dialog.messageText().startsWith(QStringLiteral("Unable to save image.  IMAGING ERROR [")));
        // OK does not end the dialog with the picture unsaved.
        fixture.prompt.answers.push_back(hosting::PromptAnswer::Yes);
        QTest::mouseClick(fixture.item(1), Qt::LeftButton);
        QVERIFY(dialog.isVisible());

        fs::remove_all(dialog.tempImagePath());
        QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QVERIFY(!dialog.imageReady());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against OK losing a ready picture without asking, asking with the wrong text, or
    // asking in single-image mode.
    void okAsksAboutAReadyPictureOnlyInMultiMode()
    {
        {
            DialogFixture fixture;
            fixture.start();
            QVERIFY(fixture.waitForLiveViewOnHost());
            QVERIFY(fixture.takePictureAndWait());
            QTest::mouseClick(fixture.item(1), Qt::LeftButton);
            QCOMPARE(fixture.prompt.questions,
                     std::vector<std::string>{"You have not added any images.  Would you like to save the current image?"});
            QVERIFY(fixture.receiver.received.empty());
            QCOMPARE(fixture.dialog().result(), kResultOk);
            QCOMPARE(fixture.finish(), size_t{0});
        }
        {
            DialogFixture fixture;
            fixture.start();
            QVERIFY(fixture.waitForLiveViewOnHost());
            QVERIFY(fixture.takePictureAndWait());
            QTest::mouseClick(fixture.item(1061), Qt::LeftButton);
            QTest::mouseClick(fixture.item(1000), Qt::LeftButton); // starts live view again
            QVERIFY(fixture.waitForLiveViewOnHost());
            QVERIFY(fixture.takePictureAndWait());
            fixture.prompt.answers.push_back(hosting::PromptAnswer::Yes);
            QTest::mouseClick(fixture.item(1), Qt::LeftButton);
            QCOMPARE(fixture.prompt.questions,
                     std::vector<std::string>{"The current image was not added.  Would you like to save it?"});
            QCOMPARE(fixture.receiver.received.size(), size_t{2});
            QCOMPARE(fixture.finish(), size_t{0});
        }
        {
            DialogFixture fixture;
            fixture.multiMode = false;
            fixture.start();
            QVERIFY(fixture.waitForLiveViewOnHost());
            QVERIFY(fixture.takePictureAndWait());
            QTest::mouseClick(fixture.item(1), Qt::LeftButton);
            QVERIFY(fixture.prompt.questions.empty());
            QCOMPARE(fixture.receiver.received.size(), size_t{1});
            QCOMPARE(fixture.dialog().result(), kResultOk);
            QCOMPARE(fixture.finish(), size_t{0});
        }
    }

    // Guards against automatic acceptance ending the dialog before the picture was added.
    void automaticAcceptanceAddsTheFirstPictureAndEnds()
    {
        DialogFixture fixture;
        fixture.multiMode = false;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.OSAutoAccept = true; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.dialog().isVisible(), 20000);
        QCOMPARE(fixture.dialog().result(), kResultOk);
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against an automatically accepted picture lost in multi-image mode: OK would ask
    // whether to save it, and nobody (or the unattended answer, No) would say yes.
    void automaticAcceptanceInMultiModeAddsThePictureWithoutAsking()
    {
        DialogFixture fixture;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.OSAutoAccept = true; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.dialog().isVisible(), 20000);
        QCOMPARE(fixture.dialog().result(), kResultOk);
        QVERIFY(fixture.prompt.questions.empty());
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QCOMPARE(fixture.dialog().imageCount(), 1);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a second picture handed over after the dialog ended: two quick clicks
    // of Take Picture in single-image mode with automatic acceptance shoot twice, and the
    // second picture, arriving after OK, must neither be added nor end the dialog again.
    void twoQuickShotsInSingleModeHandOverOnePicture()
    {
        DialogFixture fixture;
        fixture.multiMode = false;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.OSAutoAccept = true; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.dialog().isVisible(), 20000);
        // Both pictures have come down and both notifications have reached the dialog.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.logMessages(QStringLiteral("DLG update")).count(QStringLiteral("DownloadComplete")),
                                  2, 20000);
        QCoreApplication::processEvents();
        QCOMPARE(fixture.receiver.received.size(), size_t{1});
        QCOMPARE(fixture.dialog().result(), kResultOk);
        QCOMPARE(fixture.logMessages(QStringLiteral("DLG OnOK")).size(), 1);
        QCOMPARE(fixture.logMessages(QStringLiteral("DLG OnDownloadComplete")).size(), 1);
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a failed download leaving "Downloading image" and the progress bar up.
    void failedDownloadClearsTheStatusLine()
    {
        DialogFixture fixture;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        camsdk::sim::injectFault("CamDownload", CAM_ERR_FILE_READ_ERROR);
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        CCameraControlDlg& dialog = fixture.dialog();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.messageText().startsWith(QStringLiteral("[27] ")), 20000);
        QVERIFY(fixture.logMessages(QStringLiteral("DLG OnDownloadStart")).size() == 1);
        QCOMPARE(dialog.statusText(), QString());
        QVERIFY(!fixture.item(1081)->isVisible());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against camera errors that go unseen, unknown codes shown as text, higher bits
    // changing the text, and an autofocus failure that leaves live view off.
    void captureErrorsShowTheirTextAndBlink()
    {
        DialogFixture fixture;
        fixture.start();
        QVERIFY(fixture.waitForLiveViewOnHost());
        CCameraControlDlg& dialog = fixture.dialog();
        camsdk::sim::raiseStateEvent(0, CAM_STATE_EVENT_CAPTURE_ERROR, 0x10081);
        QTRY_COMPARE(dialog.messageText(), QStringLiteral("[81] Camera Device - Busy"));
        QVERIFY(dialog.isTimerActive(2));
        QTRY_VERIFY(!dialog.isTimerActive(2));
        QVERIFY(fixture.logMessages(QStringLiteral("DLG OnCaptureError")).contains(QStringLiteral("[81] Camera Device - Busy")));

        camsdk::sim::raiseStateEvent(0, CAM_STATE_EVENT_CAPTURE_ERROR, 0x52);
        QTRY_VERIFY(fixture.logMessages(QStringLiteral("DLG OnCaptureError")).contains(QStringLiteral("[52] Unknown error")));
        QCOMPARE(dialog.messageText(), QStringLiteral("[81] Camera Device - Busy"));

        camsdk::sim::raiseStateEvent(0, CAM_STATE_EVENT_CAPTURE_ERROR, CAM_ERR_TAKE_PICTURE_AF_NG);
        QTRY_COMPARE(dialog.messageText(), QStringLiteral("[8D01] Take Picture - Auto focus failed"));
        QVERIFY(fixture.item(1024)->isVisible());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against closing the dialog while a picture is being downloaded leaking the
    // picture's handles or crashing on its late notifications.
    void closingWhileADownloadIsInFlightLeavesNothingBehind()
    {
        DialogFixture fixture;
        fixture.start([](camsdk::sim::SimConfig& config) {
            config.bodies.at(0).shotWidth = 6000;
            config.bodies.at(0).shotHeight = 4000;
            config.downloadChunkBytes = 1024;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTest::mouseClick(fixture.item(1000), Qt::LeftButton);
        // The command thread logs the start as it announces it: the download runs from then on.
        QVERIFY(QTest::qWaitFor([&] { return fixture.logMessages(QStringLiteral("DLG update")).contains("DownloadStart"); },
                                20000));
        QTest::mouseClick(fixture.item(2), Qt::LeftButton);
        QCOMPARE(fixture.dialog().result(), kResultCancel);
        QCOMPARE(fixture.finish(), size_t{0});
        QCOMPARE(camsdk::sim::invalidReleaseCount(), size_t{0});
    }
};

} // namespace dialog::test

QTEST_MAIN(dialog::test::DialogCaptureTest)
#include "DialogCaptureTests.moc"
