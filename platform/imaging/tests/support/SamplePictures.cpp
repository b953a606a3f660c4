// Generated pictures, simulated-camera shots and the straightforward photo pipeline.
#include "SamplePictures.h"

#include "camsdk/CamSdk.h"
#include "camsdk/Simulator.h"
#include "imaging/ImageCtrl.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace imaging::samples {
namespace {

uint32_t nextRandom(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

int clampByte(int value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

struct TurboFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
struct TurboDestroy {
    void operator()(void* handle) const { tjDestroy(handle); }
};

std::vector<uint8_t> exifSegment(const Exiv2::ExifData& exif)
{
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    const std::size_t length = 2 + 6 + blob.size();
    std::vector<uint8_t> segment{0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF),
                                 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), blob.begin(), blob.end());
    return segment;
}

int turnForOrientation(long orientation)
{
    switch (orientation) {
    case 3:
        return 180;
    case 6:
        return 270;
    case 8:
        return 90;
    default:
        return 0;
    }
}

// Counter-clockwise, as the widget turns.
QImage turned(const QImage& image, int degrees)
{
    return degrees % 360 == 0 ? image : image.transformed(QTransform().rotate(360 - degrees % 360));
}

// Waits for the simulated camera's transfer request of a shot.
class ShotWaiter final {
public:
    static CamError onObject(CamObjectEvent event, CamBaseRef object, void* context)
    {
        auto* self = static_cast<ShotWaiter*>(context);
        const std::lock_guard lock(self->m_mutex);
        if (event == CAM_OBJECT_EVENT_DIR_ITEM_REQUEST_TRANSFER && object && !self->m_item)
            self->m_item = object;
        else if (object)
            CamRelease(object);
        self->m_arrived.notify_all();
        return CAM_ERR_OK;
    }
    CamBaseRef wait()
    {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_for(lock, std::chrono::seconds(10), [&] { return m_item != nullptr; });
        return m_item;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    CamBaseRef m_item = nullptr;
};

// The SDK started on a world of one body, with body 0's session open; ended on destruction.
class CameraSession final {
public:
    explicit CameraSession(const camsdk::sim::SimConfig& config)
    {
        camsdk::sim::reset();
        camsdk::sim::configure(config);
        if (CamInitializeSDK() != CAM_ERR_OK)
            return;
        m_started = true;
        CamCameraListRef list = nullptr;
        if (CamGetCameraList(&list) != CAM_ERR_OK)
            return;
        CamGetChildAtIndex(list, 0, &m_camera);
        CamRelease(list);
        if (m_camera && CamOpenSession(m_camera) != CAM_ERR_OK) {
            CamRelease(m_camera);
            m_camera = nullptr;
        }
    }
    ~CameraSession()
    {
        if (m_camera) {
            CamSetObjectEventHandler(m_camera, CAM_OBJECT_EVENT_ALL, nullptr, nullptr);
            CamCloseSession(m_camera);
            CamRelease(m_camera);
        }
        if (m_started)
            CamTerminateSDK();
    }
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;
    CamCameraRef camera() const { return m_camera; }

private:
    bool m_started = false;
    CamCameraRef m_camera = nullptr;
};

} // namespace

QImage detailedPicture(int width, int height, uint32_t seed)
{
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    std::vector<int> columnWave(static_cast<std::size_t>(width));
    std::vector<int> rowWave(static_cast<std::size_t>(height));
    for (int x = 0; x < width; ++x)
        columnWave[static_cast<std::size_t>(x)] = static_cast<int>(50 * std::sin(x * 0.045) + 30 * std::sin(x * 0.31));
    for (int y = 0; y < height; ++y)
        rowWave[static_cast<std::size_t>(y)] = static_cast<int>(50 * std::cos(y * 0.037) + 30 * std::sin(y * 0.27));
    uint32_t state = seed == 0 ? 1 : seed;
    const int markerWidth = std::max(1, width / 8);
    const int markerHeight = std::max(1, height / 8);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const int rowPart = rowWave[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            if (y < markerHeight && x < markerWidth) {
                line[x] = qRgb(230, 20, 20);
                continue;
            }
            if (y < markerHeight && x >= width - markerWidth) {
                line[x] = qRgb(20, 20, 230);
                continue;
            }
            const uint32_t noise = nextRandom(state);
            const int base = 128 + columnWave[static_cast<std::size_t>(x)] / 2 + rowPart / 2;
            // Grain of +-9 levels per channel: at quality 92 a 24-megapixel picture takes about
            // 7 MB, as a camera's does.
            const int red = base + static_cast<int>(noise % 19) - 9;
            const int green = base + static_cast<int>((noise >> 8) % 19) - 9 + columnWave[static_cast<std::size_t>(x)] / 4;
            const int blue = base + static_cast<int>((noise >> 16) % 19) - 9 - rowPart / 4;
            line[x] = qRgb(clampByte(red), clampByte(green), clampByte(blue));
        }
    }
    return picture;
}

