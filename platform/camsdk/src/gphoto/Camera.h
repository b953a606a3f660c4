// One real camera reached through libgphoto2: its session, the mapped properties as last read,
// captures, downloads and preview frames. libgphoto2 is not thread-safe per camera, so every
// libgphoto2 call for a camera runs on that camera's own thread.
// Threading: public members may be called from any thread; they hand the work to the camera's
// thread and wait for it. The callbacks are called on the camera's thread with no lock held.
#pragma once

#include "../Body.h"
#include "camsdk/CamSdk.h"

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
    std::function<void()> gone;
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
    CamError capture();
    CamError fetch(const Picture& picture, std::vector<uint8_t>& bytes);
    CamError remove(const Picture& picture);
    CamError preview(std::vector<uint8_t>& jpeg);
    // Ends the camera's thread, closing the session first.
    void stop();

private:
    CamError runOnThread(std::function<CamError()> work);
    void threadMain();
    CamError failed(int result);
    void closeLocked();
    void pollEvents();
    // Reads every mapped property; raises change events, or announces all when `announce`.
    void refreshProperties(bool announce);
    void readProperty(CameraWidget* root, const std::vector<const char*>& names, CamPropertyID id,
                      std::map<CamPropertyID, PropertyState>& into) const;
    void announcePicture(const std::string& folder, const std::string& name);
    CamError writeWidget(const std::string& widget, const std::string& text);

    const Detected m_detected;
    const CameraCallbacks m_callbacks;

    // Touched only on the camera's thread.
    ::Camera* m_camera = nullptr;
    GPContext* m_context = nullptr;
    std::set<std::string> m_announced;

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
    std::string m_serial;
    std::map<CamPropertyID, PropertyState> m_properties;
    std::thread m_thread;
};

} // namespace camsdk::gp
