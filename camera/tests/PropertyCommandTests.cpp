// Session and property commands against the simulated camera: retry limits, the legacy user
// interface lock and what reaches the model.
#include "CameraTestSupport.h"

#include "camera/PropertyCommands.h"
#include "camera/SessionCommands.h"

namespace camera::test {
namespace {

using camsdk::sim::injectFault;

void makeLegacy(camsdk::sim::SimConfig& config)
{
    config.bodies[0].deviceSubType = 0;
}

using PropertyCommandTest = CameraTest;

// Guards against a busy read being retried forever or reported too early: 11 reads, 10 retries.
TEST_F(PropertyCommandTest, BusyReadIsTriedElevenTimesThenReported)
{
    auto model = openModel();
    // High bits set: the read compares only the low 16 bits.
    injectFault("CamGetPropertySize", 0x00010081, 100, CAM_PROP_TV);
    GetPropertyCommand command(model.get(), CAM_PROP_TV, 0);
    for (int attempt = 1; attempt <= 10; ++attempt) {
        EXPECT_FALSE(command.execute()) << attempt;
    }
    EXPECT_TRUE(command.execute());
    EXPECT_EQ(command.attempts(), 11);
    EXPECT_EQ(m_observer.named("DeviceBusy").size(), 10u);
    ASSERT_EQ(m_observer.named("error").size(), 1u);
    EXPECT_EQ(m_observer.named("error")[0].value, 0x00010081u);
}

// Guards against an unavailable property being reported before its 6th read, or the focus
// information ever being reported as unavailable.
TEST_F(PropertyCommandTest, UnavailablePropertyIsRetriedSilentlyAndFocusInfoEndsAtOnce)
{
    auto model = openModel();
    injectFault("CamGetPropertySize", CAM_ERR_PROPERTIES_UNAVAILABLE, 100, CAM_PROP_AV);
    GetPropertyCommand command(model.get(), CAM_PROP_AV, 0);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        EXPECT_FALSE(command.execute()) << attempt;
    }
    EXPECT_TRUE(m_observer.all().empty());
    EXPECT_TRUE(command.execute());
    EXPECT_EQ(m_observer.names(), (std::vector<std::string>{"error"}));

    m_observer.clear();
    injectFault("CamGetPropertySize", CAM_ERR_PROPERTIES_UNAVAILABLE, 100, CAM_PROP_FOCUS_INFO);
    EXPECT_TRUE(GetPropertyCommand(model.get(), CAM_PROP_FOCUS_INFO, 0).execute());
    EXPECT_TRUE(m_observer.all().empty());
}

// Guards against the legacy lock being skipped, left locked, or a failing lock counting as a read.
TEST_F(PropertyCommandTest, LegacyReadLocksAndUnlocksAndAFailingLockIsNoRead)
{
    auto model = openModel(makeLegacy);
    ASSERT_TRUE(model->isLegacy());
    injectFault("CamSendStatusCommand", CAM_ERR_DEVICE_BUSY, 12);
    GetPropertyCommand command(model.get(), CAM_PROP_ISO_SPEED, 0);
    for (int attempt = 1; attempt <= 12; ++attempt) {
        EXPECT_FALSE(command.execute()) << attempt;
    }
    EXPECT_EQ(command.attempts(), 0);
    EXPECT_TRUE(calls("CamGetPropertySize").empty());
    EXPECT_TRUE(callsOf("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_UNLOCK).empty());

    camsdk::sim::clearJournal();
    EXPECT_TRUE(command.execute());
    std::vector<std::string> order;
    for (const auto& call : camsdk::sim::journal()) {
        order.push_back(call.function + ":" + std::to_string(call.property));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"CamSendStatusCommand:0", "CamGetPropertySize:1026",
                                               "CamGetPropertyData:1026", "CamSendStatusCommand:1"}));
    EXPECT_EQ(model->isoSpeed(), camsdk::sim::propertyValue(0, CAM_PROP_ISO_SPEED));
}

// Guards against a legacy write without the lock around it, and busy handling on a write
// comparing only the low bits (writes compare the whole code).
TEST_F(PropertyCommandTest, LegacyWriteIsLockedAndOnlyExactBusyIsRetried)
{
    auto model = openModel(makeLegacy);
    const CamPropertyDesc allowed = [&] {
        CamPropertyDesc description{};
        CamGetPropertyDesc(m_camera, CAM_PROP_TV, &description);
        return description;
    }();
    ASSERT_GT(allowed.numElements, 1);
    const auto value = static_cast<uint32_t>(allowed.propDesc[1]);
    EXPECT_TRUE(SetPropertyCommand<uint32_t>(model.get(), CAM_PROP_TV, value).execute());
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_TV), value);
    const auto status = calls("CamSendStatusCommand");
    ASSERT_EQ(status.size(), 2u);
    EXPECT_EQ(status[0].property, 0u);
    EXPECT_EQ(status[1].property, 1u);

    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_BUSY, 1);
    EXPECT_FALSE(SetPropertyCommand<uint32_t>(model.get(), CAM_PROP_TV, value).execute());
    injectFault("CamSetPropertyData", 0x00010081, 1);
    EXPECT_TRUE(SetPropertyCommand<uint32_t>(model.get(), CAM_PROP_TV, value).execute());
    EXPECT_EQ(m_observer.names(), (std::vector<std::string>{"DeviceBusy", "error"}));
}