std::vector<uint8_t> jpegWithExif(const QImage& picture, int quality, int orientation)
{
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    const std::unique_ptr<void, TurboDestroy> encoder(tjInitCompress());
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(encoder.get(), pixels.constBits(), pixels.width(),
                                   static_cast<int>(pixels.bytesPerLine()), pixels.height(), TJPF_BGRX, &buffer, &size,
                                   TJSAMP_420, quality, 0);
    const std::unique_ptr<unsigned char, TurboFree> owned(buffer);
    if (result != 0)
        return {};
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    if (orientation == 0)
        return jpeg;
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Vesk";
    exif["Exif.Image.Model"] = "Vesk Test Body";
    exif["Exif.Image.Orientation"] = static_cast<uint16_t>(orientation);
    exif["Exif.Image.DateTime"] = "2024:05:01 10:20:30";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:20:30";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = static_cast<uint16_t>(200);
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 1);
    exif["Exif.Photo.LensModel"] = "Vesk 50mm";
    exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(picture.width());
    exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(picture.height());
    const std::vector<uint8_t> segment = exifSegment(exif);
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

bool writeFile(const QString& path, const std::vector<uint8_t>& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size;
}

std::vector<uint8_t> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

QString shootWithSimulatedCamera(const QString& folder, int orientation, int width, int height)
{
    camsdk::sim::SimConfig config = camsdk::sim::makeDefaultConfig();
    config.bodies[0].exifOrientation = orientation;
    config.bodies[0].shotWidth = width;
    config.bodies[0].shotHeight = height;
    ShotWaiter waiter;
    QString path;
    {
        const CameraSession session(config);
        CamCameraRef camera = session.camera();
        if (!camera)
            return {};
        const uint32_t toHost = CAM_SAVE_TO_HOST;
        if (CamSetObjectEventHandler(camera, CAM_OBJECT_EVENT_ALL, ShotWaiter::onObject, &waiter) != CAM_ERR_OK
            || CamSetPropertyData(camera, CAM_PROP_SAVE_TO, 0, sizeof toHost, &toHost) != CAM_ERR_OK
            || CamSendCommand(camera, CAM_COMMAND_PRESS_SHUTTER_BUTTON, CAM_SHUTTER_BUTTON_COMPLETELY) != CAM_ERR_OK)
            return {};
        CamBaseRef item = waiter.wait();
        if (!item)
            return {};
        CamDirectoryItemInfo info{};
        CamStreamRef stream = nullptr;
        if (CamGetDirectoryItemInfo(item, &info) == CAM_ERR_OK) {
            const QString name = QFileInfo(QString::fromLocal8Bit(info.szFileName)).fileName();
            const QString target = QDir(folder).filePath(name);
            if (CamCreateFileStream(QFile::encodeName(target).constData(), CAM_FILE_CREATE_DISPOSITION_CREATE_ALWAYS,
                                    CAM_ACCESS_READ_WRITE, &stream)
                    == CAM_ERR_OK
                && CamDownload(item, info.size, stream) == CAM_ERR_OK && CamDownloadComplete(item) == CAM_ERR_OK)
                path = target;
        }
        if (stream)
            CamRelease(stream);
        CamRelease(item);
    }
    return path;
}

