// Control interface of the simulated camera behind the camera SDK: tests and tools configure
// the simulated bodies, inject faults, trigger camera-side happenings and read back what the
// SDK was asked to do.
//
// Threading: every function may be called from any thread; the simulator serializes them.
#pragma once

#include "camsdk/CamSdk.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace camsdk::sim {

// One 32-bit property of a simulated body with its allowed values. An empty allowed list
// means the camera accepts any value and describes none.
struct PropertySetting {
    uint32_t value = 0;
    std::vector<uint32_t> allowed;
};

struct BodyConfig {
    std::string modelName = "Vesk Simulated Camera";
    std::string bodyId = "1234567890";   // reported as text; may be negative, e.g. "-5"
    std::string port = "usb:001,004";
    uint32_t deviceSubType = 1;          // 0 = older body, driven with a legacy model
    int exifOrientation = 1;             // 1, 3, 6 or 8, written into every shot
    int shotWidth = 1536;
    int shotHeight = 1024;
    int shotQuality = 92;
    int liveViewWidth = 1024;
    int liveViewHeight = 680;
    // Live-view frames the body sends per second: a download asked for before the next frame
    // is due waits for it. 0 hands out a frame on every download at once.
    int liveViewFramesPerSecond = 30;
    int physicalShutterDelayMs = -1;     // >= 0: the body's own button fires once after this delay
    bool rejectsShutterButton = false;   // older bodies answer command 4 with 0x60
    std::map<CamPropertyID, PropertySetting> properties; // filled with defaults by makeDefaultBody
};

// What the simulated sensor sees of the person, so that a picture's truth is known: where the
// face is and how large, whether there is one, how sharp and how bright the picture is.
// Fractions are of the sensor's height (sizes and vertical places) and width (horizontal place).
struct SceneConfig {
    bool facePresent = true;
    double faceCentreX = 0.5;    // centre of the face, share of the width from the left
    double faceCentreY = 0.45;   // centre of the face, share of the height from the top
    double faceHeight = 0.34;    // chin to hairline, share of the height
    double blur = 0.0;           // blur radius, share of the height (0 = sharp)
    double exposure = 1.0;       // brightness factor of the whole scene (1 = as lit)
};

struct SimConfig {
    std::vector<BodyConfig> bodies;
    int propertyEventDelayMs = 10;   // delay between a write and its 0x101 event
    int downloadChunkBytes = 64 * 1024; // one progress call per chunk
    int autofocusDelayMs = 100;      // live-view autofocus: time until the selected point is in focus
    std::string imageFilePrefix = "IMG_"; // shots are named IMG_0001.JPG, IMG_0002.JPG, ...
    SceneConfig scene;
};

// A body with every property the system reads or writes and realistic allowed lists.
BodyConfig makeDefaultBody();
// The port a body reports unless one is configured: "usb:001,004" for the first body (index 0),
// "usb:001,005" for the second, and so on, so that no two bodies share a port.
std::string defaultPort(size_t index);
// The built-in world: one default body.
SimConfig makeDefaultConfig();
// Reads an INI file; keys it lacks keep the built-in defaults.
SimConfig loadConfigFile(const std::string& path);

// Replaces the simulated world. Live handles and registered handlers stay as they are;
// meant to be called between SDK sessions (before CamInitializeSDK).
void configure(const SimConfig& config);
// Back to the world named by VESK_CAMERA_SIM (or the built-in one), with no faults,
// no journal and zeroed handle accounting. Tests call it in their set-up.
void reset();

// ---- Fault injection -----------------------------------------------------------------------
// The next `count` calls of `function` (a call name such as "CamGetPropertyData") return
// `code`; with `property`, only calls about that property count. Without effect on the state.
void injectFault(const std::string& function, CamError code, int count = 1,
                 std::optional<CamPropertyID> property = std::nullopt);
void clearFaults();

// Camera-side happenings, delivered from the SDK's event thread.
void disconnect(int body = 0);                       // state event 0x301, later calls fail 0xC1
void reconnect(int body = 0);                        // the body is back in the camera list (new handles work)
void failNextAutofocus(int body = 0, CamError code = CAM_ERR_TAKE_PICTURE_AF_NG); // next shot raises 0x305 instead of a picture
void pressPhysicalShutter(int body = 0, int delayMs = 0);  // as the operator pressing the button
void setProperty(int body, CamPropertyID property, uint32_t value);   // raises 0x101
void setAllowedValues(int body, CamPropertyID property, std::vector<uint32_t> allowed); // raises 0x102
void raiseObjectEvent(int body, CamObjectEvent event, bool withItem); // an extra object event
void raiseStateEvent(int body, CamStateEvent event, uint32_t parameter);
void raisePropertyEvent(int body, CamPropertyEvent event, CamPropertyID property, uint32_t parameter);

// Waits until the event thread has delivered everything raised so far (false on time-out).
bool waitForEventsDelivered(int timeoutMs = 5000);

// ---- What the SDK was asked ----------------------------------------------------------------
struct Call {
    std::string function;     // "CamSetPropertyData", ...
    uint32_t property = 0;    // property ID, command code or status command, where one applies
    int64_t argument = 0;     // parameter or value written (first 32-bit word), where one applies
    int64_t argument2 = 0;    // second 32-bit word of a value written (points), else 0
    CamError result = 0;
};
std::vector<Call> journal();
void clearJournal();

// Current value of a 32-bit property of a body as the camera holds it.
uint32_t propertyValue(int body, CamPropertyID property);
CamPoint zoomPosition(int body = 0);
// When the last live-view frame the body handed out was due (empty before the first one), so
// that a caller can measure how late a frame reaches the screen.
std::optional<std::chrono::steady_clock::time_point> lastLiveViewFrameDue(int body = 0);

// ---- Handle accounting ---------------------------------------------------------------------
size_t liveHandleCount();
// Live handles left when CamTerminateSDK last ran (0 when all were released first).
size_t handlesLiveAtLastTerminate();
// CamRelease calls made on handles that were not live (double releases and the like).
size_t invalidReleaseCount();
// SDK initializations still open (CamInitializeSDK without CamTerminateSDK).
int initializeDepth();

} // namespace camsdk::sim
