// One simulated camera body: its configuration, its property values and the state that calls
// and camera-side happenings change (session, connection, live-view zoom, autofocus).
//
// Threading: not locked itself; the SDK's state lock guards every body.
#pragma once

#include "camsdk/CamSdk.h"
#include "camsdk/Simulator.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <memory>
#include <array>
#include <vector>

namespace camsdk::detail {

// A property value as the SDK hands it out: its data type and its bytes.
struct PropertyBytes {
    CamDataType type = CAM_DATATYPE_UNKNOWN;
    std::vector<uint8_t> bytes;
};

// One registered event handler: the event it was registered for (or the kind's "all" value)
// and the context it is called with.
template <typename Handler>
struct Registration {
    Handler handler = nullptr;
    uint32_t event = 0;
    void* context = nullptr;

    bool takes(uint32_t all, uint32_t raised) const { return handler && (event == all || event == raised); }
};

struct Handlers {
    Registration<CamPropertyEventHandler> property;
    Registration<CamObjectEventHandler> object;
    Registration<CamStateEventHandler> state;
};

class Body final {
public:
    explicit Body(sim::BodyConfig config);

    const sim::BodyConfig& config() const { return m_config; }

    // Null when the body has no such property.
    std::optional<PropertyBytes> read(CamPropertyID property) const;
    // CAM_ERR_OK or the reason the write is refused; on success the value is stored.
    CamError write(CamPropertyID property, const void* data, uint32_t size);
    bool describe(CamPropertyID property, CamPropertyDesc& desc) const;

    uint32_t value(CamPropertyID property) const;
    bool hasProperty(CamPropertyID property) const;
    void setValue(CamPropertyID property, uint32_t value);
    void setAllowed(CamPropertyID property, std::vector<uint32_t> allowed);

    CamSize coordinateSystem() const;
    CamSize zoomSize() const;
    CamRect zoomRect() const;
    CamPoint zoomPosition() const { return m_zoomPosition; }
    CamFocusInfo focusInfo() const;
    void setJustFocus(bool focused) { m_justFocus = focused; }

    bool connected = true;
    bool sessionOpen = false;
    bool physicalShutterScheduled = false;
    std::optional<CamError> autofocusFailure;
    uint64_t autofocusGeneration = 0;
    uint32_t frameCounter = 0;
    // When the last live-view frame handed out was due; frames are due on a grid of the
    // body's frame interval from the first one.
    std::optional<std::chrono::steady_clock::time_point> lastFrameDue;
    // Live-view frames already compressed, by their place in the scene's loop, for the view
    // they show (a new view drops them): a camera idling in live view shows the same loop
    // over and over, and compressing each frame once keeps the simulation from costing the
    // host a core that a real camera spends on its own processor.
    struct LiveViewFrames {
        std::array<double, 5> view{};
        int width = 0;
        int height = 0;
        std::vector<std::shared_ptr<const std::vector<uint8_t>>> frames;
    };
    LiveViewFrames liveViewFrames;
    Handlers handlers;

private:
    CamPoint clampZoomPosition(CamPoint point) const;

    sim::BodyConfig m_config;
    CamPoint m_zoomPosition{};
    bool m_justFocus = false;
};

} // namespace camsdk::detail
