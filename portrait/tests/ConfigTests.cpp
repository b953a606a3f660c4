// Reading a station's portrait-check keys: defaults, the host's Y/N reading, the view list and
// the limits, with values that cannot be used falling back to their defaults.
//
// Threading: single test thread.
#include "portrait/PortraitCheck.h"

#include <gtest/gtest.h>

#include <map>

namespace portrait::test {
namespace {

PortraitConfig read(const std::map<std::string, std::string, std::less<>>& station)
{
    return readPortraitConfig([&](std::string_view key) -> std::optional<std::string> {
        const auto found = station.find(key);
        return found == station.end() ? std::nullopt : std::optional<std::string>(found->second);
    });
}

// Guards against checks switched on, or limits changed, by a station that sets nothing.
TEST(PortraitConfigReading, AStationWithoutKeysHasTheChecksOffAndTheDefaultLimits)
{
    const PortraitConfig config = read({});
    EXPECT_FALSE(config.enabled);
    EXPECT_FALSE(config.askBeforeAdd);
    EXPECT_EQ(config.views, (std::vector<std::string>{"FaceFront", "FaceGlasses"}));
    EXPECT_TRUE(config.checksFaceOf("FaceFront"));
    EXPECT_TRUE(config.checksFaceOf("FaceGlasses"));
    EXPECT_FALSE(config.checksFaceOf("FaceSide"));
    EXPECT_FALSE(config.checksFaceOf("SMT"));
    EXPECT_EQ(config.limits.faceHeightMin, PortraitLimits{}.faceHeightMin);
    EXPECT_EQ(config.limits.minHeight, 600);
    EXPECT_GT(config.limits.sharpnessMin, 0.0) << "the calibrated default catches a blurred face";
}

// Guards against flags read otherwise than the host's own ("Y"/"YES" in any case), a view list
// that keeps blanks or empty names, and "*" not reaching every view.
TEST(PortraitConfigReading, FlagsAndViewsReadAsTheHostWritesThem)
{
    for (const char* yes : {"Y", "y", "YES", "Yes", " yes "}) {
        const PortraitConfig config = read({{"PC_Enabled", yes}, {"PC_AskBeforeAdd", yes}});
        EXPECT_TRUE(config.enabled) << yes;
        EXPECT_TRUE(config.askBeforeAdd) << yes;
    }
    for (const char* no : {"N", "1", "true", "", "YESS"}) {
        EXPECT_FALSE(read({{"PC_Enabled", no}}).enabled) << no;
    }
    const PortraitConfig listed = read({{"PC_Views", " FaceFront , SMT,,Other "}});
    EXPECT_EQ(listed.views, (std::vector<std::string>{"FaceFront", "SMT", "Other"}));
    EXPECT_TRUE(listed.checksFaceOf("SMT"));
    EXPECT_FALSE(listed.checksFaceOf("FaceGlasses"));
    const PortraitConfig all = read({{"PC_Views", "*"}});
    for (const char* view : {"FaceFront", "FaceGlasses", "FaceSide", "SMT", "Other"}) {
        EXPECT_TRUE(all.checksFaceOf(view)) << view;
    }
    EXPECT_FALSE(read({{"PC_Views", ""}}).checksFaceOf("FaceFront")) << "an empty list names no view";
}

// Guards against a key being lost, read into the wrong limit, or a bad value (text, a
// negative number, a range upside down) turning into a limit nothing can meet.
TEST(PortraitConfigReading, LimitsReadEveryKeyAndKeepDefaultsForUnusableValues)
{
    const PortraitConfig config = read({{"PC_FaceHeightMin", "55"},     {"PC_FaceHeightMax", "75.5"},
                                        {"PC_CentreOffsetMax", "4"},    {"PC_EyeLineMin", "32"},
                                        {"PC_EyeLineMax", "48"},        {"PC_SharpnessMin", "25"},
                                        {"PC_BrightnessMin", "90"},     {"PC_BrightnessMax", "190"},
                                        {"PC_HighlightsMax", "1.5"},    {"PC_ShadowsMax", "3"},
                                        {"PC_MinWidth", "640"},         {"PC_MinHeight", " 800 "},
                                        {"PC_MinBytesPerPixel", "0.12"}});
    const PortraitLimits& limits = config.limits;
    EXPECT_EQ(limits.faceHeightMin, 55);
    EXPECT_EQ(limits.faceHeightMax, 75.5);
    EXPECT_EQ(limits.centreOffsetMax, 4);
    EXPECT_EQ(limits.eyeLineMin, 32);
    EXPECT_EQ(limits.eyeLineMax, 48);
    EXPECT_EQ(limits.sharpnessMin, 25);
    EXPECT_EQ(limits.brightnessMin, 90);
    EXPECT_EQ(limits.brightnessMax, 190);
    EXPECT_EQ(limits.highlightsMax, 1.5);
    EXPECT_EQ(limits.shadowsMax, 3);
    EXPECT_EQ(limits.minWidth, 640);
    EXPECT_EQ(limits.minHeight, 800);
    EXPECT_EQ(limits.minBytesPerPixel, 0.12);

    const PortraitLimits defaults;
    const PortraitConfig unusable = read({{"PC_CentreOffsetMax", "five"}, {"PC_SharpnessMin", "-3"},
                                          {"PC_HighlightsMax", "2%"},     {"PC_ShadowsMax", "nan"},
                                          {"PC_MinWidth", "1e12"},        {"PC_MinHeight", ""},
                                          {"PC_FaceHeightMin", "85"},     {"PC_FaceHeightMax", "60"},
                                          {"PC_BrightnessMax", "50"}});
    EXPECT_EQ(unusable.limits.centreOffsetMax, defaults.centreOffsetMax);
    EXPECT_EQ(unusable.limits.sharpnessMin, defaults.sharpnessMin);
    EXPECT_EQ(unusable.limits.highlightsMax, defaults.highlightsMax);
    EXPECT_EQ(unusable.limits.shadowsMax, defaults.shadowsMax);
    EXPECT_EQ(unusable.limits.minWidth, defaults.minWidth);
    EXPECT_EQ(unusable.limits.minHeight, defaults.minHeight);
    EXPECT_EQ(unusable.limits.faceHeightMin, defaults.faceHeightMin) << "a range upside down keeps both defaults";
    EXPECT_EQ(unusable.limits.faceHeightMax, defaults.faceHeightMax);
    EXPECT_EQ(unusable.limits.brightnessMin, defaults.brightnessMin);
    EXPECT_EQ(unusable.limits.brightnessMax, defaults.brightnessMax);
}

} // namespace
} // namespace portrait::test
