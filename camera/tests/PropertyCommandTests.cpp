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

// Guards against allowed values not reaching the model or not being announced (also for IDs the
// model keeps no list of), reading all going on past a failure, and busy not being retried.
TEST_F(PropertyCommandTest, DescriptionReadsStoreAnnounceStopAndRetryBusy)
{
    auto model = openModel();
    EXPECT_TRUE(GetPropertyDescCommand(model.get(), CAM_PROP_TV).execute());
    EXPECT_TRUE(GetPropertyDescCommand(model.get(), CAM_PROP_EVF_MODE).execute());
    CamPropertyDesc camera{};
    ASSERT_EQ(CamGetPropertyDesc(m_camera, CAM_PROP_TV, &camera), CAM_ERR_OK);
    ASSERT_GT(camera.numElements, 1);
    EXPECT_EQ(model->propertyDesc(CAM_PROP_TV).numElements, camera.numElements);
    EXPECT_EQ(model->propertyDesc(CAM_PROP_TV).propDesc[camera.numElements - 1], camera.propDesc[camera.numElements - 1]);
    EXPECT_EQ(model->propertyDesc(CAM_PROP_EVF_MODE).numElements, 0);
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"PropertyDescChanged 406", "PropertyDescChanged 501"}));

    m_observer.clear();
    camsdk::sim::clearJournal();
    injectFault("CamGetPropertyDesc", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_AV);
    EXPECT_TRUE(GetPropertyDescCommand(model.get(), CAM_PROP_UNKNOWN).execute());
    EXPECT_EQ(journalTexts(), (std::vector<std::string>{callText("CamGetPropertyDesc", CAM_PROP_AE_MODE),
                                                        callText("CamGetPropertyDesc", CAM_PROP_TV),
                                                        callText("CamGetPropertyDesc", CAM_PROP_AV)}));
    EXPECT_EQ(m_observer.texts(),
              (std::vector<std::string>{"PropertyDescChanged 436", "PropertyDescChanged 406", "error 85"}));

    m_observer.clear();
    injectFault("CamGetPropertyDesc", 0x00010081, 1);
    GetPropertyDescCommand busy(model.get(), CAM_PROP_ISO_SPEED);
    EXPECT_FALSE(busy.execute());
    EXPECT_TRUE(busy.execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"DeviceBusy", "PropertyDescChanged 402"}));
}

// Guards against a property of another data type (a point) changing a field or going unannounced.
TEST_F(PropertyCommandTest, PropertyOfAnotherTypeIsStillAnnounced)
{
    auto model = openModel();
    EXPECT_TRUE(GetPropertyCommand(model.get(), CAM_PROP_EVF_ZOOM_POSITION, 0).execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"PropertyChanged 508"}));
    EXPECT_EQ(model->evfZoomPosition().x, 0);
}

// Guards against a wrong opening order on a current camera (the capacity outside the user
// interface lock), and against a failed live-view preparation hiding the connection.
TEST_F(PropertyCommandTest, CurrentSessionOpensInOrderAndConnectsDespiteFailedPreparation)
{
    connect();
    auto model = createCameraModel(m_camera, m_deviceInfo);
    model->addObserver(&m_observer);
    camsdk::sim::clearJournal();
    EXPECT_TRUE(OpenSessionCommand(model.get()).execute());
    EXPECT_EQ(journalTexts(), currentOpeningCalls());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"PropertyDescChanged 501", "PropertyChanged 501",
                                                            "PropertyChanged 500", "CameraConnected"}));
    EXPECT_EQ(camsdk::sim::propertyValue(0, CAM_PROP_SAVE_TO), uint32_t{CAM_SAVE_TO_HOST});

    m_observer.clear();
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_DRIVE_MODE);
    injectFault("CamGetPropertyDesc", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_EVF_MODE);
    injectFault("CamGetPropertySize", CAM_ERR_DEVICE_INTERNAL_ERROR, 2);
    injectFault("CamSetPropertyData", CAM_ERR_DEVICE_INTERNAL_ERROR, 1, CAM_PROP_EVF_MODE);
    EXPECT_TRUE(OpenSessionCommand(model.get()).execute());
    EXPECT_EQ(m_observer.named("CameraConnected").size(), 1u);
    EXPECT_EQ(m_observer.texts().back(), "CameraConnected");
    model->removeObserver(&m_observer);
}

