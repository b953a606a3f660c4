// TurboJPEG behind QImage, and the marker walk that vets a JPEG before it is decoded.
#include "JpegCodec.h"

#include <turbojpeg.h>

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>

namespace imaging::jpeg {
namespace {

// QImage::Format_RGB32 holds 0xffRRGGBB words: B, G, R, X bytes in memory on little-endian
// machines, X, R, G, B on big-endian ones.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int kPixelFormat = TJPF_BGRX;
#else
constexpr int kPixelFormat = TJPF_XRGB;
#endif

// Stop at the first warning (a truncated or corrupt picture must not pass as decoded) and cap
// the scans of a progressive picture, so that a hostile file cannot keep the decoder busy.
constexpr int kDecodeFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFreer {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

unsigned readBigEndian16(const uint8_t* bytes) { return (static_cast<unsigned>(bytes[0]) << 8) | bytes[1]; }

bool isFrameMarker(uint8_t marker)
{
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isStandalone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

// True when an EOI marker (FF D9) lies at or after from. Entropy-coded data never holds one.
bool hasEndMarkerAfter(const uint8_t* data, std::size_t size, std::size_t from)
{
    for (std::size_t i = size; i >= from + 2; --i) {
        if (data[i - 2] == 0xFF && data[i - 1] == 0xD9)
            return true;
    }
    return false;
}

// Smaller pictures cost little even when their data is short (and arithmetic coding can
// legitimately store a plain picture in very few bytes).
constexpr int64_t kPlausibilityCheckedAbove = 16'000'000;

constexpr std::array<int, 4> kScaleDenominators = {1, 2, 4, 8};

} // namespace

bool looksLikeJpeg(const uint8_t* data, std::size_t size)
{
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

std::optional<Layout> readLayout(const uint8_t* data, std::size_t size)
{
    if (!looksLikeJpeg(data, size))
        return std::nullopt;
    Layout layout;
    bool haveFrame = false;
    std::size_t position = 2;
    while (true) {
        if (position >= size || data[position] != 0xFF)
            return std::nullopt;
        while (position < size && data[position] == 0xFF)
            ++position;  // fill bytes
        if (position >= size)
            return std::nullopt;
        const uint8_t marker = data[position++];
        if (isStandalone(marker))
            continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x00)
            return std::nullopt;
        if (position + 2 > size)
            return std::nullopt;
        const std::size_t length = readBigEndian16(data + position);
        if (length < 2 || position + length > size)
            return std::nullopt;
        const uint8_t* payload = data + position + 2;
        const std::size_t payloadSize = length - 2;
        if (marker == 0xDA) {
            if (!haveFrame)
                return std::nullopt;
            layout.complete = hasEndMarkerAfter(data, size, position + length);
            const int64_t pixels = int64_t{layout.width} * layout.height;
            const int64_t blocks = int64_t{(layout.width + 7) / 8} * ((layout.height + 7) / 8);
            layout.plausible = pixels <= kPlausibilityCheckedAbove || static_cast<int64_t>(size) >= blocks / 8;
            return layout;
        }
        if (isFrameMarker(marker) && !haveFrame) {
            if (payloadSize < 6)
                return std::nullopt;
            layout.height = static_cast<int>(readBigEndian16(payload + 1));
            layout.width = static_cast<int>(readBigEndian16(payload + 3));
            layout.fourComponents = payload[5] == 4;
            if (layout.width == 0 || layout.height == 0)
                return std::nullopt;
            haveFrame = true;
        } else if (marker == 0xE1 && layout.exifSize == 0 && payloadSize > 6
                   && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            layout.exifOffset = position + 2 + 6;
            layout.exifSize = payloadSize - 6;
        }
        position += length;
    }
}

QSize scaledSize(QSize fullSize, QSize minimumSize)
{
    if (!minimumSize.isValid() || minimumSize.isEmpty())
        return fullSize;
    QSize chosen = fullSize;
    for (const int denominator : kScaleDenominators) {
        const tjscalingfactor factor{1, denominator};
        const QSize candidate(TJSCALED(fullSize.width(), factor), TJSCALED(fullSize.height(), factor));
        if (candidate.width() < minimumSize.width() || candidate.height() < minimumSize.height())
            break;
        chosen = candidate;
    }
    return chosen;
}

std::optional<QSize> decodableSize(const uint8_t* data, std::size_t size)
{
    if (size == 0 || size > std::numeric_limits<unsigned long>::max())
        return std::nullopt;
    const Handle handle(tjInitDecompress());
    if (!handle)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    // The API is not const-correct; it only reads the source.
    if (tjDecompressHeader3(handle.get(), const_cast<unsigned char*>(data), static_cast<unsigned long>(size), &width,
                            &height, &subsampling, &colorspace)
        != 0)
        return std::nullopt;
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK || width <= 0 || height <= 0)
        return std::nullopt;
    return QSize(width, height);
}

QImage decode(const uint8_t* data, std::size_t size, QSize minimumSize)
{
    const auto fullSize = decodableSize(data, size);
    if (!fullSize)
        return {};
    const Handle handle(tjInitDecompress());
    if (!handle)
        return {};
    const QSize target = scaledSize(*fullSize, minimumSize);
    QImage image(target, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    if (tjDecompress2(handle.get(), const_cast<unsigned char*>(data), static_cast<unsigned long>(size), image.bits(),
                      target.width(), static_cast<int>(image.bytesPerLine()), target.height(), kPixelFormat,
                      kDecodeFlags)
        != 0)
        return {};
    return image;
}

std::vector<uint8_t> encode(const QImage& image, int quality)
{
    if (image.isNull())
        return {};
    const QImage pixels = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        return {};
    const Handle handle(tjInitCompress());
    if (!handle)
        return {};
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    const int result = tjCompress2(handle.get(), pixels.constBits(), pixels.width(),
                                   static_cast<int>(pixels.bytesPerLine()), pixels.height(), kPixelFormat, &buffer,
                                   &bufferSize, TJSAMP_420, std::clamp(quality, 1, 100), 0);
    const std::unique_ptr<unsigned char, BufferFreer> owned(buffer);
    if (result != 0 || !buffer)
        return {};
    return std::vector<uint8_t>(buffer, buffer + bufferSize);
}

std::vector<uint8_t> insertAfterStart(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segment)
{
    if (jpeg.size() < 2)
        return {};
    std::vector<uint8_t> result;
    result.reserve(jpeg.size() + segment.size());
    result.insert(result.end(), jpeg.begin(), jpeg.begin() + 2);
    result.insert(result.end(), segment.begin(), segment.end());
    result.insert(result.end(), jpeg.begin() + 2, jpeg.end());
    return result;
}

} // namespace imaging::jpeg
