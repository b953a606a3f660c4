// vesk-camctl: lists the cameras behind the camera SDK, reads and writes their properties,
// takes a picture into a folder and saves live-view frames. Every handle it gets is released
// and the SDK is terminated on every path.
// Threading: the main thread runs the commands; SDK event handlers only hand items over
// through a lock and a condition variable.
#include "ErrorNames.h"
#include "camsdk/CamSdk.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

enum ExitCode { kSuccess = 0, kSdkFailure = 1, kUsage = 2, kTimeout = 3, kFileFailure = 4 };

const char* const kUsageText =
    "usage: vesk-camctl [--body N] COMMAND\n"
    "\n"
    "commands:\n"
    "  list                              connected bodies: index, model, port, Body ID, subtype\n"
    "  get [PROPERTY]                    one property (hex ID such as 0x406) or all known ones\n"
    "  set PROPERTY VALUE                write a property (VALUE decimal or 0x-hex; X,Y for 0x508)\n"
    "  shoot --out FOLDER                take a picture and download it into FOLDER\n"
    "                                    (as NAME_1.JPG, ... when NAME.JPG is taken)\n"
    "  liveview --frames N --out FOLDER  save N live-view frames as frame_0001.jpg, ...\n"
    "\n"
    "options:\n"
    "  --body N                          the body to use (index in the list, default 0)\n"
    "  --help                            this text\n"
    "\n"
    "exit codes: 0 success, 1 camera SDK error, 2 usage, 3 time-out, 4 file error\n";

// A failed SDK call: the message is printed once, where the command gives up.
struct SdkFailure {
    std::string call;
    CamError code;
};

void check(const char* call, CamError code)
{
    if (code != CAM_ERR_OK) {
        throw SdkFailure{call, code};
    }
}

// Owns one SDK handle and releases it exactly once.
class Handle final {
public:
    Handle() = default;
    explicit Handle(CamBaseRef ref) : m_ref(ref) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    void reset()
    {
        if (m_ref) {
            CamRelease(m_ref);
            m_ref = nullptr;
        }
    }
    CamBaseRef get() const { return m_ref; }
    CamBaseRef* out()
    {
        reset();
        return &m_ref;
    }

private:
    CamBaseRef m_ref = nullptr;
};

// Starts the SDK for the lifetime of the object.
class SdkScope final {
public:
    SdkScope() { check("CamInitializeSDK", CamInitializeSDK()); }
    SdkScope(const SdkScope&) = delete;
    SdkScope& operator=(const SdkScope&) = delete;
    ~SdkScope() { CamTerminateSDK(); }
};

// An open session on one body, closed on destruction.
class Session final {
public:
    explicit Session(int body)
    {
        Handle list;
        check("CamGetCameraList", CamGetCameraList(list.out()));
        int32_t count = 0;
        check("CamGetChildCount", CamGetChildCount(list.get(), &count));
        if (body < 0 || body >= count) {
            throw SdkFailure{"CamGetChildAtIndex (body " + std::to_string(body) + " of " +
                                 std::to_string(count) + ")",
                             count == 0 ? CamError{CAM_ERR_DEVICE_NOT_FOUND} : CamError{CAM_ERR_INVALID_INDEX}};
        }
        check("CamGetChildAtIndex", CamGetChildAtIndex(list.get(), body, m_camera.out()));
        check("CamOpenSession", CamOpenSession(m_camera.get()));
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { CamCloseSession(m_camera.get()); }
    CamCameraRef camera() const { return m_camera.get(); }

private:
    Handle m_camera;
};

std::optional<int64_t> parseNumber(const std::string& text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0') {
        return std::nullopt;
    }
    return value;
}

std::string readText(CamCameraRef camera, CamPropertyID property)
{
    CamDataType type = 0;
    uint32_t size = 0;
    check("CamGetPropertySize", CamGetPropertySize(camera, property, 0, &type, &size));
    std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
    check("CamGetPropertyData", CamGetPropertyData(camera, property, 0, size, text.data()));
    return text.data();
}

