// Widget tests of the camera-setting boxes: their tables, the list and text they show, the
// notifications they receive from the camera model's thread, and the action a choice fires.
//
// Threading: the tests run on the UI thread; model notifications come from a std::thread.
#include "controls/SettingComboBoxes.h"
#include "controls/WheelNeedsFocus.h"

#include <camera/ActionEvents.h>
#include <camera/CameraModel.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace controls;

namespace {

struct FiredAction {
    std::string command;
    bool hasValue;
    uint32_t value;
};

// Records every action with a copy of the value it pointed to, as the controller does.
class RecordingListener final : public camera::ActionListener {
public:
    void actionPerformed(const camera::ActionEvent& event) override
    {
        const auto* value = static_cast<const uint32_t*>(event.argument());
        fired.push_back({event.command(), value != nullptr, value ? *value : 0});
    }
    std::vector<FiredAction> fired;
};

CamPropertyDesc describe(std::initializer_list<uint32_t> values)
{
    CamPropertyDesc description{};
    for (uint32_t value : values) {
        description.propDesc[description.numElements++] = static_cast<int32_t>(value);
    }
    return description;
}

std::vector<std::pair<QString, uint32_t>> itemsOf(const QComboBox& box)
{
    std::vector<std::pair<QString, uint32_t>> items;
    for (int i = 0; i < box.count(); ++i) {
        items.emplace_back(box.itemText(i), box.itemData(i).value<uint32_t>());
    }
    return items;
}

using Items = std::vector<std::pair<QString, uint32_t>>;

// Counts the events of one type that reach the objects it filters.
class MessageCounter final : public QObject {
public:
    explicit MessageCounter(QEvent::Type type) : m_type(type) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        seen += event->type() == m_type ? 1 : 0;
        return false;
    }
    int seen = 0;

private:
    QEvent::Type m_type;
};

struct BoxKind {
    const char* name;
    std::function<std::unique_ptr<CPropertyComboBox>()> make;
    CamPropertyID property;
    const char* action;
    std::size_t rows;
};

template <typename Box>
std::function<std::unique_ptr<CPropertyComboBox>()> maker()
{
    return [] { return std::make_unique<Box>(); };
}

const std::vector<BoxKind>& boxKinds()
{
    static const std::vector<BoxKind> kinds = {
        {"CAEMode", maker<CAEMode>(), CAM_PROP_AE_MODE, "set_AEMode", 25},
        {"CTv", maker<CTv>(), CAM_PROP_TV, "set_Tv", 75},
        {"CAv", maker<CAv>(), CAM_PROP_AV, "set_Av", 56},
        {"CIso", maker<CIso>(), CAM_PROP_ISO_SPEED, "set_ISOSpeed", 37},
        {"CWhiteBalance", maker<CWhiteBalance>(), CAM_PROP_WHITE_BALANCE, "set_WhiteBalance", 20},
        {"CMeteringMode", maker<CMeteringMode>(), CAM_PROP_METERING_MODE, "set_MeteringMode", 5},
        {"CExposureComp", maker<CExposureComp>(), CAM_PROP_EXPOSURE_COMPENSATION, "set_ExposureCompensation", 42},
        {"CImageQuality", maker<CImageQuality>(), CAM_PROP_IMAGE_QUALITY, "set_ImageQuality", 14},
        {"CPictureStyle", maker<CPictureStyle>(), CAM_PROP_PICTURE_STYLE, "set_PictureStyle", 7},
        {"CEvfAfMode", maker<CEvfAfMode>(), CAM_PROP_EVF_AF_MODE, "set_EvfAfMode", 12},
    };
    return kinds;
}

} // namespace

