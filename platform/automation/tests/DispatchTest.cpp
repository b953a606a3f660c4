// The member-table dispatch base, reference counting and event sinks.
#include "automation/Dispatch.h"
#include "automation/Events.h"
#include "automation_test/ErrorCode.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using namespace automation;
using automation_test::codeOf;

int g_liveCounters = 0;

class Counter final : public DispatchObject {
public:
    Counter()
    {
        ++g_liveCounters;
        addMember("Value", 1, InvokeKind::PropertyGet, 0, [this](Arguments&) { return Variant(m_value); });
        addMember("Value", 1, InvokeKind::PropertyPut, 1, [this](Arguments& arguments) {
            m_value = arguments[0].toInt32();
            return Variant();
        });
        addMember("AddInto", 2, InvokeKind::Method, 2, [this](Arguments& arguments) {
            arguments[1].assign(Variant(m_value + arguments[0].toInt32()));
            return Variant(true);
        });
        addMember("Fail", 3, InvokeKind::Method, 0, [](Arguments&) -> Variant { throw std::runtime_error("broken"); });
    }
    ~Counter() override { --g_liveCounters; }

private:
    int32_t m_value = 0;
};

TEST(DispatchObject, InvokesMembersByNameAndId)
{
    const auto counter = makeRef<Counter>();
    EXPECT_EQ(counter->getIdsOfNames("value"), 1);
    invokeByName(*counter, "Value", InvokeKind::PropertyPut, {Variant(int32_t{4})});
    Variant sum;
    Arguments arguments{Variant(int32_t{3}), Variant::reference(sum)};
    EXPECT_TRUE(counter->invoke(2, InvokeKind::Method, arguments).toBool());
    EXPECT_EQ(sum.toInt32(), 7);
    // A property get called like a method, as automation clients do.
    EXPECT_EQ(invokeByName(*counter, "Value", InvokeKind::Method).toInt32(), 4);
}

TEST(DispatchObject, WrongCallsFailWithTheirCodes)
{
    const auto counter = makeRef<Counter>();
    EXPECT_EQ(codeOf([&] { counter->getIdsOfNames("Missing"); }), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(codeOf([&] { invokeByName(*counter, "Value", InvokeKind::PropertyGet, {Variant(true)}); }), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(codeOf([&] { invokeByName(*counter, "AddInto", InvokeKind::PropertyPut, {Variant(), Variant()}); }),
              DISP_E_MEMBERNOTFOUND);
    Arguments none;
    EXPECT_EQ(codeOf([&] { counter->invoke(99, InvokeKind::Method, none); }), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(codeOf([&] { invokeByName(*counter, "Value", InvokeKind::PropertyPut, {Variant("x")}); }), DISP_E_TYPEMISMATCH);
    // A standard exception from a handler must not escape as anything but an automation error.
    EXPECT_EQ(codeOf([&] { counter->invoke(3, InvokeKind::Method, none); }), DISP_E_EXCEPTION);
    EXPECT_EQ(codeOf([&] { requireInterface(*counter, "clsObjectSrc"); }), E_NOINTERFACE);
}

// Guards against leaks and double deletes: the object dies with its last reference.
TEST(Ref, ObjectLivesExactlyAsLongAsItsReferences)
{
    {
        const auto counter = makeRef<Counter>();
        DispatchPtr copy = counter;
        EXPECT_EQ(counter->referenceCount(), 2u);
        Variant holder(copy);
        copy.reset();
        EXPECT_EQ(counter->referenceCount(), 2u);
        Ref<Counter> adopted = Ref<Counter>::adopt(Ref<Counter>(counter).detach());
        EXPECT_EQ(counter->referenceCount(), 3u);
    }
    EXPECT_EQ(g_liveCounters, 0);
}

class Recorder final : public DispatchObject {
public:
    explicit Recorder(std::vector<std::string>& calls, std::string name, EventSource* source = nullptr)
    {
        addMember("AddImage", 1, InvokeKind::Method, 2, [&calls, name, source, this](Arguments& arguments) {
            calls.push_back(name + ":" + arguments[0].toString());
            arguments[1].assign(Variant(arguments[1].toInt32() + 1));
            if (source && m_cookie)
                source->unadvise(m_cookie);
            return Variant();
        });
        addMember("Broken", 2, InvokeKind::Method, 0, [](Arguments&) -> Variant { throw AutomationError(E_FAIL); });
    }
    uint32_t m_cookie = 0;
};

// Events reach every sink in order on the calling thread; sinks may write by-reference
// arguments, unadvise during the event, and a failing sink does not stop the others.
TEST(EventSource, FiresToEverySinkInAdviseOrder)
{
    EventSource source;
    std::vector<std::string> calls;
    const auto first = makeRef<Recorder>(calls, "first", &source);
    first->m_cookie = source.advise(first);
    source.advise(makeRef<Recorder>(calls, "second"));

    int32_t count = 0;
    Variant counter(count);
    Arguments arguments{Variant("/tmp/a.jpg"), Variant::reference(counter)};
    source.fire(1, arguments);
    EXPECT_EQ(calls, (std::vector<std::string>{"first:/tmp/a.jpg", "second:/tmp/a.jpg"}));
    EXPECT_EQ(counter.toInt32(), 2);
    EXPECT_EQ(source.sinkCount(), 1u);

    Arguments none;
    EXPECT_NO_THROW(source.fire(2, none));
    EXPECT_FALSE(source.unadvise(first->m_cookie));
    EXPECT_THROW(source.advise(nullptr), AutomationError);
}

} // namespace
