// One real camera reached through libgphoto2: its session, the mapped properties as last read,
// captures, downloads and preview frames. libgphoto2 is not thread-safe per camera, so every
// libgphoto2 call for a camera runs on that camera's own thread.
// Threading: public members may be called from any thread; they hand the work to the camera's
// thread and wait for it. The callbacks are called on the camera's thread with no lock held.
#pragma once

#include "../Body.h"
#include "camsdk/CamSdk.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

typedef struct _Camera Camera;
typedef struct _GPContext GPContext;
typedef struct _CameraWidget CameraWidget;

namespace camsdk::gp {

// A camera found by auto-detection.
struct Detected {
    std::string model;
    std::string port;
};

// A picture on the camera, announced by an object event.
struct Picture {
    std::string folder;
    std::string name;
    uint64_t size = 0;
    // Captured into the camera's memory for the host (save-to host): deleted once downloaded.
    bool inHostMemory = false;
};

// A mapped property as last read from the camera.
struct PropertyState {
    std::string widget;
    uint32_t value = 0xFFFFFFFF; // 0xFFFFFFFF when the current choice has no code
    std::vector<uint32_t> allowed;
    std::vector<std::string> choiceTexts; // the camera's text for each allowed code
    bool writable = false;
};

struct CameraCallbacks {
    std::function<void(CamPropertyEvent, CamPropertyID)> property;
    std::function<void(const Picture&)> picture;
    // 0x301 once when the camera has gone, 0x305 with the code when a shot failed.
    std::function<void(CamStateEvent, uint32_t)> state;
};

// The camera-side code of a libgphoto2 result; says on stderr what the operator can do about
// the causes they can act on.
CamError codeOf(int result, const std::string& port);

class Camera final {
public:
    Camera(Detected detected, CameraCallbacks callbacks);
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;
    ~Camera();

    const Detected& detected() const { return m_detected; }
    bool sessionOpen() const;
    bool gone() const;

    CamError openSession();
    CamError closeSession();
    // From the last reading; no call to the camera.
    CamError read(CamPropertyID property, detail::PropertyBytes& out) const;
    CamError describe(CamPropertyID property, CamPropertyDesc& desc) const;
    CamError write(CamPropertyID property, uint32_t value);
    // Live-view autofocus and lens driving: nothing to do when autofocus is to stop.
    CamError command(CamCameraCommand command, int32_t parameter);
    CamError capture();
    CamError fetch(const Picture& picture, std::vector<uint8_t>& bytes);
    CamError remove(const Picture& picture);
    CamError preview(std::vector<uint8_t>& jpeg);
    // Ends the camera's thread, closing the session first.
    void stop();

private:
    CamError runOnThread(std::function<CamError()> work);
    void threadMain();
    // The code of a failed libgphoto2 call; ends the session when it shows the camera has gone
    // (an I/O error, or time-outs for longer than a few seconds).
    CamError failed(int result);
    // A libgphoto2 result: a success shows the camera answers.
    int checked(int result);
    bool stalling() const { return m_timeoutSince.has_value(); }
    // After a time-out: asks the camera something small, to learn whether it answers again.
    void probe();
    void closeLocked();
    void pollEvents();
    // Reads every mapped property; raises change events, or announces all when `announce`.
    void refreshProperties(bool announce);
    // Reads the mapped properties shown by these widgets, one widget at a time.
    void refreshWidgets(const std::set<std::string>& widgets);
    // Stores fresh readings and raises the events for what changed (everything when `announce`).
    void storeProperties(std::map<CamPropertyID, PropertyState> fresh, bool complete, bool announce);
    void readProperty(CameraWidget* root, const std::vector<const char*>& names, CamPropertyID id,
                      std::map<CamPropertyID, PropertyState>& into) const;
    void announcePicture(const std::string& folder, const std::string& name, bool captured);
    CamError writeWidget(const std::string& widget, const std::string& text);
    // Live view on a body whose previews are refused: off for good, both properties 0.
    void liveViewRefused();
    CamError writeLiveView(CamPropertyID property, uint32_t value);
    // One preview frame; a refusal turns live view off (`liveViewRefused`) and answers 0x7.
    CamError takePreview(std::vector<uint8_t>& jpeg);
    // 0xB on a body without a capture target: the host's choice, kept here.
    CamError writeKeptSaveTo(uint32_t value);
    void raise(CamPropertyEvent event, CamPropertyID property) const;

    const Detected m_detected;
    const CameraCallbacks m_callbacks;

    // Touched only on the camera's thread.
    ::Camera* m_camera = nullptr;
    GPContext* m_context = nullptr;
    std::set<std::string> m_announced;
    std::set<std::string> m_removed; // announced pictures deleted since: the name may come back
    std::optional<std::chrono::steady_clock::time_point> m_timeoutSince;
    std::string m_contextError; // libgphoto2's last error text for this camera
    std::vector<uint8_t> m_firstFrame; // the preview taken when live view was switched on

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    bool m_sessionOpen = false;
    bool m_gone = false;
    bool m_previewUnsupported = false;
    bool m_hasPreview = false;
    uint32_t m_evfOutput = 0;
    uint32_t m_evfMode = 0;
    uint32_t m_keptSaveTo = CAM_SAVE_TO_CAMERA;
    std::string m_serial;
    std::map<CamPropertyID, PropertyState> m_properties;
    std::thread m_thread;
};

} // namespace camsdk::gp
