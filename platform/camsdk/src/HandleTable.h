// The SDK's handle table: every handle given out is an id into this table, never the address
// of an object, so a stale or repeated release is recognised instead of touching freed memory.
//
// Threading: not locked itself; the SDK's state lock guards it.
#pragma once

#include "camsdk/CamSdk.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace camsdk::detail {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A file or memory stream. Its own lock guards its bytes, because a download writes them
// without the SDK's state lock while the owner may read its length.
struct StreamData {
    std::mutex mutex;
    bool isFile = false;
    std::vector<uint8_t> memory;
    std::unique_ptr<std::FILE, FileCloser> file;
    CamProgressCallback progress = nullptr;
    uint32_t progressOption = CAM_PROGRESS_OPTION_NO_REPORT;
    void* progressContext = nullptr;
};

// A picture held by a body, announced by an object event.
struct ItemData {
    int body = 0;
    std::string fileName;
    std::shared_ptr<const std::vector<uint8_t>> bytes;
};

// A live-view image: the stream it fills and the geometry of the last frame downloaded.
struct EvfImageData {
    std::shared_ptr<StreamData> stream;
    uint32_t zoom = 0;
    CamRect zoomRect{};
    CamSize coordinateSystem{};
    CamPoint imagePosition{};
};

struct CameraListData {
    std::vector<int> bodies;
};

struct CameraData {
    int body = 0;
};

// A camera list, camera or picture of a back end other than the simulator.
struct ForeignObject {
    virtual ~ForeignObject() = default;
};

using HandleObject = std::variant<CameraListData, CameraData, std::shared_ptr<ItemData>,
                                  std::shared_ptr<StreamData>, std::shared_ptr<EvfImageData>,
                                  std::shared_ptr<ForeignObject>>;

class HandleTable final {
public:
    CamBaseRef add(HandleObject object);
    // Null when the handle is not live.
    HandleObject* find(CamBaseRef ref);
    template <typename T>
    T* findAs(CamBaseRef ref)
    {
        HandleObject* object = find(ref);
        return object ? std::get_if<T>(object) : nullptr;
    }
    // False when the handle is not live.
    bool release(CamBaseRef ref);
    size_t liveCount() const { return m_objects.size(); }
    // Forgets every handle; ids are never given out again.
    void clear() { m_objects.clear(); }

private:
    std::unordered_map<uintptr_t, HandleObject> m_objects;
    uintptr_t m_nextId = 0x1001;
};

} // namespace camsdk::detail