std::vector<uint8_t> liveViewFrameFromSimulatedCamera()
{
    const CameraSession session(camsdk::sim::makeDefaultConfig());
    CamCameraRef camera = session.camera();
    if (!camera)
        return {};
    const uint32_t output = CAM_EVF_OUTPUT_DEVICE_TFT | CAM_EVF_OUTPUT_DEVICE_PC;
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    std::vector<uint8_t> frame;
    if (CamSetPropertyData(camera, CAM_PROP_EVF_OUTPUT_DEVICE, 0, sizeof output, &output) == CAM_ERR_OK
        && CamCreateMemoryStream(0, &stream) == CAM_ERR_OK && CamCreateEvfImageRef(stream, &image) == CAM_ERR_OK
        && CamDownloadEvfImage(camera, image) == CAM_ERR_OK) {
        void* pointer = nullptr;
        uint64_t length = 0;
        if (CamGetPointer(stream, &pointer) == CAM_ERR_OK && CamGetLength(stream, &length) == CAM_ERR_OK && pointer)
            frame.assign(static_cast<const uint8_t*>(pointer), static_cast<const uint8_t*>(pointer) + length);
    }
    if (image)
        CamRelease(image);
    if (stream)
        CamRelease(stream);
    return frame;
}

double meanAbsoluteDifference(const QImage& first, const QImage& second)
{
    if (first.size() != second.size() || first.isNull())
        return -1;
    const QImage a = first.convertToFormat(QImage::Format_RGB32);
    const QImage b = second.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            total += std::abs(qRed(lineA[x]) - qRed(lineB[x])) + std::abs(qGreen(lineA[x]) - qGreen(lineB[x]))
                     + std::abs(qBlue(lineA[x]) - qBlue(lineB[x]));
        }
    }
    return total / (3.0 * a.width() * a.height());
}

int16_t widgetPipeline(CImageCtrl& control, const QString& source, int extraTurn, int maxHeight,
                       const QString& target, int16_t compressionLevel)
{
    control.SetProgressEvents(true);
    control.SetDefaultFileFormat(98);
    control.SetBusyCursor(true);
    if (const int16_t loaded = control.LoadFile(source, 0, 0, 1); loaded != 0)
        return loaded;
    if (const int turn = turnForOrientation(control.GetExifOrientation()); turn != 0)
        control.Rotate(static_cast<int16_t>(turn));
    if (extraTurn != 0)
        control.Rotate(static_cast<int16_t>(extraTurn));
    const float height = control.GetImageHeight();
    const float width = control.GetImageWidth();
    if (maxHeight > 0 && static_cast<float>(maxHeight) < height) {
        const float ratio = height > 0 ? width / height : 1.0F;
        control.Resize(static_cast<float>(maxHeight) * ratio, static_cast<float>(maxHeight), 2);
    }
    control.Redisplay();
    control.SetFieldsFromFile(false);
    for (int16_t field = 0; field < 179; ++field)
        control.SetCommentField(field, control.GetCommentField(source, 0, field));
    return control.SaveFile(target, 98, 0, compressionLevel, 0);
}

bool naivePipeline(const QString& source, int extraTurn, int maxHeight, const QString& target, int quality)
{
    QImageReader::setAllocationLimit(1024);
    QImageReader reader(source);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    long orientation = 1;
    {
        auto metadata = Exiv2::ImageFactory::open(QFile::encodeName(source).toStdString());
        metadata->readMetadata();
        const auto found = metadata->exifData().findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found != metadata->exifData().end())
            orientation = found->toLong();
    }
    image = turned(image, turnForOrientation(orientation));
    image = turned(image, extraTurn);
    if (maxHeight > 0 && maxHeight < image.height()) {
        const double ratio = static_cast<double>(image.width()) / image.height();
        image = image.scaled(static_cast<int>(std::lround(maxHeight * ratio)), maxHeight, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    QImageWriter writer(target, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return false;

    Exiv2::ExifData copied;
    static const char* const kSomeFieldKeys[] = {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.ExposureTime",
                                                 "Exif.Photo.FNumber", "Exif.Photo.ISOSpeedRatings",
                                                 "Exif.Photo.DateTimeOriginal"};
    for (int field = 0; field < 179; ++field) {
        auto metadata = Exiv2::ImageFactory::open(QFile::encodeName(source).toStdString());
        metadata->readMetadata();
        const char* key = kSomeFieldKeys[field % std::size(kSomeFieldKeys)];
        const auto found = metadata->exifData().findKey(Exiv2::ExifKey(key));
        if (found != metadata->exifData().end())
            copied[key] = found->value();
    }
    copied["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
    copied["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(image.width());
    copied["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(image.height());
    auto written = Exiv2::ImageFactory::open(QFile::encodeName(target).toStdString());
    written->setExifData(copied);
    written->writeMetadata();
    return true;
}

} // namespace imaging::samples
