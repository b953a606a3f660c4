// JPEG encoding with the TurboJPEG API and EXIF writing with exiv2.
// Threading: pure functions; every handle is local to the call.
#include "Picture.h"

#include <exiv2/exiv2.hpp>
#include <turbojpeg.h>

#include <cstdio>
#include <memory>

namespace camsdk::detail {
namespace {

struct CompressorCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct JpegBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

} // namespace

std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality)
{
    if (width <= 0 || height <= 0 ||
        rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        return {};
    }
    const std::unique_ptr<void, CompressorCloser> compressor(tjInitCompress());
    if (!compressor) {
        return {};
    }
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const int result = tjCompress2(compressor.get(), rgb.data(), width, 0, height, TJPF_RGB, &output,
                                   &outputSize, TJSAMP_420, quality, TJFLAG_FASTDCT);
    const std::unique_ptr<unsigned char, JpegBufferFree> owned(output);
    if (result != 0 || !output) {
        std::fprintf(stderr, "camsdk: JPEG encoding failed: %s\n", tjGetErrorStr2(compressor.get()));
        return {};
    }
    return std::vector<uint8_t>(output, output + outputSize);
}

std::vector<uint8_t> addExif(const std::vector<uint8_t>& jpeg, const ExifFields& fields)
{
    try {
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = fields.make;
        exif["Exif.Image.Model"] = fields.model;
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(fields.orientation);
        exif["Exif.Image.DateTime"] = fields.dateTime;
        exif["Exif.Photo.DateTimeOriginal"] = fields.dateTime;
        if (fields.exposureTime) {
            exif["Exif.Photo.ExposureTime"] = Exiv2::URational(fields.exposureTime->first, fields.exposureTime->second);
        }
        if (fields.fNumber) {
            exif["Exif.Photo.FNumber"] = Exiv2::URational(fields.fNumber->first, fields.fNumber->second);
        }
        if (fields.isoSpeed) {
            exif["Exif.Photo.ISOSpeedRatings"] = static_cast<uint16_t>(std::min<uint32_t>(*fields.isoSpeed, 65535));
        }
        exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(fields.width);
        exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(fields.height);

        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf buffer = io.read(static_cast<long>(io.size()));
        return std::vector<uint8_t>(buffer.pData_, buffer.pData_ + buffer.size_);
    } catch (const Exiv2::AnyError& error) {
        std::fprintf(stderr, "camsdk: writing EXIF failed: %s\n", error.what());
        return jpeg;
    }
}

} // namespace camsdk::detail