int commandList()
{
    SdkScope sdk;
    Handle list;
    check("CamGetCameraList", CamGetCameraList(list.out()));
    int32_t count = 0;
    check("CamGetChildCount", CamGetChildCount(list.get(), &count));
    std::printf("%d camera(s)\n", count);
    for (int32_t index = 0; index < count; ++index) {
        Handle camera;
        check("CamGetChildAtIndex", CamGetChildAtIndex(list.get(), index, camera.out()));
        CamDeviceInfo info{};
        check("CamGetDeviceInfo", CamGetDeviceInfo(camera.get(), &info));
        check("CamOpenSession", CamOpenSession(camera.get()));
        std::string bodyId;
        try {
            bodyId = readText(camera.get(), CAM_PROP_BODY_ID);
        } catch (const SdkFailure& failure) {
            // A real camera without a serial number has no Body ID; it is still listed.
            if (failure.code != CAM_ERR_PROPERTIES_UNAVAILABLE) {
                CamCloseSession(camera.get());
                throw;
            }
        }
        CamCloseSession(camera.get());
        std::printf("%d  model \"%s\"  port \"%s\"  Body ID \"%s\"  subtype %u\n", index,
                    info.szDeviceDescription, info.szPortName, bodyId.c_str(), info.deviceSubType);
    }
    return kSuccess;
}

const CamPropertyID kKnownProperties[] = {
    CAM_PROP_PRODUCT_NAME, CAM_PROP_BODY_ID, CAM_PROP_BATTERY_LEVEL, CAM_PROP_SAVE_TO,
    CAM_PROP_AE_MODE, CAM_PROP_TV, CAM_PROP_AV, CAM_PROP_ISO_SPEED, CAM_PROP_METERING_MODE,
    CAM_PROP_EXPOSURE_COMPENSATION, CAM_PROP_IMAGE_QUALITY, CAM_PROP_WHITE_BALANCE,
    CAM_PROP_COLOR_TEMPERATURE, CAM_PROP_PICTURE_STYLE, CAM_PROP_DRIVE_MODE,
    CAM_PROP_EVF_MODE, CAM_PROP_EVF_OUTPUT_DEVICE, CAM_PROP_EVF_DEPTH_OF_FIELD_PREVIEW,
    CAM_PROP_EVF_ZOOM, CAM_PROP_EVF_ZOOM_POSITION, CAM_PROP_EVF_AF_MODE, CAM_PROP_FOCUS_INFO};

// Prints one property; false when the camera does not have it.
bool printProperty(CamCameraRef camera, CamPropertyID property, bool quietWhenAbsent)
{
    CamDataType type = 0;
    uint32_t size = 0;
    const CamError sizeResult = CamGetPropertySize(camera, property, 0, &type, &size);
    if (sizeResult == CAM_ERR_PROPERTIES_UNAVAILABLE && quietWhenAbsent) {
        return false;
    }
    check("CamGetPropertySize", sizeResult);
    std::vector<uint8_t> data(size);
    check("CamGetPropertyData", CamGetPropertyData(camera, property, 0, size, data.data()));
    std::printf("0x%03X = ", property);
    if (type == CAM_DATATYPE_STRING) {
        // Bounded by the size: a camera's text need not end with a terminator.
        const auto* text = reinterpret_cast<const char*>(data.data());
        std::printf("\"%.*s\"", static_cast<int>(strnlen(text, data.size())), text);
    } else if (type == CAM_DATATYPE_POINT && size >= sizeof(CamPoint)) {
        CamPoint point{};
        std::memcpy(&point, data.data(), sizeof point);
        std::printf("%d,%d", point.x, point.y);
    } else if (type == CAM_DATATYPE_FOCUS_INFO && size >= sizeof(CamFocusInfo)) {
        CamFocusInfo info{};
        std::memcpy(&info, data.data(), sizeof info);
        std::printf("%u focus point(s) in %dx%d", info.pointNumber, info.imageRect.size.width,
                    info.imageRect.size.height);
        for (uint32_t index = 0; index < info.pointNumber && index < CAM_MAX_FOCUS_POINTS; ++index) {
            if (info.focusPoint[index].selected) {
                std::printf(", point %u selected%s", index, (info.focusPoint[index].justFocus & 1) ? " and in focus" : "");
            }
        }
    } else if (size >= sizeof(uint32_t)) {
        uint32_t value = 0;
        std::memcpy(&value, data.data(), sizeof value);
        std::printf("0x%X", value);
    }
    CamPropertyDesc desc{};
    if (CamGetPropertyDesc(camera, property, &desc) == CAM_ERR_OK && desc.numElements > 0) {
        std::printf("  allowed:");
        for (int32_t index = 0; index < desc.numElements; ++index) {
            std::printf("%s0x%X", index == 0 ? " " : ",", static_cast<uint32_t>(desc.propDesc[index]));
        }
    }
    std::printf("\n");
    return true;
}