class ComboBoxTests : public QObject {
    Q_OBJECT

private slots:
    // Guards against a dropped or mistyped row, a wrong property or action string, and the
    // "unknown" row missing where it belongs (or present in the image-quality table).
    void everyTableIsComplete()
    {
        for (const BoxKind& kind : boxKinds()) {
            const auto box = kind.make();
            auto* source = dynamic_cast<camera::ActionSource*>(box.get());
            QVERIFY2(source, kind.name);
            QCOMPARE(source->actionCommand(), std::string(kind.action));
            QCOMPARE(box->property(), kind.property);
            QCOMPARE(box->labels().size(), kind.rows);

            const bool hasUnknown = box->labels().contains(0xFFFFFFFFu);
            QCOMPARE(hasUnknown, kind.property != CAM_PROP_IMAGE_QUALITY);
            if (hasUnknown) {
                QCOMPARE(QString::fromLatin1(box->labels().at(0xFFFFFFFFu)), QStringLiteral("unknown"));
            }
        }
    }

    // Guards against label texts that differ from the system's vocabulary, and against
    // FindValue being case-sensitive or not taking the smallest value of a shared label.
    void labelsAndFindValue()
    {
        CTv tv;
        CAv av;
        CIso iso;
        CWhiteBalance whiteBalance;
        CImageQuality imageQuality;
        CExposureComp exposure;
        QCOMPARE(QString::fromLatin1(tv.labels().at(0x10)), QStringLiteral("30\""));
        QCOMPARE(QString::fromLatin1(tv.labels().at(0x2B)), QStringLiteral("3\"2"));
        QCOMPARE(QString::fromLatin1(whiteBalance.labels().at(0xFFFFFFFE)), QStringLiteral("Copied from image"));
        QCOMPARE(QString::fromLatin1(imageQuality.labels().at(0x1013FF0F)), QStringLiteral("Small3 Jpeg"));
        QCOMPARE(QString::fromLatin1(exposure.labels().at(0xD8)), QStringLiteral("-5"));

        uint32_t value = 0;
        QVERIFY(tv.FindValue(QStringLiteral("auto"), value));
        QCOMPARE(value, 0x04u);
        QVERIFY(iso.FindValue(QStringLiteral("AUTO"), value));
        QCOMPARE(value, 0x00u);
        QVERIFY(av.FindValue(QStringLiteral("Auto"), value));
        QCOMPARE(value, 0xFFu);
        for (const auto& [label, smallest] : {std::pair{"1.2", 0x0Cu}, {"1.8", 0x14u}, {"2.5", 0x1Cu}, {"3.5", 0x24u},
                                               {"4.5", 0x2Bu}, {"13", 0x43u}}) {
            QVERIFY(av.FindValue(QString::fromLatin1(label), value));
            QCOMPARE(value, smallest);
        }
        value = 0x1234;
        QVERIFY(!tv.FindValue(QStringLiteral("1/7"), value));
        QCOMPARE(value, 0x1234u);
    }

    // Guards against a value the table lacks clearing or changing the text.
    void currentValueWithoutLabelKeepsText()
    {
        CTv tv;
        tv.UpdateProperty(0x58);
        QCOMPARE(tv.shownText(), QStringLiteral("1/15"));
        tv.UpdateProperty(0x59);
        QCOMPARE(tv.shownText(), QStringLiteral("1/15"));
        tv.UpdateProperty(0xFFFFFFFF);
        QCOMPARE(tv.shownText(), QStringLiteral("unknown"));

        CImageQuality quality;
        quality.UpdateProperty(0x13FF0F);
        quality.UpdateProperty(0xFFFFFFFF);
        QCOMPARE(quality.shownText(), QStringLiteral("Large Fine Jpeg"));

        CExposureComp exposure;
        exposure.UpdateProperty(0xF8);
        exposure.UpdateProperty(0xF9);
        QCOMPARE(exposure.shownText(), QStringLiteral("-1"));
    }

    // Guards against a sorted list, items for unlabelled values, a shared label collapsing
    // two values into one item, and a refill replacing the text with the first item.
    void allowedValuesFollowTheCameraOrder()
    {
        CTv tv;
        tv.UpdateProperty(0x60);
        const CamPropertyDesc description = describe({0xA0, 0x10, 0x11, 0x58, 0x60});
        tv.UpdatePropertyDesc(&description);
        QCOMPARE(itemsOf(tv), (Items{{"1/8000", 0xA0}, {"30\"", 0x10}, {"1/15", 0x58}, {"1/30", 0x60}}));
        QCOMPARE(tv.entryCount(), 5);
        QCOMPARE(tv.shownText(), QStringLiteral("1/30"));
        QCOMPARE(tv.currentIndex(), 3);

        CAv av;
        const CamPropertyDesc shared = describe({0x0C, 0x0D, 0x14, 0x15});
        av.UpdatePropertyDesc(&shared);
        QCOMPARE(itemsOf(av), (Items{{"1.2", 0x0C}, {"1.2", 0x0D}, {"1.8", 0x14}, {"1.8", 0x15}}));
        QCOMPARE(av.shownText(), QString());
        QCOMPARE(av.currentIndex(), -1);
    }