// Guards against reading all shown properties going on past a failure and overwriting later fields.
TEST_F(PropertyCommandTest, ReadingAllStopsAtTheFirstFailure)
{
    auto model = openModel();
    model->setPropertyUInt32(CAM_PROP_METERING_MODE, 0xABCD);
    injectFault("CamGetPropertySize", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_ISO_SPEED);
    EXPECT_TRUE(GetPropertyCommand(model.get(), CAM_PROP_UNKNOWN, 0).execute());
    EXPECT_EQ(model->tv(), camsdk::sim::propertyValue(0, CAM_PROP_TV));
    EXPECT_EQ(model->meteringMode(), 0xABCDu);
    std::vector<uint32_t> changed;
    for (const auto& notification : m_observer.named("PropertyChanged")) {
        changed.push_back(notification.value);
    }
    EXPECT_EQ(changed, (std::vector<uint32_t>{CAM_PROP_AE_MODE, CAM_PROP_TV, CAM_PROP_AV}));
    EXPECT_EQ(m_observer.named("error").size(), 1u);
}

// Guards against a current camera's session not announcing the connection when only the
// live-view preparation fails, and against a wrong opening sequence.
TEST_F(PropertyCommandTest, OpeningTheSessionPreparesTheCameraAndAnnouncesTheConnection)
{
    connect();
    CameraModel model(m_camera);
    model.addObserver(&m_observer);
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_DRIVE_MODE);
    EXPECT_TRUE(OpenSessionCommand(&model).execute());
    EXPECT_EQ(m_observer.named("CameraConnected").size(), 1u);
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_SAVE_TO), uint32_t{CAM_SAVE_TO_HOST});
    EXPECT_EQ(calls("CamSetCapacity").size(), 1u);
    EXPECT_EQ(model.evfOutputDevice(), camsdk::sim::propertyValue(0, CAM_PROP_EVF_OUTPUT_DEVICE));
    EXPECT_EQ(m_observer.named("PropertyChanged").size(), 2u);
    EXPECT_EQ(callsOf("CamSetPropertyData", CAM_PROP_EVF_MODE).back().argument, 1);
    model.removeObserver(&m_observer);
}

// Guards against the legacy session skipping the full read or sending the capacity.
TEST_F(PropertyCommandTest, LegacySessionReadsEverythingAndSkipsCapacity)
{
    connect(makeLegacy);
    auto model = createCameraModel(m_camera, m_deviceInfo);
    model->addObserver(&m_observer);
    EXPECT_TRUE(OpenSessionCommand(model.get()).execute());
    EXPECT_EQ(m_observer.named("CameraConnected").size(), 1u);
    EXPECT_EQ(m_observer.named("PropertyChanged").size(), shownProperties.size());
    EXPECT_EQ(m_observer.named("PropertyDescChanged").size(), shownProperties.size());
    EXPECT_TRUE(calls("CamSetCapacity").empty());
    EXPECT_TRUE(SetCapacityCommand(model.get(), CamCapacity{1, 2, 1}).execute());
    EXPECT_TRUE(calls("CamSetCapacity").empty());
    EXPECT_EQ(model->aeMode(), camsdk::sim::propertyValue(0, CAM_PROP_AE_MODE));
    model->removeObserver(&m_observer);
}

// Guards against a queued error notification pointing at the caller's (long gone) code.
TEST_F(PropertyCommandTest, NotifyCommandCarriesItsOwnErrorCode)
{
    CameraModel model(nullptr);
    model.addObserver(&m_observer);
    auto command = [&] {
        uint32_t code = 0x8D01;
        return std::make_unique<NotifyCommand>(&model, "error", code);
    }();
    EXPECT_TRUE(command->execute());
    ASSERT_EQ(m_observer.named("error").size(), 1u);
    EXPECT_EQ(m_observer.named("error")[0].value, 0x8D01u);
    model.removeObserver(&m_observer);
}

} // namespace
} // namespace camera::test