int commandGet(int body, const std::optional<std::string>& propertyText)
{
    std::optional<CamPropertyID> property;
    if (propertyText) {
        const auto number = parseNumber(*propertyText);
        if (!number || *number < 0 || *number > 0xFFFFFFFFll) {
            std::fprintf(stderr, "vesk-camctl: \"%s\" is not a property ID\n", propertyText->c_str());
            return kUsage;
        }
        property = static_cast<CamPropertyID>(*number);
    }
    SdkScope sdk;
    Session session(body);
    if (property) {
        printProperty(session.camera(), *property, false);
        return kSuccess;
    }
    for (const CamPropertyID known : kKnownProperties) {
        printProperty(session.camera(), known, true);
    }
    return kSuccess;
}

int commandSet(int body, const std::string& propertyText, const std::string& valueText)
{
    const auto property = parseNumber(propertyText);
    if (!property || *property < 0 || *property > 0xFFFFFFFFll) {
        std::fprintf(stderr, "vesk-camctl: \"%s\" is not a property ID\n", propertyText.c_str());
        return kUsage;
    }
    std::vector<uint8_t> data;
    const auto comma = valueText.find(',');
    if (comma != std::string::npos) {
        const auto x = parseNumber(valueText.substr(0, comma));
        const auto y = parseNumber(valueText.substr(comma + 1));
        if (!x || !y) {
            std::fprintf(stderr, "vesk-camctl: \"%s\" is not a point X,Y\n", valueText.c_str());
            return kUsage;
        }
        const CamPoint point{static_cast<int32_t>(*x), static_cast<int32_t>(*y)};
        data.resize(sizeof point);
        std::memcpy(data.data(), &point, sizeof point);
    } else {
        const auto value = parseNumber(valueText);
        if (!value || *value < INT32_MIN || *value > 0xFFFFFFFFll) {
            std::fprintf(stderr, "vesk-camctl: \"%s\" is not a 32-bit value\n", valueText.c_str());
            return kUsage;
        }
        const auto word = static_cast<uint32_t>(*value);
        data.resize(sizeof word);
        std::memcpy(data.data(), &word, sizeof word);
    }
    SdkScope sdk;
    Session session(body);
    const auto id = static_cast<CamPropertyID>(*property);
    check("CamSetPropertyData",
          CamSetPropertyData(session.camera(), id, 0, static_cast<uint32_t>(data.size()), data.data()));
    printProperty(session.camera(), id, false);
    return kSuccess;
}

// What the event handlers hand to the main thread. Once the main thread has taken its item
// (or given up), `closed` makes every later item be released by the handler itself: a
// delivery already under way when the handlers are removed must not leave a handle behind.
struct ShotWaiter {
    std::mutex mutex;
    std::condition_variable changed;
    CamBaseRef item = nullptr;
    bool closed = false;
    std::optional<CamError> captureError;
};

CamError onObjectEvent(CamObjectEvent event, CamBaseRef object, void* context)
{
    auto* waiter = static_cast<ShotWaiter*>(context);
    if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER && object) {
        std::lock_guard lock(waiter->mutex);
        if (!waiter->item && !waiter->closed) {
            waiter->item = object;
            waiter->changed.notify_all();
            return CAM_ERR_OK;
        }
    }
    if (object) {
        CamRelease(object);
    }
    return CAM_ERR_OK;
}

// The camera's file name without any folder part, so the download stays inside the chosen
// folder whatever name the camera reports; empty when nothing usable is left.
std::string localFileName(const char* cameraName, size_t capacity)
{
    const std::string name(cameraName, strnlen(cameraName, capacity));
    const size_t separator = name.find_last_of("/\\");
    const std::string local = separator == std::string::npos ? name : name.substr(separator + 1);
    return local == "." || local == ".." ? std::string() : local;
}

CamError onStateEvent(CamStateEvent event, uint32_t parameter, void* context)
{
    auto* waiter = static_cast<ShotWaiter*>(context);
    std::lock_guard lock(waiter->mutex);
    if (event == CAM_STATE_EVENT_CAPTURE_ERROR) {
        waiter->captureError = parameter;
    } else if (event == CAM_STATE_EVENT_SHUTDOWN) {
        waiter->captureError = CAM_ERR_COMM_DISCONNECTED;
    }
    waiter->changed.notify_all();
    return CAM_ERR_OK;
}

CamError onProgress(uint32_t percent, void* context, int32_t* /*cancel*/)
{
    std::printf("\rdownloading %s: %3u%%", static_cast<const char*>(context), percent);
    if (percent >= 100) {
        std::printf("\n");
    }
    std::fflush(stdout);
    return CAM_ERR_OK;
}

