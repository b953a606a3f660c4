// Portrait checks: what an identity-document office would reject in a processed picture (one
// frontal face of the right size, centred, eyes at the right height, sharp, well exposed, and
// a picture large and finely enough compressed), measured before the picture is added.
//
// Threading: a PortraitChecker is used by one thread at a time; the free functions are pure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace portrait {

// The limits a station sets. Shares are percentages; brightness is 0-255.
struct PortraitLimits {
    double faceHeightMin = 50.0;      // face box height, % of the picture height
    double faceHeightMax = 80.0;
    double centreOffsetMax = 5.0;     // face centre from picture centre, % of the picture width
    double eyeLineMin = 30.0;         // eye line, % of the picture height from the top
    double eyeLineMax = 50.0;
    // Variance of the Laplacian of the grey face box scaled to 200 rows. Calibrated on the
    // simulated camera's face at 800 rows: sharp 250-330, blur radius 0.2% of the height 67-178,
    // 0.4% 28-95, 0.8% 10-30.
    double sharpnessMin = 60.0;
    double brightnessMin = 80.0;      // mean brightness of the face box
    double brightnessMax = 200.0;
    double highlightsMax = 2.0;       // % of face pixels at 250 or above
    double shadowsMax = 2.0;          // % of face pixels at 5 or below
    int minWidth = 480;               // pixels
    int minHeight = 600;
    double minBytesPerPixel = 0.0;    // saved JPEG bytes per pixel; 0 = not checked
};

// A station's portrait checks: off by default, and then nothing is checked.
struct PortraitConfig {
    bool enabled = false;
    // Views whose face is checked (a side view has no frontal face); "*" checks every view.
    std::vector<std::string> views = {"FaceFront", "FaceGlasses"};
    bool askBeforeAdd = false;        // false: findings only warn
    PortraitLimits limits;

    bool checksFaceOf(std::string_view viewName) const;
};

// Reads a station's keys through `get` (a missing key keeps its default; a value that does not
// read as the key's kind keeps the default too). The keys and their defaults are listed in
// the README.
using SettingLookup = std::function<std::optional<std::string>(std::string_view key)>;
PortraitConfig readPortraitConfig(const SettingLookup& get);

enum class Check {
    FaceCount,
    FaceHeight,
    FaceCentre,
    EyeLine,
    Sharpness,
    Brightness,
    Highlights,
    Shadows,
    PictureSize,
    Compression,
};

struct Rectangle {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// One measurement against its limit. `text` reads as the operator is told it, e.g.
// "face too small (48% of height, 50-80% wanted)" for a failure, or
// "face height 62% of height (50-80%)" for a pass.
// Limits that have no upper end (sharpness, picture size, compression) carry an infinite
// `high`; those without a lower end (centre offset, clipping) a `low` of 0. A picture size
// finding holds the width and minimum width, or the height and minimum height when only the
// height falls short; its text names both.
struct Finding {
    Check check = Check::FaceCount;
    bool passed = false;
    double value = 0.0;
    double low = 0.0;
    double high = 0.0;
    std::string text;
};

struct PortraitReport {
    std::vector<Finding> findings;
    std::optional<Rectangle> face;    // in picture pixels, when exactly one face was found
    std::optional<int> eyeLine;       // picture row of the eyes, when they were found
    double faceSearchMilliseconds = 0.0; // time spent finding faces and eyes (for measurements)

    bool passed() const;
    // The failed findings' texts joined with ", "; empty when all passed.
    std::string failures() const;
};

// The processed picture as it will be saved: 8-bit pixels, rows `stride` bytes apart,
// 1 (grey), 3 (B, G, R) or 4 (B, G, R, A) channels. check() throws std::invalid_argument for a
// view that does not describe such a picture (no pixels, no size, rows shorter than a line).
struct PictureView {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int channels = 3;
    uint64_t savedBytes = 0;          // size of the saved JPEG; 0 = not known, not checked
};

class PortraitChecker final {
public:
    // Loads the frontal-face and eye cascades from `cascadeFolder` (empty: the system's
    // OpenCV data folder). Throws std::runtime_error naming the file when one cannot be read.
    explicit PortraitChecker(const std::string& cascadeFolder = {});
    ~PortraitChecker();
    PortraitChecker(const PortraitChecker&) = delete;
    PortraitChecker& operator=(const PortraitChecker&) = delete;

    // Size and compression always; the face checks when `checkFace`.
    PortraitReport check(const PictureView& picture, const PortraitLimits& limits, bool checkFace) const;

private:
    struct Detectors;
    std::unique_ptr<Detectors> m_detectors;
};

} // namespace portrait
