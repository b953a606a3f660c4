// The capture dialog opened against the simulated camera: captions, filled settings, what is
// shown and enabled in each configuration, the rotation choice and the reference picture.
#include "DialogTestSupport.h"

#include <controls/SettingComboBoxes.h>
#include <imaging/ImageCtrl.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <camera/ActionEvents.h>

namespace dialog::test {
namespace {

QString textOf(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->title();
    }
    return {};
}

void writePicture(const std::filesystem::path& path, QColor colour)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(QString::fromStdString(path.string()), "JPG"));
}

} // namespace

class DialogSetupTest final : public QObject {
    Q_OBJECT

private slots:
    // Guards against empty setting boxes, template captions left in place of the configured
    // ones, and a live view that never reaches the dialog.
    void connectedDialogShowsCameraSettingsCaptionsAndLiveView()
    {
        DialogFixture fixture;
        writePicture(fixture.folder / "reference.jpg", Qt::darkCyan);
        fixture.start({}, [&](control::CaptureSettings& settings) {
            settings.OSReferenceImagePath = (fixture.folder / "reference.jpg").string();
        });
        CCameraControlDlg& dialog = fixture.dialog();
        QVERIFY(!QFontInfo(dialog.font()).family().isEmpty());
        QVERIFY(fixture.waitForLiveViewOnHost());

        QCOMPARE(textOf(fixture.item(1)), QStringLiteral("&Ok"));
        QCOMPARE(textOf(fixture.item(2)), QStringLiteral("Cancel"));
        QCOMPARE(textOf(fixture.item(1000)), QStringLiteral("Take Picture [Live View Focus]"));
        QCOMPARE(textOf(fixture.item(1059)), QStringLiteral("Vesk Simulated Camera [1234567890]"));
        QCOMPARE(textOf(fixture.item(1083)), QStringLiteral("1234567890"));
        QVERIFY(fixture.item(1000)->isVisible() && fixture.item(1000)->isEnabled());
        QVERIFY(fixture.item(1060)->isVisible());
        QVERIFY(!fixture.item(1051)->isVisible());
        QVERIFY(fixture.item(1024)->isVisible());
        QVERIFY(!fixture.item(1)->isEnabled());
        // The nine setting boxes show the camera's values and can be changed.
        QTRY_COMPARE(textOf(fixture.item(1003)), QStringLiteral("1/125"));
        for (const int id : {1002, 1003, 1004, 1005, 1037, 1006, 1007, 1023, 1038}) {
            QTRY_VERIFY2(fixture.item(id)->isVisible() && fixture.item(id)->isEnabled(), qPrintable(QString::number(id)));
            QVERIFY2(!textOf(fixture.item(id)).isEmpty(), qPrintable(QString::number(id)));
        }
        // The live-view group is usable while live view runs on the host.
        QTRY_VERIFY(fixture.item(1039)->isVisible() && fixture.item(1039)->isEnabled());
        QTRY_VERIFY(fixture.item(1035)->isEnabled());
        QTest::qWait(400);
        fixture.screenshot(QStringLiteral("dialog-live-view.png"));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against the "BLUE" theme not reaching the round buttons: the screenshot shows
    // every setting box, the live view with its focus frames and each kind of button in it.
    void blueThemeIsShownOnEveryRoundButton()
    {
        DialogFixture fixture;
        fixture.start({}, [](control::CaptureSettings& settings) { settings.ED_ButtonTheme = "blue"; });
        QVERIFY(fixture.waitForLiveViewOnHost());
        QTRY_VERIFY(fixture.item(1035)->isEnabled());
        // The face of the enabled large button is the theme's blue (0x975B25 as 0x00BBGGRR).
        const QImage buttons = fixture.item(1000)->grab().toImage();
        const QColor face = buttons.pixelColor(buttons.width() / 2, buttons.height() - 6);
        QVERIFY2(face.blue() > face.red() + 40, qPrintable(face.name()));
        QTest::qWait(300);
        fixture.screenshot(QStringLiteral("dialog-live-view-blue.png"));
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against controls that stay visible against the configuration, and the Add Image
    // button in single-image mode.
    void visibilityFollowsConfigurationAndMode()
    {
        DialogFixture fixture;
        fixture.multiMode = false;
        fixture.start({}, [](control::CaptureSettings& settings) {
            settings.ED_ShowCamSettings = false;
            settings.ED_ShowEvfAf = false;
            settings.ED_ShowEvfMf = false;
        });
        QVERIFY(fixture.waitForLiveViewOnHost());
        for (const int id : {1074, 1002, 1003, 1083, 1053, 1061, 1063, 1075, 1035, 1032, 1012, 1022, 1051}) {
            QVERIFY2(!fixture.item(id)->isVisible(), qPrintable(QString::number(id)));
        }
        // Without the autofocus and manual focus parts the group goes, the focus box stays.
        QVERIFY(!fixture.item(1039)->isVisible());
        QVERIFY(fixture.item(1065)->isVisible() && fixture.item(1076)->isVisible());
        QVERIFY(fixture.item(1000)->isVisible());
        QCOMPARE(fixture.finish(), size_t{0});
    }

    // Guards against a rotation prefix that matches the wrong item, and focus-box buttons that
    // move the box in sensor directions instead of the directions the operator sees.
    void rotationChoiceTurnsFocusBoxButtons()
    {
        struct Case {
            const char* setting;
            int rotation;
            const char* up;
            const char* right;
        };
        const Case cases[] = {{"45", 0, "evfFocusBox_Up", "evfFocusBox_Right"},
                              {"9", 90, "evfFocusBox_Right", "evfFocusBox_Down"},
                              {"270", 270, "evfFocusBox_Left", "evfFocusBox_Up"}};
        for (const Case& entry : cases) {
            DialogFixture fixture;
            fixture.start({}, [&](control::CaptureSettings& settings) { settings.OSRotation = entry.setting; }, false);
            QCOMPARE(fixture.dialog().rotation(), entry.rotation);
            const auto action = [&](int id) {
                return QString::fromStdString(dynamic_cast<camera::ActionSource*>(fixture.item(id))->actionCommand());
            };
            QCOMPARE(action(1076), QString::fromLatin1(entry.up));
            QCOMPARE(action(1078), QString::fromLatin1(entry.right));
            QCOMPARE(fixture.finish(), size_t{0});
        }
    }

    // Guards against a view name matched without regard to case, or a missing reference
    // picture leaving its group on screen.
    void referencePictureFollowsTheViewName()
    {
        for (const char* viewName : {"SMT", "smt"}) {
            DialogFixture fixture;
            writePicture(fixture.folder / "RefImageSMT.jpg", Qt::darkYellow);
            fixture.viewName = viewName;
            fixture.start();
            auto* reference = static_cast<imaging::CImageCtrl*>(fixture.item(1058));
            const bool loaded = std::string(viewName) == "SMT";
            QCOMPARE(reference->GetImageHandle() != 0, loaded);
            QCOMPARE(fixture.item(1060)->isVisible(), loaded);
            QCOMPARE(fixture.finish(), size_t{0});
        }
    }
};

} // namespace dialog::test

QTEST_MAIN(dialog::test::DialogSetupTest)
#include "DialogSetupTests.moc"