// Removes the handlers before the waiter they point to goes away.
class HandlerScope final {
public:
    HandlerScope(CamCameraRef camera, ShotWaiter& waiter) : m_camera(camera)
    {
        check("CamSetObjectEventHandler",
              CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, onObjectEvent, &waiter));
        check("CamSetCameraStateEventHandler",
              CamSetCameraStateEventHandler(camera, CAM_STATE_EVENT_ALL, onStateEvent, &waiter));
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;
    ~HandlerScope()
    {
        CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
        CamSetCameraStateEventHandler(m_camera, CAM_STATE_EVENT_ALL, nullptr, nullptr);
    }

private:
    CamCameraRef m_camera;
};

// Creates the folder (and its parents) unless it exists; says so on stderr when it cannot.
bool makeFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "vesk-camctl: cannot create the folder \"%s\"\n", folder.c_str());
        return false;
    }
    return true;
}

// The file name for a try: the camera's name first, then "<stem>_<n><extension>".
std::string numberedName(const std::string& name, int attempt)
{
    if (attempt == 0) {
        return name;
    }
    const size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot != 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    return stem + "_" + std::to_string(attempt) + extension;
}

// Creates the download's file under the camera's name or, when something of that name is
// already in the folder, under the next free numbered name, and returns the name used. A
// picture of an earlier run is never replaced: each file is created exclusively, so another
// run writing into the same folder at the same time cannot take the same name either.
std::string createUnusedFile(const std::string& folder, const std::string& name, Handle& stream)
{
    constexpr int kMaxAttempts = 10000;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::string candidate = numberedName(name, attempt);
        const std::string path = (std::filesystem::path(folder) / candidate).string();
        const CamError code = CamCreateFileStream(path.c_str(), CAM_FILE_CREATE_DISPOSITION_CREATE_NEW,
                                                  CAM_ACCESS_READ_WRITE, stream.out());
        if (code == CAM_ERR_OK) {
            return candidate;
        }
        if (code != CAM_ERR_FILE_ALREADY_EXISTS) {
            check("CamCreateFileStream", code);
        }
    }
    throw SdkFailure{"CamCreateFileStream (no free file name)", CAM_ERR_FILE_ALREADY_EXISTS};
}

int commandShoot(int body, const std::string& folder)
{
    if (!makeFolder(folder)) {
        return kFileFailure;
    }
    ShotWaiter waiter;
    SdkScope sdk;
    Session session(body);
    // Declared after the session, so the item is released before the session closes and the
    // SDK ends, on every path.
    Handle item;
    {
        HandlerScope handlers(session.camera(), waiter);
        const uint32_t toHost = CAM_SAVE_TO_HOST;
        const CamError saveTo = CamSetPropertyData(session.camera(), CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost);
        // A camera without a choice of destination keeps the picture on its card; it is
        // downloaded from there all the same.
        if (saveTo != CAM_ERR_PROPERTIES_UNAVAILABLE) {
            check("CamSetPropertyData", saveTo);
        }
        CamError shot = CamSendCommand(session.camera(), CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY);
        if (shot == CAM_ERR_INVALID_PARAMETER) {
            shot = CamSendCommand(session.camera(), CAM_COMMAND_TAKE_PICTURE, 0);
        } else {
            CamSendCommand(session.camera(), CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_OFF);
        }
        std::unique_lock lock(waiter.mutex);
        if (shot == CAM_ERR_OK) {
            waiter.changed.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return waiter.item != nullptr || waiter.captureError.has_value(); });
        }
        *item.out() = waiter.item;
        waiter.item = nullptr;
        waiter.closed = true;
        lock.unlock();
        check("CamSendCommand", shot);
        if (!item.get()) {
            if (waiter.captureError) {
                throw SdkFailure{"taking the picture", *waiter.captureError};
            }
            std::fprintf(stderr, "vesk-camctl: no picture arrived within 10 seconds\n");
            return kTimeout;
        }
    }
    CamDirectoryItemInfo info{};
    check("CamGetDirectoryItemInfo", CamGetDirectoryItemInfo(item.get(), &info));
    std::string name = localFileName(info.szFileName, sizeof info.szFileName);
    if (name.empty()) {
        throw SdkFailure{"CamGetDirectoryItemInfo (no usable file name)", CAM_ERR_FILE_NAMING_NA};
    }
    Handle stream;
    name = createUnusedFile(folder, name, stream);
    const std::string path = (std::filesystem::path(folder) / name).string();
    check("CamSetProgressCallback",
          CamSetProgressCallback(stream.get(), onProgress, CAM_PROGRESS_OPTION_PERIODICALLY,
                                 name.data()));
    check("CamDownload", CamDownload(item.get(), info.size, stream.get()));
    check("CamDownloadComplete", CamDownloadComplete(item.get()));
    std::printf("%s\n", path.c_str());
    return kSuccess;
}

