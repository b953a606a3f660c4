// Widget tests of the buttons: the round image and its shading, the nine-piece button image,
// the state slices, press and release notifications, click actions and the autofocus button's
// time limit.
//
// Threading: UI thread only.
#include "controls/ActionButtons.h"
#include "controls/ButtonThemes.h"

#include <camera/ActionEvents.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

using namespace controls;

namespace {

class RecordingListener final : public camera::ActionListener {
public:
    void actionPerformed(const camera::ActionEvent& event) override
    {
        commands.push_back(event.command());
        arguments.push_back(event.argument());
    }
    std::vector<std::string> commands;
    std::vector<void*> arguments;
};

// A parent window that keeps the notifications its buttons send.
class NotifiedParent final : public QWidget {
public:
    struct Notification {
        int controlId;
        QWidget* window;
        uint32_t code;
    };
    std::vector<Notification> notifications;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == ButtonNotifyEvent::eventType()) {
            const auto* notification = static_cast<ButtonNotifyEvent*>(event);
            notifications.push_back({notification->controlId(), notification->window(), notification->code()});
            return true;
        }
        return QWidget::event(event);
    }
};

QRgb rgbOf(ColorRef color)
{
    return qRgb(redOf(color), greenOf(color), blueOf(color));
}

// The pixel at offset (x, y) from the centre of state slice `state` of a round image.
QRgb roundPixel(const QImage& image, int radius, int state, int x, int y)
{
    return image.pixel(x + radius, y + radius + state * (2 * radius + 1)) | 0xFF000000u;
}

QImage slice(const QImage& buttonImage, int state, int height)
{
    return buttonImage.copy(0, state * height, buttonImage.width(), height);
}

// Space as the keyboard sends it while the key stays down.
void sendAutoRepeatedSpace(QWidget* target)
{
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(target, &release);
    QCoreApplication::sendEvent(target, &press);
}

} // namespace

