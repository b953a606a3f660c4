// A window with one setting box of each kind, filled and showing a value, and every button kind
// in both themes, saved as a picture for a person to look at.
//
// Threading: UI thread only.
#include "controls/ActionButtons.h"
#include "controls/ButtonThemes.h"
#include "controls/SettingComboBoxes.h"

#include <QDir>
#include <QFontInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTest>

#include <initializer_list>
#include <memory>
#include <vector>

using namespace controls;

namespace {

// Offers every labelled value except "unknown", in the table's order of value, and shows
// `current`.
void fill(CPropertyComboBox& box, uint32_t current)
{
    CamPropertyDesc description{};
    for (const auto& [value, label] : box.labels()) {
        if (value != 0xFFFFFFFFu && description.numElements < CAM_MAX_PROPERTY_VALUES) {
            description.propDesc[description.numElements++] = static_cast<int32_t>(value);
        }
    }
    box.UpdatePropertyDesc(&description);
    box.UpdateProperty(current);
}

struct ThemeStyles {
    CRoundButtonStyle large;
    CRoundButtonStyle small;
};

void dress(CRoundButton& button, CRoundButtonStyle& style, ButtonTheme theme)
{
    button.SetRoundButtonStyle(&style);
    const StateColors colors = roundButtonTextColors(theme);
    button.SetTextColors(&colors);
}

QGroupBox* themeGroup(ButtonTheme theme, ThemeStyles& styles)
{
    const RoundButtonStyleRecord large = largeButtonStyle(theme);
    const RoundButtonStyleRecord small = smallButtonStyle(theme);
    styles.large.SetButtonStyle(&large);
    styles.small.SetButtonStyle(&small);

    auto* group = new QGroupBox(theme == ButtonTheme::Blue ? QStringLiteral("BLUE theme") : QStringLiteral("Standard theme"));
    auto* grid = new QGridLayout(group);

    auto* action = new CActionButton;
    action->setText(QStringLiteral("Live View"));
    action->setObjectName(QStringLiteral("action"));
    grid->addWidget(action, 0, 0, 1, 2);

    auto* round = new CRoundButton;
    round->setText(QStringLiteral("Add Image"));
    round->setObjectName(QStringLiteral("round"));
    dress(*round, styles.large, theme);
    grid->addWidget(round, 1, 0);

    auto* take = new CRoundActionButton;
    take->setText(QStringLiteral("Take Picture"));
    dress(*take, styles.large, theme);
    grid->addWidget(take, 1, 1);

    auto* pressed = new CRoundButton;
    pressed->setText(QStringLiteral("OK"));
    dress(*pressed, styles.large, theme);
    pressed->setDown(true);
    grid->addWidget(pressed, 2, 0);

    auto* disabled = new CRoundButton;
    disabled->setText(QStringLiteral("Cancel"));
    dress(*disabled, styles.large, theme);
    disabled->setEnabled(false);
    grid->addWidget(disabled, 2, 1);

    auto* arrows = new QHBoxLayout;
    auto* autofocus = new CEvfAfButton;
    autofocus->setText(QStringLiteral("AF"));
    dress(*autofocus, styles.small, theme);
    autofocus->setFixedSize(40, 24);
    arrows->addWidget(autofocus);
    for (const QString& arrow : {QStringLiteral("▲"), QStringLiteral("▼"), QStringLiteral("◀"), QStringLiteral("▶"),
                                 QStringLiteral("◉")}) {
        auto* small_ = new CRoundActionButton;
        small_->setText(arrow);
        dress(*small_, styles.small, theme);
        small_->setFixedSize(24, 24);
        arrows->addWidget(small_);
    }
    grid->addLayout(arrows, 3, 0, 1, 2);
    for (CRoundButton* big : std::initializer_list<CRoundButton*>{round, take, pressed, disabled}) {
        big->setFixedSize(120, 34);
    }
    return group;
}

} // namespace

class ScreenshotTests : public QObject {
    Q_OBJECT

private slots:
    // Guards against boxes or buttons that draw no text (no font) or no shapes, seen by a
    // person in the saved picture.
    void combosAndButtonsWindow()
    {
        QWidget window;
        window.setWindowTitle(QStringLiteral("Camera settings and buttons"));
        auto* columns = new QHBoxLayout(&window);

        auto* settings = new QGroupBox(QStringLiteral("Camera settings"));
        auto* form = new QFormLayout(settings);
        std::vector<CPropertyComboBox*> boxes;
        const auto add = [&](const char* caption, CPropertyComboBox* box, uint32_t current) {
            fill(*box, current);
            box->setMinimumWidth(200);
            form->addRow(QString::fromLatin1(caption), box);
            boxes.push_back(box);
        };
        add("Mode:", new CAEMode, 0x02);
        add("Tv:", new CTv, 0x60);
        add("Av:", new CAv, 0x30);
        add("ISO:", new CIso, 0x58);
        add("WB:", new CWhiteBalance, 0xFFFFFFFE);
        add("Metering Mode:", new CMeteringMode, 0x03);
        add("Exposure Comp:", new CExposureComp, 0xFB);
        add("Image Quality:", new CImageQuality, 0x13FF0F);
        add("Picture Style:", new CPictureStyle, 0x81);
        add("Live View Auto Focus Mode:", new CEvfAfMode, 0x02);
        columns->addWidget(settings);

        auto* themes = new QVBoxLayout;
        ThemeStyles standardStyles;
        ThemeStyles blueStyles;
        QGroupBox* standard = themeGroup(ButtonTheme::Standard, standardStyles);
        QGroupBox* blue = themeGroup(ButtonTheme::Blue, blueStyles);
        themes->addWidget(standard);
        themes->addWidget(blue);
        themes->addStretch();
        columns->addLayout(themes);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        for (CPropertyComboBox* box : boxes) {
            QVERIFY(!QFontInfo(box->font()).family().isEmpty());
            QVERIFY(box->count() > 0);
            QVERIFY(!box->shownText().isEmpty());
        }
        QCOMPARE(boxes[1]->shownText(), QStringLiteral("1/30"));
        QCOMPARE(boxes[4]->shownText(), QStringLiteral("Copied from image"));

        auto* blueRound = blue->findChild<CRoundButton*>(QStringLiteral("round"));
        QVERIFY(blueRound);
        QVERIFY(QFontMetrics(blueRound->ButtonFont()).inFont(QLatin1Char('A')));
        QVERIFY(QFontMetrics(blueRound->ButtonFont()).inFont(QChar(0x25B2)));
        const QImage shot = window.grab().toImage();
        QVERIFY(!shot.isNull());
        const QPoint faceSpot = blueRound->mapTo(&window, QPoint(6, blueRound->height() / 2));
        QCOMPARE(shot.pixel(faceSpot) | 0xFF000000u, qRgb(0x25, 0x5B, 0x97));

        const QString folder = qEnvironmentVariable("VESK_SCREENSHOT_DIR");
        if (!folder.isEmpty()) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(shot.save(QDir(folder).filePath(QStringLiteral("controls-combos-buttons.png"))));
        }
    }
};

QTEST_MAIN(ScreenshotTests)
#include "ScreenshotTests.moc"
