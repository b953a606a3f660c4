// The camera model's setters, its observers and the error texts.
#include "CameraTestSupport.h"

#include "camera/ErrorText.h"

#include <atomic>
#include <thread>

namespace camera::test {
namespace {

// Guards against a negative body ID being kept with its sign, and against setters writing a
// field for a property that has none.
TEST(ModelTest, SettersKeepBodyIdUnsignedAndIgnoreUnknownProperties)
{
    CameraModel model(nullptr);
    model.setPropertyString(CAM_PROP_BODY_ID, "-1");
    EXPECT_EQ(model.bodyId(), "4294967295");
    model.setPropertyString(CAM_PROP_BODY_ID, "0123456789");
    EXPECT_EQ(model.bodyId(), "0123456789");
    model.setPropertyString(CAM_PROP_PRODUCT_NAME, std::string(300, 'x'));
    EXPECT_EQ(model.modelName().size(), 255u);

    model.setPropertyUInt32(CAM_PROP_TV, 0x60);
    model.setPropertyUInt32(0x9999, 7);
    EXPECT_EQ(model.tv(), 0x60u);
    EXPECT_EQ(model.propertyUInt32(0x9999), 0u);
    CamPropertyDesc description{};
    description.numElements = 2;
    model.setPropertyDesc(CAM_PROP_DRIVE_MODE, description);
    EXPECT_EQ(model.propertyDesc(CAM_PROP_DRIVE_MODE).numElements, 0);
    model.setPropertyDesc(CAM_PROP_ISO_SPEED, description);
    EXPECT_EQ(model.propertyDesc(CAM_PROP_ISO_SPEED).numElements, 2);
}

TEST(ModelTest, DeviceSubtypeZeroMakesTheLegacyModel)
{
    CamDeviceInfo info{};
    EXPECT_TRUE(createCameraModel(nullptr, info)->isLegacy());
    info.deviceSubType = 1;
    EXPECT_FALSE(createCameraModel(nullptr, info)->isLegacy());
}

// Guards against duplicate notification, a wrong order, and calls to a removed observer.
TEST(ModelTest, ObserversAreCalledOnceNewestFirstAndNeverAfterRemoval)
{
    struct OrderObserver final : Observer {
        OrderObserver(std::vector<int>& order, int id) : order(order), id(id) {}
        void update(Observable*, const ModelEvent&) override { order.push_back(id); }
        std::vector<int>& order;
        int id;
    };
    std::vector<int> order;
    OrderObserver first(order, 1);
    OrderObserver second(order, 2);
    CameraModel model(nullptr);
    model.addObserver(&first);
    model.addObserver(&second);
    model.addObserver(&first);
    model.notifyObservers("CameraConnected");
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    model.removeObserver(&second);
    model.notifyObservers("CameraConnected");
    EXPECT_EQ(order, (std::vector<int>{2, 1, 1}));
}

// Guards against an observer being called after its removal returned while a notification ran
// on another thread (a dialog going away while the worker notifies).
TEST(ModelTest, RemovalWaitsForARunningNotification)
{
    struct SlowObserver final : Observer {
        void update(Observable*, const ModelEvent&) override
        {
            entered.open();
            std::this_thread::sleep_for(50ms);
            ++calls;
        }
        Gate entered;
        std::atomic<int> calls{0};
    };
    SlowObserver observer;
    CameraModel model(nullptr);
    model.addObserver(&observer);
    std::thread notifier([&] { model.notifyObservers("DeviceBusy"); });
    observer.entered.waitOpen();
    model.removeObserver(&observer);
    EXPECT_EQ(observer.calls, 1);
    notifier.join();
    model.notifyObservers("DeviceBusy");
    EXPECT_EQ(observer.calls, 1);
}

// Guards against codes with high bits set losing their text and unknown codes getting one.
TEST(ErrorTextTest, LooksUpTheLowSixteenBits)
{
    EXPECT_EQ(cameraErrorText(0x81), "Camera Device - Busy");
    EXPECT_EQ(cameraErrorText(0x12340081), "Camera Device - Busy");
    EXPECT_EQ(cameraErrorText(0x8D01), "Take Picture - Auto focus failed");
    EXPECT_EQ(cameraErrorText(0x8D02), "ERR_TAKE_PICTURE_RESERVED");
    EXPECT_EQ(cameraErrorText(0x2E), "Camera File - Naming error");
    EXPECT_TRUE(cameraErrorText(0x52).empty());
    EXPECT_TRUE(cameraErrorText(0).empty());
    EXPECT_TRUE(cameraErrorText(0xA102).empty());
}

} // namespace
} // namespace camera::test
