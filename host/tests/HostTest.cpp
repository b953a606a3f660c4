// The host's classes driven through the class registry, as clients and plug-ins use them.
#include "hostapi/ObjectSource.h"
#include "host_test/HostFixture.h"

#include <gtest/gtest.h>

namespace {

using automation::Arguments;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;
using host_test::HostFixture;

struct Reading {
    bool present;
    Variant value;
};

Reading getSetting(automation::Dispatch& reader, Variant config, const std::string& group, const std::string& key)
{
    Reading reading{false, Variant("untouched")};
    Arguments arguments{Variant::reference(config), Variant(group), Variant(key), Variant::reference(reading.value)};
    reading.present = reader.invoke(host::kGetSettingDispId, InvokeKind::Method, arguments).toBool();
    return reading;
}

using HostClasses = HostFixture;

// Guards the call shape of GetSetting: present keys are written through the out slot,
// groups and keys ignore case, absent keys answer false.
TEST_F(HostClasses, GetSettingReadsTheStoreByGroupAndKey)
{
    setSetting("0", "ImportTempPath", "/data/import");
    setSetting("Station7", "ED_OkLabel", "");
    const automation::DispatchPtr reader = automation::createObject(host::kSettingsReaderClassId);

    const Reading folder = getSetting(*reader, config(), "0", "importtemppath");
    EXPECT_TRUE(folder.present);
    EXPECT_EQ(folder.value.toString(), "/data/import");
    const Reading empty = getSetting(*reader, config(), "station7", "ED_OkLabel");
    EXPECT_TRUE(empty.present);
    EXPECT_EQ(empty.value.toString(), "");
    const Reading absent = getSetting(*reader, config(), "Station7", "ImportTempPath");
    EXPECT_FALSE(absent.present);
    EXPECT_EQ(absent.value.toString(), "untouched");
}

// The configuration travels by reference: a redirecting store makes GetSetting hand the
// caller a configuration naming the other store, and read from there.
TEST_F(HostClasses, RedirectedStoreReplacesTheCallersConfiguration)
{
    const std::string other = (m_folder / "other.ini").string();
    setSetting(host::kFaultSection, host::kRedirectKey, other);
    setSetting("S", "ED_Av", "first store");
    ASSERT_TRUE(vesk::profile::writeString(other, "S", "ED_Av", "other store"));
    const automation::DispatchPtr reader = automation::createObject(host::kSettingsReaderProgId);
    Variant caller(m_config);
    Variant value;
    Arguments arguments{Variant::reference(caller), Variant("S"), Variant("ED_Av"), Variant::reference(value)};
    EXPECT_TRUE(reader->invoke(host::kGetSettingDispId, InvokeKind::Method, arguments).toBool());
    EXPECT_EQ(value.toString(), "other store");
    ASSERT_FALSE(caller.toDispatch() == m_config);
    EXPECT_EQ(automation::invokeByName(*caller.toDispatch(), "StorePath", InvokeKind::PropertyGet).toString(), other);
}

TEST_F(HostClasses, GetSettingWithoutAStoreFileReportsEveryKeyAbsent)
{
    const automation::DispatchPtr reader = automation::createObject(host::kSettingsReaderProgId);
    EXPECT_FALSE(getSetting(*reader, config(), "0", "DebugLogLevel").present);
}

TEST_F(HostClasses, GetSettingRejectsMissingConfigurationAndBadArgumentCount)
{
    const automation::DispatchPtr reader = automation::createObject(host::kSettingsReaderProgId);
    try {
        getSetting(*reader, Variant(), "0", "x");
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), automation::E_POINTER);
    }
    Arguments tooFew{config(), Variant("0")};
    try {
        reader->invoke(host::kGetSettingDispId, InvokeKind::Method, tooFew);
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), automation::DISP_E_BADPARAMCOUNT);
    }
}

// The error paths of the readers depend on the host failing on purpose, by key or for all.
TEST_F(HostClasses, FaultInjectionFailsChosenKeysWithTheChosenCode)
{
    setSetting("S", "ED_Av", "5.6");
    setSetting("S", "ED_Tv", "1/60");
    const automation::DispatchPtr reader = automation::createObject(host::kSettingsReaderProgId);

    setSetting(host::kFaultSection, host::kFaultKey, "ed_tv:80040250");
    EXPECT_TRUE(getSetting(*reader, config(), "S", "ED_Av").present);
    try {
        getSetting(*reader, config(), "S", "ED_Tv");
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(static_cast<uint32_t>(error.code()), 0x80040250u);
        EXPECT_NE(error.description().find("ED_Tv"), std::string::npos);
    }

    ::setenv(host::kFaultEnvironmentVariable, "*", 1);
    try {
        getSetting(*reader, config(), "S", "ED_Av");
        FAIL() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.code(), automation::E_FAIL);
    }
}