int commandLiveView(int body, int frames, const std::string& folder)
{
    if (!makeFolder(folder)) {
        return kFileFailure;
    }
    SdkScope sdk;
    Session session(body);
    const CamCameraRef camera = session.camera();
    const uint32_t mode = 1;
    check("CamSetPropertyData", CamSetPropertyData(camera, CAM_PROP_EVF_MODE, 0, sizeof mode, &mode));
    uint32_t output = 0;
    check("CamGetPropertyData", CamGetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof output, &output));
    const uint32_t withHost = output | CAM_EVF_OUTPUT_DEVICE_PC;
    check("CamSetPropertyData", CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof withHost, &withHost));

    int saved = 0;
    int notReady = 0;
    CamError failure = CAM_ERR_OK;
    while (saved < frames && failure == CAM_ERR_OK) {
        Handle stream;
        Handle image;
        check("CamCreateMemoryStream", CamCreateMemoryStream(0, stream.out()));
        check("CamCreateEvfImageRef", CamCreateEvfImageRef(stream.get(), image.out()));
        const CamError result = CamDownloadEvfImage(camera, image.get());
        if (result == CAM_ERR_OBJECT_NOTREADY && ++notReady < 50) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (result != CAM_ERR_OK) {
            failure = result;
            break;
        }
        void* pointer = nullptr;
        uint64_t length = 0;
        check("CamGetPointer", CamGetPointer(stream.get(), &pointer));
        check("CamGetLength", CamGetLength(stream.get(), &length));
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04d.jpg", saved + 1);
        const std::string path = (std::filesystem::path(folder) / name).string();
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(static_cast<const char*>(pointer), static_cast<std::streamsize>(length));
        if (!file) {
            std::fprintf(stderr, "vesk-camctl: cannot write \"%s\"\n", path.c_str());
            CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof output, &output);
            return kFileFailure;
        }
        std::printf("%s\n", path.c_str());
        ++saved;
    }
    CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof output, &output);
    check("CamDownloadEvfImage", failure);
    return kSuccess;
}

int usageError(const char* message)
{
    std::fprintf(stderr, "vesk-camctl: %s\n\n%s", message, kUsageText);
    return kUsage;
}

int run(int argc, char** argv)
{
    std::vector<std::string> words;
    int body = 0;
    int frames = 1;
    std::optional<std::string> out;
    for (int index = 1; index < argc; ++index) {
        const std::string word = argv[index];
        if (word == "--help" || word == "-h") {
            std::printf("%s", kUsageText);
            return kSuccess;
        }
        if (word == "--body" || word == "--frames" || word == "--out") {
            if (index + 1 >= argc) {
                return usageError((word + " needs a value").c_str());
            }
            const std::string value = argv[++index];
            if (word == "--out") {
                out = value;
                continue;
            }
            const auto number = parseNumber(value);
            if (!number || *number < 0 || *number > 100000) {
                return usageError((word + " needs a number").c_str());
            }
            (word == "--body" ? body : frames) = static_cast<int>(*number);
            continue;
        }
        words.push_back(word);
    }
    if (words.empty()) {
        return usageError("no command given");
    }
    const std::string& command = words[0];
    if (command == "list" && words.size() == 1) {
        return commandList();
    }
    if (command == "get" && words.size() <= 2) {
        return commandGet(body, words.size() == 2 ? std::optional<std::string>(words[1]) : std::nullopt);
    }
    if (command == "set" && words.size() == 3) {
        return commandSet(body, words[1], words[2]);
    }
    if (command == "shoot" && words.size() == 1) {
        return out ? commandShoot(body, *out) : usageError("shoot needs --out FOLDER");
    }
    if (command == "liveview" && words.size() == 1) {
        return out ? commandLiveView(body, frames, *out) : usageError("liveview needs --out FOLDER");
    }
    return usageError(("unknown command or wrong arguments: " + command).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const SdkFailure& failure) {
        std::fprintf(stderr, "vesk-camctl: %s failed: 0x%08X (%s)\n", failure.call.c_str(), failure.code,
                     camsdk::tools::errorName(failure.code));
        if (failure.code == CAM_ERR_COMM_PORT_IS_IN_USE) {
            std::fprintf(stderr,
                         "vesk-camctl: could not claim the USB device: another program holds the camera "
                         "(often the desktop's automatic mounting of cameras). Close or unmount it there, "
                         "or stop that service, then try again.\n");
        }
        return kSdkFailure;
    }
}
