// The hosting library: the process-wide prompt, the host-settings reader without the host's
// class, and event connections. The value rules are covered through the configuration readers.
#include "hosting/ConnectionPoints.h"
#include "hosting/HostSettings.h"
#include "hosting/Prompt.h"

#include "hosting_test/RecordingPrompt.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using automation::AutomationError;
using automation::Variant;
using hosting::PromptAnswer;
using hosting::PromptButtons;

// Without an installed prompt nobody can answer: each box must get the answer that changes
// nothing, and its text must still reach the operator on stderr.
TEST(Prompt, DefaultWritesTheTextAndGivesTheSafeAnswer)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(hosting::currentPrompt().show("saved", PromptButtons::Ok), PromptAnswer::Ok);
    EXPECT_EQ(hosting::currentPrompt().show("retry?", PromptButtons::RetryCancel), PromptAnswer::Cancel);
    EXPECT_EQ(hosting::currentPrompt().show("delete?", PromptButtons::YesNo), PromptAnswer::No);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "saved\nretry?\ndelete?\n");
}

// Nested scopes must give the outer prompt back, not the default.
TEST(Prompt, ScopesNestAndRestoreTheOuterPrompt)
{
    hosting_test::RecordingPrompt outer;
    {
        hosting_test::RecordingPrompt inner;
        inner.answers = {PromptAnswer::Yes};
        EXPECT_EQ(hosting::currentPrompt().show("inner", PromptButtons::YesNo), PromptAnswer::Yes);
        EXPECT_EQ(inner.texts, std::vector<std::string>{"inner"});
    }
    hosting::currentPrompt().show("outer", PromptButtons::Ok);
    EXPECT_EQ(outer.texts, std::vector<std::string>{"outer"});
    EXPECT_EQ(hosting::installPrompt(nullptr), &outer);
    EXPECT_EQ(hosting::installPrompt(&outer), nullptr);
}

using HostSettingsReader = host_test::HostFixture;

// A host without SettingsReader: the control's readers go on with their defaults, the form
// must report it; either way the reason is kept.
TEST_F(HostSettingsReader, MissingClassIsAbsentOrRaisedAsAsked)
{
    ASSERT_EQ(automation::unregisterModule(VESK_HOST_MODULE), automation::S_OK);
    hosting::HostSettingsReader lenient(hosting::MissingSettingsReader::TreatAsAbsent);
    EXPECT_FALSE(lenient.available());
    EXPECT_TRUE(lenient.unavailableReason().starts_with("Class not registered")) << lenient.unavailableReason();
    EXPECT_EQ(lenient.GetSetting(config(), "0", "ImportTempPath"), std::nullopt);
    try {
        hosting::HostSettingsReader strict(hosting::MissingSettingsReader::Raise);
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), automation::REGDB_E_CLASSNOTREG);
    }
}

// An object that raises events of one event interface, as an automation control does.
class EventRaiser final : public automation::DispatchObject, public hosting::ConnectionPointContainer {
public:
    EventRaiser() { addInterface(hosting::kConnectionPointContainerInterface); }
    automation::EventSource* findConnectionPoint(std::string_view eventInterface) override
    {
        return eventInterface == "_Events" ? &events : nullptr;
    }
    automation::EventSource events;
};

class CountingSink final : public automation::DispatchObject {
public:
    CountingSink()
    {
        addMember("Raised", 1, automation::InvokeKind::Method, 0, [this](automation::Arguments&) {
            ++calls;
            return Variant();
        });
    }
    int calls = 0;
};

// The connection must keep the sink advised exactly as long as it lives, also when moved.
TEST(EventConnection, AdvisesForItsLifeAndUnadvisesOnce)
{
    const auto raiser = automation::makeRef<EventRaiser>();
    const auto sink = automation::makeRef<CountingSink>();
    automation::Arguments none;
    {
        hosting::EventConnection connection(automation::DispatchPtr(raiser), "_Events", automation::DispatchPtr(sink));
        hosting::EventConnection moved = std::move(connection);
        EXPECT_FALSE(connection.connected());
        EXPECT_TRUE(moved.connected());
        raiser->events.fire(1, none);
        EXPECT_EQ(raiser->events.sinkCount(), 1u);
    }
    EXPECT_EQ(raiser->events.sinkCount(), 0u);
    raiser->events.fire(1, none);
    EXPECT_EQ(sink->calls, 1);
    EXPECT_EQ(raiser->referenceCount(), 1u);
}

TEST(EventConnection, ObjectsWithoutTheEventsAreRefused)
{
    const auto sink = automation::makeRef<CountingSink>();
    try {
        hosting::EventConnection connection(automation::makeRef<CountingSink>(), "_Events", automation::DispatchPtr(sink));
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), automation::E_NOINTERFACE);
    }
    try {
        hosting::EventConnection connection(automation::makeRef<EventRaiser>(), "_Other", automation::DispatchPtr(sink));
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), hosting::CONNECT_E_NOCONNECTION);
    }
}

} // namespace