// Guards against a failing step of a current camera's opening being ignored, or the steps after
// it in that group still being sent.
TEST_F(PropertyCommandTest, FirstFailingOpeningStepBecomesTheError)
{
    connect();
    auto model = createCameraModel(m_camera, m_deviceInfo);
    model->addObserver(&m_observer);
    const auto opening = currentOpeningCalls();
    // The failing call and how many of the opening calls were sent up to the end of its group
    // (the capacity is still followed by the unlock); the live-view preparation follows from call 5.
    const std::vector<std::pair<std::string, std::ptrdiff_t>> failures{
        {"CamSetPropertyData", 2}, {"CamSendStatusCommand", 3}, {"CamSetCapacity", 5}};
    for (const auto& [function, sent] : failures) {
        SCOPED_TRACE(function);
        camsdk::sim::clearJournal();
        m_observer.clear();
        injectFault(function, CAM_ERR_DEVICE_INTERNAL_ERROR, 1);
        EXPECT_TRUE(OpenSessionCommand(model.get()).execute());
        std::vector<std::string> expected(opening.begin(), opening.begin() + sent);
        expected.insert(expected.end(), opening.begin() + 5, opening.end());
        EXPECT_EQ(journalTexts(), expected);
        EXPECT_EQ(m_observer.texts().back(), "error 85");
        EXPECT_TRUE(m_observer.named("CameraConnected").empty());
    }
    model->removeObserver(&m_observer);
}

// Guards against the legacy session skipping the full read, reading without the lock or sending
// the capacity.
TEST_F(PropertyCommandTest, LegacySessionReadsEverythingUnderTheLockAndSkipsCapacity)
{
    connect(makeLegacy);
    auto model = createCameraModel(m_camera, m_deviceInfo);
    model->addObserver(&m_observer);
    camsdk::sim::clearJournal();
    EXPECT_TRUE(OpenSessionCommand(model.get()).execute());
    std::vector<std::string> expected{callText("CamOpenSession"),
                                      callText("CamSetPropertyData", CAM_PROP_SAVE_TO, CAM_SAVE_TO_HOST),
                                      callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_LOCK)};
    for (CamPropertyID property : shownProperties) {
        expected.push_back(callText("CamGetPropertySize", property));
        expected.push_back(callText("CamGetPropertyData", property));
    }
    expected.push_back(callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_UNLOCK));
    expected.push_back(callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_LOCK));
    for (CamPropertyID property : shownProperties) {
        expected.push_back(callText("CamGetPropertyDesc", property));
    }
    expected.push_back(callText("CamSendStatusCommand", CAM_STATUS_COMMAND_UI_UNLOCK));
    EXPECT_EQ(journalTexts(), expected);
    EXPECT_EQ(m_observer.named("CameraConnected").size(), 1u);
    EXPECT_EQ(m_observer.named("PropertyChanged").size(), shownProperties.size());
    EXPECT_EQ(m_observer.named("PropertyDescChanged").size(), shownProperties.size());
    EXPECT_TRUE(SetCapacityCommand(model.get(), CamCapacity{1, 2, 1}).execute());
    EXPECT_TRUE(calls("CamSetCapacity").empty());
    EXPECT_EQ(model->aeMode(), camsdk::sim::propertyValue(0, CAM_PROP_AE_MODE));
    model->removeObserver(&m_observer);
}

// Guards against closing with the depth-of-field preview on, without its pause, or a failed
// close going unreported.
TEST_F(PropertyCommandTest, CloseSwitchesPreviewAndOutputOffThenReportsAFailedClose)
{
    auto model = openModel();
    camsdk::sim::setProperty(0, CAM_PROP_EVF_OUTPUT_DEVICE, CAM_EVF_OUTPUT_DEVICE_PC);
    model->setPropertyUInt32(CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 1);
    camsdk::sim::clearJournal();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(CloseSessionCommand(model.get()).execute());
    EXPECT_GE(std::chrono::steady_clock::now() - started, 500ms);
    EXPECT_EQ(journalTexts(), (std::vector<std::string>{callText("CamGetPropertyData", CAM_PROP_EVF_OUTPUT_DEVICE),
                                                        callText("CamSetPropertyData", CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW, 0),
                                                        callText("CamSetPropertyData", CAM_PROP_EVF_OUTPUT_DEVICE, 0),
                                                        callText("CamCloseSession")}));
    EXPECT_TRUE(m_observer.all().empty());

    ASSERT_EQ(CamOpenSession(m_camera), CAM_ERR_OK);
    model->setPropertyUInt32(CAM_PROP_EVF_OUTPUT_DEVICE, 0);
    injectFault("CamCloseSession", CAM_ERR_COMM_DISCONNECTED, 1);
    EXPECT_TRUE(CloseSessionCommand(model.get()).execute());
    EXPECT_EQ(m_observer.texts(), (std::vector<std::string>{"error c1"}));
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