class ButtonTests : public QObject {
    Q_OBJECT

private slots:
    // Guards against a wrong image size, colours read as RGB instead of 0x00BBGGRR, and
    // shading leaking into a face that has none.
    void flatFaceHasExactlyTheFaceColour()
    {
        const RoundButtonStyleRecord style = largeButtonStyle(ButtonTheme::Blue);
        const int radius = roundImageRadius(style);
        QCOMPARE(radius, 11);
        const QImage image = renderRoundImage(style);
        QCOMPARE(image.size(), QSize(23, 115));

        const double inner = (1.0 - style.borderRatio) * style.radius - style.edgeBlur / 4.0;
        for (int state = 0; state < buttonStateCount; ++state) {
            for (int y = -radius; y <= radius; ++y) {
                for (int x = -radius; x <= radius; ++x) {
                    if (std::hypot(x, y) <= inner) {
                        QCOMPARE(roundPixel(image, radius, state, x, y), rgbOf(style.face[state]));
                    }
                }
            }
            QCOMPARE(roundPixel(image, radius, state, -radius, -radius), rgbOf(style.background[state]));
        }
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 0), qRgb(0x25, 0x5B, 0x97));
    }

    // Guards against the light placed below the centre (y grows downwards) or the shading
    // terms mistyped: the values follow the rendering formula by hand.
    void defaultStyleIsLitFromAbove()
    {
        RoundButtonStyleRecord style = defaultRoundButtonStyle();
        const QImage image = renderRoundImage(style);
        const int radius = roundImageRadius(style);
        // Face 0x808080 in the normal state: centre 128 x 1.2, above 128 x 0.864, below 128 x 0.617.
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 0), qRgb(153, 153, 153));
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, -7), qRgb(110, 110, 110));
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 7), qRgb(79, 79, 79));
        // On the ring's middle circle the ring has its full colour (0x606060).
        QCOMPARE(roundPixel(image, radius, stateNormal, 9, 0), qRgb(0x60, 0x60, 0x60));
    }

    // Guards against a division by zero when the ring or the face has no width (black or
    // undefined pixels instead of colours).
    void ringOrFaceOfNoWidthStillRenders()
    {
        RoundButtonStyleRecord style = largeButtonStyle(ButtonTheme::Blue);
        style.borderShading = 0.5;
        style.borderRatio = 1.0;
        QImage image = renderRoundImage(style);
        int radius = roundImageRadius(style);
        QCOMPARE(roundPixel(image, radius, stateNormal, 5, 0), rgbOf(style.border[stateNormal]));
        // The centre, where the face shrank to a point, is what a face of almost no width gives.
        RoundButtonStyleRecord almost = style;
        almost.borderRatio = 0.9999;
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 0), roundPixel(renderRoundImage(almost), radius, stateNormal, 0, 0));
        QVERIFY(roundPixel(image, radius, stateNormal, 0, 0) != qRgb(0, 0, 0));

        style.borderRatio = 0.0;
        image = renderRoundImage(style);
        radius = roundImageRadius(style);
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 0), rgbOf(style.face[stateNormal]));
        QCOMPARE(roundPixel(image, radius, stateNormal, 9, 0), rgbOf(style.face[stateNormal]));

        style.edgeBlur = 0.0;
        style.lightReach = 0.0;
        image = renderRoundImage(style);
        radius = roundImageRadius(style);
        QCOMPARE(radius, 10);
        QCOMPARE(roundPixel(image, radius, stateNormal, 10, 1), rgbOf(style.background[stateNormal]));
        QCOMPARE(roundPixel(image, radius, stateNormal, 0, 0), rgbOf(style.face[stateNormal]));
    }

    // Guards against corners larger than half a small button (pieces overlapping or drawn
    // outside it), an off-by-one at exactly half, and slices cut at the wrong height.
    void cornersOfSmallButtons()
    {
        CRoundButtonStyle style;
        const RoundButtonStyleRecord small = smallButtonStyle(ButtonTheme::Blue);
        style.SetButtonStyle(&small);
        struct Case {
            QSize size;
            int corner;
        };
        for (const Case& sizeCase : {Case{{100, 30}, 7}, Case{{12, 40}, 6}, Case{{14, 14}, 7}, Case{{10, 5}, 2},
                                     Case{{15, 15}, 7}}) {
            CRoundButton button;
            button.SetRoundButtonStyle(&style);
            button.resize(sizeCase.size);
            const QImage shown = button.grab().toImage();
            QCOMPARE(button.CornerSize(), sizeCase.corner);
            QCOMPARE(button.ButtonImage().size(), QSize(sizeCase.size.width(), 5 * sizeCase.size.height()));
            const int h = sizeCase.size.height();
            const QPoint centre(sizeCase.size.width() / 2, h / 2);
            for (int state = 0; state < buttonStateCount; ++state) {
                QCOMPARE(button.ButtonImage().pixel(centre.x(), centre.y() + state * h) | 0xFF000000u,
                         rgbOf(small.face[state]));
                QCOMPARE(button.ButtonImage().pixel(0, state * h) | 0xFF000000u, rgbOf(small.background[state]));
            }
            QCOMPARE(shown.pixel(centre) | 0xFF000000u, rgbOf(small.face[stateNormal]));
        }
    }

    // Guards against a caption change redrawing only the slice on screen, and a disabled
    // button that is pushed showing the pressed slice.
    void captionsAndSlices()
    {
        CRoundButtonStyle style;
        const RoundButtonStyleRecord large = largeButtonStyle(ButtonTheme::Standard);
        style.SetButtonStyle(&large);
        CRoundButton button;
        button.SetRoundButtonStyle(&style);
        button.resize(120, 32);
        button.setText(QStringLiteral("Take Picture"));
        button.grab();
        const QImage before = button.ButtonImage();

        button.setText(QStringLiteral("Add Image"));
        button.grab();
        for (int state = 0; state < buttonStateCount; ++state) {
            QVERIFY2(slice(before, state, 32) != slice(button.ButtonImage(), state, 32), qPrintable(QString::number(state)));
        }

        button.setDown(true);
        QCOMPARE(button.CurrentSlice(), int{statePressed});
        button.setEnabled(false);
        QCOMPARE(button.CurrentSlice(), int{stateDisabled});
        const QImage shown = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, slice(button.ButtonImage(), stateDisabled, 32).convertToFormat(QImage::Format_RGB32));
    }

    // Guards against the button font falling back to nothing (empty boxes instead of text),
    // text colours by state, and null arguments changing anything.
    void fontsColoursAndSetters()
    {
        CRoundButton button;
        const QFontInfo info(button.ButtonFont());
        QVERIFY(!info.family().isEmpty());
        QVERIFY(info.bold());
        QVERIFY(QFontMetrics(button.ButtonFont()).inFont(QLatin1Char('A')));
        QVERIFY(QFontMetrics(button.ButtonFont()).height() >= 14 && QFontMetrics(button.ButtonFont()).height() <= 18);

        StateColors colors{};
        QVERIFY(button.GetTextColors(&colors));
        QCOMPARE(colors, (StateColors{0x404040, 0, 0, 0, 0}));
        button.SetTextColors(nullptr);
        button.SetButtonFont(nullptr);
        button.SetRoundButtonStyle(nullptr);
        QVERIFY(!button.GetTextColors(nullptr));
        QVERIFY(!button.GetButtonFont(nullptr));
        LogFont font;
        QVERIFY(button.GetButtonFont(&font));
        QCOMPARE(font, roundButtonDefaultFont());
        QCOMPARE(button.RoundButtonStyle(), nullptr);

        CRoundButtonStyle style;
        RoundButtonStyleRecord record;
        QVERIFY(!style.GetButtonStyle(nullptr));
        style.SetButtonStyle(nullptr);
        QVERIFY(style.GetButtonStyle(&record));
        QCOMPARE(record.radius, 10.0);

        QCOMPARE(roundButtonTextColors(buttonThemeFromSetting("blue")), (StateColors{0x9F9F9F, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0}));
        QCOMPARE(roundButtonTextColors(buttonThemeFromSetting("BLUE ")), (StateColors{0x9F9F9F, 0, 0, 0xFFFFFF, 0}));
    }

    // Guards against notifications sent without the flag, for the wrong button, with the
    // wrong codes or item identifier.
    void pressAndReleaseAreReportedToTheParent()
    {
        NotifiedParent parent;
        auto* reporting = new CRoundButton(&parent);
        reporting->setObjectName(QStringLiteral("item1076"));
        reporting->SetPressNotification(true);
        reporting->setGeometry(0, 0, 40, 30);
        auto* quiet = new CRoundButton(&parent);
        quiet->setGeometry(50, 0, 40, 30);
        parent.resize(100, 40);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));

        QTest::mouseClick(quiet, Qt::LeftButton);
        QTest::mouseClick(reporting, Qt::RightButton);
        QVERIFY(parent.notifications.empty());

        QTest::mousePress(reporting, Qt::LeftButton);
        QCOMPARE(parent.notifications.size(), std::size_t{1});
        QTest::mouseRelease(reporting, Qt::LeftButton);
        QCOMPARE(parent.notifications.size(), std::size_t{2});
        QCOMPARE(parent.notifications[0].code, ButtonNotifyEvent::pressed);
        QCOMPARE(parent.notifications[1].code, ButtonNotifyEvent::released);
        for (const auto& notification : parent.notifications) {
            QCOMPARE(notification.controlId, 1076);
            QCOMPARE(notification.window, reporting);
        }
    }

    // Guards against arrow buttons that the keyboard cannot hold (Space gave only a click),
    // and against a hold that never ends: a button disabled or hidden while held (by the
    // mouse or by Space) gets no release, and the parent kept repeating for ever.
    void spaceHoldsAndAbandonedHoldsAreReleased()
    {
        NotifiedParent parent;
        auto* arrow = new CRoundButton(&parent);
        arrow->setObjectName(QStringLiteral("item1085"));
        arrow->SetPressNotification(true);
        arrow->setGeometry(0, 0, 40, 30);
        parent.resize(100, 40);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const auto codes = [&parent] {
            std::vector<uint32_t> sent;
            for (const auto& notification : parent.notifications) {
                sent.push_back(notification.code);
            }
            return sent;
        };
        const std::vector<uint32_t> pressRelease{ButtonNotifyEvent::pressed, ButtonNotifyEvent::released};

        QTest::keyPress(arrow, Qt::Key_Space);
        QVERIFY(arrow->isDown());
        sendAutoRepeatedSpace(arrow);
        sendAutoRepeatedSpace(arrow);
        QCOMPARE(codes(), std::vector<uint32_t>{ButtonNotifyEvent::pressed});
        QTest::keyRelease(arrow, Qt::Key_Space);
        QCOMPARE(codes(), pressRelease);
        QVERIFY(!arrow->isDown());

        // Disabled while held by the mouse: released at once, and only once.
        parent.notifications.clear();
        QTest::mousePress(arrow, Qt::LeftButton);
        arrow->setEnabled(false);
        QCOMPARE(codes(), pressRelease);
        QTest::mouseRelease(arrow, Qt::LeftButton);
        arrow->setEnabled(true);
        QCOMPARE(codes(), pressRelease);

        // Hidden while held by Space; the parent disabled while held by the mouse.
        parent.notifications.clear();
        QTest::keyPress(arrow, Qt::Key_Space);
        arrow->hide();
        QCOMPARE(codes(), pressRelease);
        QTest::keyRelease(arrow, Qt::Key_Space);
        QCOMPARE(codes(), pressRelease);
        arrow->show();
        parent.notifications.clear();
        QTest::mousePress(arrow, Qt::LeftButton);
        parent.setEnabled(false);
        QCOMPARE(codes(), pressRelease);
        QCOMPARE(parent.notifications[1].controlId, 1085);
        parent.setEnabled(true);
    }

    // Guards against an autofocus that Space cannot run, and one that runs on (its time limit
    // still pending, no "evfAfOff") after the button was disabled or hidden while held.
    void autofocusFollowsSpaceAndEndsWhenDisabledOrHidden()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* button = new CEvfAfButton(&window);
        layout->addWidget(button);
        RecordingListener listener;
        button->addActionListener(&listener);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::vector<std::string> onOff{"evfAfOn", "evfAfOff"};

        QTest::keyPress(button, Qt::Key_Space);
        sendAutoRepeatedSpace(button);
        QVERIFY(button->Held());
        QVERIFY(button->HoldTimerActive());
        QCOMPARE(listener.commands, std::vector<std::string>{"evfAfOn"});
        QTest::keyRelease(button, Qt::Key_Space);
        QVERIFY(!button->Held());
        QCOMPARE(listener.commands, onOff);

        listener.commands.clear();
        QTest::mousePress(button, Qt::LeftButton);
        button->setEnabled(false);
        QVERIFY(!button->Held());
        QVERIFY(!button->HoldTimerActive());
        QCOMPARE(listener.commands, onOff);
        button->setEnabled(true);

        listener.commands.clear();
        QTest::keyPress(button, Qt::Key_Space);
        button->hide();
        QVERIFY(!button->Held());
        QVERIFY(!button->HoldTimerActive());
        QCOMPARE(listener.commands, onOff);
        QTest::keyRelease(button, Qt::Key_Space);
        QCOMPARE(listener.commands, onOff);
    }

    // Guards against click actions missing, carrying an argument, or fired by the autofocus
    // button (which fires only its own two actions).
    void clicksFireTheButtonsAction()
    {
        RecordingListener listener;
        CActionButton plain;
        plain.setActionCommand("focus_Near1");
        plain.addActionListener(&listener);
        CRoundActionButton round;
        round.setActionCommand("evfZoom_Full");
        round.addActionListener(&listener);
        plain.resize(60, 24);
        round.resize(60, 24);
        QTest::mouseClick(&plain, Qt::LeftButton);
        QTest::mouseClick(&round, Qt::LeftButton);
        QCOMPARE(listener.commands, (std::vector<std::string>{"focus_Near1", "evfZoom_Full"}));
        QCOMPARE(listener.arguments, (std::vector<void*>{nullptr, nullptr}));
    }

    // Guards against the autofocus running past its limit while the button is held, a second
    // "evfAfOff" missing on release, a click action, and focus loss not ending the autofocus.
    void autofocusStopsAtTheLimitAndOnFocusLoss()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* button = new CEvfAfButton(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(button);
        layout->addWidget(other);
        RecordingListener listener;
        button->setActionCommand("clicked");
        button->addActionListener(&listener);
        button->SetHoldLimit(std::chrono::milliseconds(20));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QTest::mousePress(button, Qt::LeftButton);
        QVERIFY(button->Held());
        QCOMPARE(listener.commands, (std::vector<std::string>{"evfAfOn"}));
        QTRY_COMPARE(listener.commands, (std::vector<std::string>{"evfAfOn", "evfAfOff"}));
        QVERIFY(!button->Held());
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(listener.commands, (std::vector<std::string>{"evfAfOn", "evfAfOff", "evfAfOff"}));

        listener.commands.clear();
        button->SetHoldLimit(CEvfAfButton::defaultHoldLimit);
        QTest::mousePress(button, Qt::LeftButton);
        QVERIFY(button->hasFocus());
        other->setFocus();
        QCOMPARE(listener.commands, (std::vector<std::string>{"evfAfOn", "evfAfOff"}));
        QVERIFY(!button->Held());
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(listener.commands, (std::vector<std::string>{"evfAfOn", "evfAfOff", "evfAfOff"}));
    }
};

QTEST_MAIN(ButtonTests)
#include "ButtonTests.moc"
