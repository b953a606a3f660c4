// Variant conversions and by-reference slots, and the texts of automation error codes.
#include "automation/Error.h"
#include "automation/Variant.h"
#include "automation_test/ErrorCode.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace automation;
using automation_test::codeOf;

TEST(Variant, ConvertsBetweenNumbersTextAndBool)
{
    EXPECT_EQ(Variant(int16_t{-3}).toString(), "-3");
    EXPECT_EQ(Variant(2.5).toString(), "2.5");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant(" 42 ").toInt32(), 42);
    EXPECT_EQ(Variant("2.5").toInt32(), 2);   // half to even
    EXPECT_EQ(Variant(3.5f).toInt32(), 4);
    EXPECT_EQ(Variant(true).toInt32(), -1);
    EXPECT_TRUE(Variant("TRUE").toBool());
    EXPECT_FALSE(Variant("0").toBool());
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant().toInt32(), 0);
}

// Failures must be reported with the automation codes callers test for, never a crash.
TEST(Variant, FailedConversionsRaiseTypeMismatchOrOverflow)
{
    EXPECT_EQ(codeOf([] { Variant("abc").toInt32(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(codeOf([] { Variant("12abc").toInt32(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(codeOf([] { Variant("yes").toBool(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(codeOf([] { Variant(DispatchPtr()).toString(); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(codeOf([] { Variant(int32_t{40000}).toInt16(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(codeOf([] { Variant(1e12).toInt32(); }), DISP_E_OVERFLOW);
    EXPECT_EQ(codeOf([] { Variant(int32_t{1}).toDispatch(); }), DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(Variant().toDispatch());
}

// The standard parser reads "nan" and "inf"; as numbers they would reach integer casts.
TEST(Variant, NanAndInfinityTextsAreNoNumbers)
{
    for (const char* text : {"nan", "NaN", "-nan", "inf", "+inf", "-Infinity", "1e3"}) {
        EXPECT_EQ(codeOf([text] { Variant(text).toDouble(); }), DISP_E_TYPEMISMATCH) << text;
        EXPECT_EQ(codeOf([text] { Variant(text).toInt16(); }), DISP_E_TYPEMISMATCH) << text;
        EXPECT_EQ(codeOf([text] { Variant(text).toBool(); }), DISP_E_TYPEMISMATCH) << text;
    }
    EXPECT_EQ(codeOf([] { Variant(std::numeric_limits<double>::quiet_NaN()).toInt32(); }), DISP_E_OVERFLOW);
}

// Out and in/out arguments: a callee writes through the slot into the caller's Variant.
TEST(Variant, ReferenceSlotsWriteThroughToTheTarget)
{
    Variant target("before");
    Variant slot = Variant::reference(target);
    Variant nested = Variant::reference(slot);
    EXPECT_TRUE(slot.isReference());
    EXPECT_EQ(nested.valueType(), VarType::String);
    nested.assign(Variant(int32_t{9}));
    EXPECT_EQ(target.type(), VarType::Int32);
    EXPECT_EQ(slot.toInt32(), 9);
    // Assigning a slot stores the value it refers to, never a slot to itself.
    target.assign(slot);
    EXPECT_EQ(target.type(), VarType::Int32);
}

TEST(Variant, SlotCycleIsAnErrorNotAHang)
{
    Variant first;
    Variant second = Variant::reference(first);
    first = Variant::reference(second);
    EXPECT_EQ(codeOf([&] { first.toString(); }), DISP_E_BADVARTYPE);
}

// The configuration readers show these texts; the three rules must hold exactly.
TEST(ErrorMessage, SystemTextElseIDispatchNumberElseUnknown)
{
    EXPECT_EQ(errorMessage(DISP_E_TYPEMISMATCH), "Type mismatch.");
    EXPECT_EQ(errorMessage(REGDB_E_CLASSNOTREG), "Class not registered");
    EXPECT_EQ(errorMessage(hresultFromBits(0x80040250u)), "IDispatch error #80");
    EXPECT_EQ(errorMessage(SELFREG_E_CLASS), "IDispatch error #1");
    EXPECT_EQ(errorMessage(hresultFromBits(0x8004FFFFu)), "IDispatch error #65023");
    // The base code itself has no number of its own, nor has the code after the range.
    EXPECT_EQ(errorMessage(SELFREG_E_TYPELIB), "Unknown error 0x80040200");
    EXPECT_EQ(errorMessage(hresultFromBits(0x80050000u)), "Unknown error 0x80050000");
    EXPECT_EQ(errorMessage(hresultFromBits(0x80001234u)), "Unknown error 0x80001234");
    EXPECT_EQ(errorMessage(hresultFromBits(0x1Au)), "Unknown error 0x1A");
    EXPECT_EQ(AutomationError(E_FAIL).text(), "Unspecified error");
    EXPECT_EQ(AutomationError(E_FAIL, "Disk full").text(), "Disk full");
}

} // namespace