    // Guards against an empty, missing, unlabelled or over-long list leaving stale items, a
    // wrong entry count, or reading past the 128 values of the record.
    void emptyUnlabelledAndOverlongLists()
    {
        CIso iso;
        const CamPropertyDesc first = describe({0x48, 0x50});
        iso.UpdatePropertyDesc(&first);
        iso.UpdateProperty(0x50);

        const CamPropertyDesc empty{};
        iso.UpdatePropertyDesc(&empty);
        QCOMPARE(iso.count(), 0);
        QCOMPARE(iso.entryCount(), 0);
        QVERIFY(!iso.HasEntries());
        QCOMPARE(iso.shownText(), QStringLiteral("200"));

        iso.UpdatePropertyDesc(&first);
        iso.UpdatePropertyDesc(nullptr);
        QCOMPARE(iso.count(), 0);
        QVERIFY(!iso.HasEntries());

        const CamPropertyDesc unlabelled = describe({0x01, 0x02, 0x03});
        iso.UpdatePropertyDesc(&unlabelled);
        QCOMPARE(iso.count(), 0);
        QCOMPARE(iso.entryCount(), 3);
        QVERIFY(iso.HasEntries());
        QCOMPARE(iso.shownText(), QStringLiteral("200"));

        CExposureComp exposure;
        CamPropertyDesc overlong{};
        for (int i = 0; i < CAM_MAX_PROPERTY_VALUES; ++i) {
            overlong.propDesc[i] = i % 2 == 0 ? 0x08 : 0x7F;
        }
        overlong.numElements = 5000;
        exposure.UpdatePropertyDesc(&overlong);
        QCOMPARE(exposure.entryCount(), 128);
        QCOMPARE(exposure.count(), 64);

        overlong.numElements = -3;
        exposure.UpdatePropertyDesc(&overlong);
        QCOMPARE(exposure.entryCount(), 0);
        QCOMPARE(exposure.count(), 0);
    }

    // Guards against a plain drop-down list (not editable) losing the value shown.
    void plainDropDownListShowsTheValue()
    {
        CPictureStyle style;
        style.setEditable(false);
        style.UpdateProperty(0x83);
        QCOMPARE(style.shownText(), QStringLiteral("Landscape"));
        const CamPropertyDesc description = describe({0x81, 0x82, 0x83});
        style.UpdatePropertyDesc(&description);
        QCOMPARE(style.shownText(), QStringLiteral("Landscape"));
        QCOMPARE(style.currentIndex(), 2);
        style.UpdateProperty(0x86);
        QCOMPARE(style.shownText(), QStringLiteral("Monochrome"));
        QCOMPARE(style.currentIndex(), -1);
    }

