// Choice texts of real cameras turned into the codes of the setting tables: the cases where a
// near miss would show the operator a wrong setting or hide a real one.
#include "../src/gphoto/Translate.h"

#include <gtest/gtest.h>

namespace camsdk::gp {
namespace {

TEST(TranslateTest, ShutterSpeedsInAnyNotationMatchTheirCode)
{
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1/125"), 0x70u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "0.0080s"), 0x70u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "30"), 0x10u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1\"3"), 0x35u);
    // Cut to four decimals, 1/800 s still matches and 1/1600 is not taken for 1/1500.
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "0.0012s"), 0x85u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1/1600"), 0x8Du);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1/1500"), 0x8Cu);
    // Shared labels: the third stop wins over the half stop.
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1/10"), 0x53u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "Auto"), 0x04u);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "bulb"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_TV, "1/12000"), std::nullopt);
}

TEST(TranslateTest, AperturesIsoAndCompensationMatchByValue)
{
    EXPECT_EQ(codeForChoice(CAM_PROP_AV, "f/5.6"), 0x30u);
    EXPECT_EQ(codeForChoice(CAM_PROP_AV, "5"), 0x2Du);
    EXPECT_EQ(codeForChoice(CAM_PROP_AV, "f/1.2"), 0x0Du);
    EXPECT_EQ(codeForChoice(CAM_PROP_AV, "f/0.95"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_ISO_SPEED, "100"), 0x48u);
    EXPECT_EQ(codeForChoice(CAM_PROP_ISO_SPEED, "Auto ISO"), 0x00u);
    EXPECT_EQ(codeForChoice(CAM_PROP_ISO_SPEED, "Hi 1"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_ISO_SPEED, "102"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "0"), 0x00u);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "-0.3"), 0xFDu);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "+1.7"), 0x0Du);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "-2.5"), 0xECu);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "-5"), 0xD8u);
    EXPECT_EQ(codeForChoice(CAM_PROP_EXPOSURE_COMPENSATION, "6"), std::nullopt);
}

TEST(TranslateTest, NamedChoicesMatchWhateverTheSpellingAndUnknownOnesAreLeftOut)
{
    EXPECT_EQ(codeForChoice(CAM_PROP_AE_MODE, "Manual"), 0x03u);
    EXPECT_EQ(codeForChoice(CAM_PROP_AE_MODE, "Aperture Priority"), 0x02u);
    EXPECT_EQ(codeForChoice(CAM_PROP_METERING_MODE, "Center-Weighted Average"), 0x05u);
    EXPECT_EQ(codeForChoice(CAM_PROP_METERING_MODE, "Average"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_WHITE_BALANCE, "Automatic"), 0x00u);
    EXPECT_EQ(codeForChoice(CAM_PROP_WHITE_BALANCE, "Underwater"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_IMAGE_QUALITY, "Large Fine JPEG"), 0x13FF0Fu);
    EXPECT_EQ(codeForChoice(CAM_PROP_IMAGE_QUALITY, "RAW + Large Fine JPEG"), std::nullopt);
    EXPECT_EQ(codeForChoice(CAM_PROP_PICTURE_STYLE, "Monochrome"), 0x86u);
    EXPECT_EQ(codeForChoice(CAM_PROP_EVF_AF_MODE, "Live face detection mode"), 0x02u);
    EXPECT_EQ(codeForChoice(CAM_PROP_SAVE_TO, "Internal RAM"), static_cast<uint32_t>(CAM_SAVE_TO_HOST));
    EXPECT_EQ(codeForChoice(CAM_PROP_SAVE_TO, "Memory card"), static_cast<uint32_t>(CAM_SAVE_TO_CAMERA));
    EXPECT_EQ(batteryPercent("50%"), 50u);
    EXPECT_EQ(batteryPercent("Full"), 100u);
    EXPECT_EQ(batteryPercent("unknown"), std::nullopt);
}

} // namespace
} // namespace camsdk::gp