TEST_F(HostClasses, ConfigurationWritesItsStore)
{
    automation::invokeByName(*m_config, "SetValue", InvokeKind::Method, {Variant("12"), Variant("ED_Iso"), Variant("400")});
    EXPECT_EQ(vesk::profile::readString(m_storePath, "12", "ED_Iso", ""), "400");
}

TEST_F(HostClasses, ObjectSetCountsAndListsImageObjects)
{
    const automation::DispatchPtr set = automation::createObject(host::kObjectSetProgId);
    EXPECT_EQ(automation::invokeByName(*set, "Count", InvokeKind::PropertyGet).toInt32(), 0);
    for (int index = 1; index <= 2; ++index) {
        const automation::DispatchPtr image = automation::createObject(host::kImageObjectProgId);
        for (const host::ImageProperty& property : host::kImageProperties) {
            Arguments value{Variant(std::string(property.name) + std::to_string(index))};
            image->invoke(property.id, InvokeKind::PropertyPut, value);
        }
        automation::invokeByName(*set, "Add", InvokeKind::Method, {Variant(image)});
    }
    EXPECT_EQ(automation::invokeByName(*set, "Count", InvokeKind::PropertyGet).toInt32(), 2);
    // Every property of every object reads back what was put, by name and by DISPID.
    for (int index = 1; index <= 2; ++index) {
        const automation::DispatchPtr image =
            automation::invokeByName(*set, "Item", InvokeKind::PropertyGet, {Variant(int32_t{index})}).toDispatch();
        ASSERT_TRUE(image);
        for (const host::ImageProperty& property : host::kImageProperties) {
            const std::string expected = std::string(property.name) + std::to_string(index);
            EXPECT_EQ(automation::invokeByName(*image, property.name, InvokeKind::PropertyGet).toString(), expected);
            Arguments none;
            EXPECT_EQ(image->invoke(property.id, InvokeKind::PropertyGet, none).toString(), expected);
        }
    }
    EXPECT_THROW(automation::invokeByName(*set, "Item", InvokeKind::PropertyGet, {Variant(int32_t{3})}), AutomationError);
    EXPECT_THROW(automation::invokeByName(*set, "Add", InvokeKind::Method, {Variant()}), AutomationError);
}

// A plug-in implementing clsObjectSrc: the table must route each member to its operation.
class StoringSource final : public host::ObjectSource {
public:
    int16_t whiteBalance = 0;
    std::string group;

protected:
    automation::DispatchPtr LastError() override { return nullptr; }
    bool Acquire(Variant& objectSet, bool) override
    {
        objectSet.assign(Variant(automation::createObject(host::kObjectSetProgId)));
        return true;
    }
    bool SetConfig(automation::DispatchPtr config, std::string parentGroupId) override
    {
        group = std::move(parentGroupId);
        return static_cast<bool>(config);
    }
    int16_t WhiteBalance() override { return whiteBalance; }
    void SetWhiteBalance(int16_t value) override { whiteBalance = value; }
};

TEST_F(HostClasses, ObjectSourceInterfaceRoutesMembersByDispId)
{
    const auto source = automation::makeRef<StoringSource>();
    EXPECT_NO_THROW(automation::requireInterface(*source, host::kObjectSourceInterface));
    Arguments put{Variant(int16_t{5})};
    source->invoke(host::kWhiteBalanceDispId, InvokeKind::PropertyPut, put);
    Arguments none;
    EXPECT_EQ(source->invoke(host::kWhiteBalanceDispId, InvokeKind::PropertyGet, none).toInt32(), 5);
    EXPECT_FALSE(source->invoke(host::kLastErrorDispId, InvokeKind::PropertyGet, none).toDispatch());

    Arguments setConfig{config(), Variant("S1")};
    EXPECT_TRUE(source->invoke(host::kSetConfigDispId, InvokeKind::Method, setConfig).toBool());
    EXPECT_EQ(source->group, "S1");

    Variant objectSet(int32_t{7});
    Arguments acquire{Variant::reference(objectSet), Variant(false)};
    EXPECT_TRUE(source->invoke(host::kAcquireDispId, InvokeKind::Method, acquire).toBool());
    ASSERT_TRUE(objectSet.toDispatch());
    EXPECT_EQ(automation::invokeByName(*objectSet.toDispatch(), "Count", InvokeKind::PropertyGet).toInt32(), 0);
}

} // namespace