    // Guards against touching the widget on the model's thread, acting on another property's
    // or a malformed notification, and handling a message with the value of its moment
    // rather than the model's value when it arrives.
    void notificationsFromTheCommandThreadArePosted()
    {
        const auto model = std::make_shared<camera::CameraModel>(nullptr);
        CTv tv;
        tv.SetCameraModel(model);

        std::thread worker([&model] {
            CamPropertyID tvId = CAM_PROP_TV;
            CamPropertyID avId = CAM_PROP_AV;
            model->setPropertyDesc(CAM_PROP_TV, describe({0x58, 0x60, 0x68}));
            model->notifyObservers("PropertyDescChanged", &tvId);
            model->setPropertyUInt32(CAM_PROP_TV, 0x58);
            model->notifyObservers("PropertyChanged", &tvId);
            model->setPropertyUInt32(CAM_PROP_TV, 0x68);
            model->notifyObservers("PropertyChanged", &tvId);
            model->setPropertyUInt32(CAM_PROP_AV, 0x20);
            model->notifyObservers("PropertyChanged", &avId);
            model->notifyObservers("PropertyChanged", nullptr);
            model->notifyObservers("DeviceBusy", &tvId);
        });
        worker.join();

        QCOMPARE(tv.count(), 0);
        QCOMPARE(tv.shownText(), QString());

        MessageCounter counter(CPropertyComboBox::valueChangedMessage());
        tv.installEventFilter(&counter);
        QTRY_COMPARE(tv.count(), 3);
        QTRY_COMPARE(counter.seen, 2);
        QCOMPARE(tv.shownText(), QStringLiteral("1/60"));
        QCOMPARE(tv.entryCount(), 3);
        QVERIFY(tv.HasEntries());
    }

    // Guards against the model calling a box that is being destroyed while the command
    // thread keeps notifying (a use after free under the address sanitizer).
    void destroyingABoxWhileTheModelNotifies()
    {
        const auto model = std::make_shared<camera::CameraModel>(nullptr);
        auto iso = std::make_unique<CIso>();
        iso->SetCameraModel(model);
        std::atomic<bool> running{true};
        std::atomic<int> notifications{0};
        std::thread worker([&] {
            CamPropertyID id = CAM_PROP_ISO_SPEED;
            while (running) {
                model->notifyObservers("PropertyChanged", &id);
                ++notifications;
            }
        });
        QTRY_VERIFY(notifications > 100);
        iso.reset();
        const int afterDestruction = notifications;
        QTRY_VERIFY(notifications > afterDestruction + 100);
        running = false;
        worker.join();
        QCoreApplication::processEvents();
    }

    // Guards against typed text that is no allowed value staying in the box (the camera keeps
    // another value than the one shown) or being sent; against a typed allowed value not
    // being sent, or being sent twice (by Enter and again by the focus leaving).
    void typedTextChoosesAnAllowedValueOrReverts()
    {
        const auto model = std::make_shared<camera::CameraModel>(nullptr);
        model->setPropertyDesc(CAM_PROP_ISO_SPEED, describe({0x48, 0x58, 0x68, 0x78}));
        model->setPropertyUInt32(CAM_PROP_ISO_SPEED, 0x48);
        QWidget window;
        auto* iso = new CIso(&window);
        auto* other = new QLineEdit(&window);
        other->move(0, 40);
        RecordingListener listener;
        iso->addActionListener(&listener);
        iso->SetCameraModel(model);
        const CamPropertyDesc allowed = model->propertyDesc(CAM_PROP_ISO_SPEED);
        iso->UpdatePropertyDesc(&allowed);
        iso->UpdateProperty(0x48);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        const auto typeInto = [&](const QString& text) {
            iso->setFocus();
            QTRY_VERIFY(iso->hasFocus());
            iso->lineEdit()->selectAll();
            QTest::keyClicks(iso, text);
            QCOMPARE(iso->shownText(), text);
        };

        // Over the highest allowed value (a label of the table, but not offered): reverted
        // when the focus leaves and on Enter.
        typeInto(QStringLiteral("12800"));
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(iso->shownText(), QStringLiteral("100"));
        typeInto(QStringLiteral("12800"));
        QTest::keyClick(iso, Qt::Key_Return);
        QCOMPARE(iso->shownText(), QStringLiteral("100"));
        typeInto(QStringLiteral("fast"));
        QTest::keyClick(iso, Qt::Key_Enter);
        QCOMPARE(iso->shownText(), QStringLiteral("100"));
        QCOMPARE(iso->currentIndex(), 0);
        QCOMPARE(listener.fired.size(), std::size_t{0});

        // An allowed value is chosen and sent once, Enter and focus loss together.
        typeInto(QStringLiteral("400"));
        QTest::keyClick(iso, Qt::Key_Return);
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(listener.fired.size(), std::size_t{1});
        QCOMPARE(listener.fired[0].command, std::string("set_ISOSpeed"));
        QCOMPARE(listener.fired[0].value, 0x58u);
        QCOMPARE(iso->shownText(), QStringLiteral("400"));
        QCOMPARE(iso->currentIndex(), 1);

        // Blanks around it are no part of a value; the focus leaving sends it too.
        typeInto(QStringLiteral(" 1600 "));
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(listener.fired.size(), std::size_t{2});
        QCOMPARE(listener.fired[1].value, 0x68u);
        QCOMPARE(iso->shownText(), QStringLiteral("1600"));

        // Passing through the box without typing sends nothing.
        iso->setFocus();
        QTRY_VERIFY(iso->hasFocus());
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(listener.fired.size(), std::size_t{2});
    }

    // Guards against the wheel changing a setting (and sending it to the camera) while the
    // operator only moves the pointer across the dialog: without the focus nothing changes.
    // The same filter serves any other box of the dialog.
    void wheelChangesOnlyAFocusedBox()
    {
        QWidget window;
        auto* iso = new CIso(&window);
        auto* rotation = new QComboBox(&window);
        rotation->addItems({QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("180")});
        rotation->move(0, 40);
        requireFocusForWheel(rotation);
        requireFocusForWheel(rotation);
        auto* other = new QLineEdit(&window);
        other->move(0, 80);
        RecordingListener listener;
        iso->addActionListener(&listener);
        const CamPropertyDesc allowed = describe({0x48, 0x58, 0x68});
        iso->UpdatePropertyDesc(&allowed);
        iso->UpdateProperty(0x58);
        QSignalSpy rotationActivated(rotation, &QComboBox::activated);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());

        const auto wheel = [](QWidget* target) {
            const QPointF at(target->width() / 2.0, target->height() / 2.0);
            QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
        };
        wheel(iso);
        wheel(rotation);
        QCOMPARE(iso->shownText(), QStringLiteral("400"));
        QCOMPARE(listener.fired.size(), std::size_t{0});
        QCOMPARE(rotation->currentIndex(), 0);
        QCOMPARE(rotationActivated.count(), 0);
        QVERIFY(other->hasFocus());
        QCOMPARE(iso->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(rotation->focusPolicy(), Qt::StrongFocus);

        iso->setFocus();
        QTRY_VERIFY(iso->hasFocus());
        wheel(iso);
        QCOMPARE(iso->shownText(), QStringLiteral("1600"));
        QCOMPARE(listener.fired.size(), std::size_t{1});
        QCOMPARE(listener.fired[0].value, 0x68u);
        rotation->setFocus();
        QTRY_VERIFY(rotation->hasFocus());
        wheel(rotation);
        QCOMPARE(rotation->currentIndex(), 1);
        QCOMPARE(rotationActivated.count(), 1);
    }

    // Guards against firing the label's value instead of the item's own (two items share a
    // label), a missing pointer, or the wrong action string.
    void choosingAnItemFiresItsValue()
    {
        RecordingListener listener;
        CAv av;
        av.addActionListener(&listener);
        const CamPropertyDesc shared = describe({0x0C, 0x0D, 0x20});
        av.UpdatePropertyDesc(&shared);
        av.show();
        QVERIFY(QTest::qWaitForWindowExposed(&av));

        av.showPopup();
        QTRY_VERIFY(av.view()->isVisible());
        av.view()->setCurrentIndex(av.model()->index(1, 0));
        QTest::keyClick(av.view(), Qt::Key_Return);
        QTRY_COMPARE(listener.fired.size(), std::size_t{1});
        QCOMPARE(listener.fired[0].command, std::string("set_Av"));
        QVERIFY(listener.fired[0].hasValue);
        QCOMPARE(listener.fired[0].value, 0x0Du);
        QCOMPARE(av.shownText(), QStringLiteral("1.2"));

        // Values shown by the camera fire nothing.
        av.UpdateProperty(0x20);
        const CamPropertyDesc refill = describe({0x20, 0x0C});
        av.UpdatePropertyDesc(&refill);
        QCOMPARE(listener.fired.size(), std::size_t{1});
    }
};

QTEST_MAIN(ComboBoxTests)
#include "ComboBoxTests.moc"
