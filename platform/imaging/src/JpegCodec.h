// JPEG decoding and encoding with TurboJPEG straight into and out of QImage buffers, and a
// cheap walk over a JPEG's markers that finds its size, its EXIF block and whether it is
// complete, before anything is decoded.
//
// Threading: free functions without shared state; call from any one thread at a time per
// image.
#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace imaging::jpeg {

// True when the bytes start like a JPEG (SOI followed by a marker).
bool looksLikeJpeg(const uint8_t* data, std::size_t size);

struct Layout {
    int width = 0;
    int height = 0;
    // The EXIF block (TIFF header onwards) of the first APP1 "Exif" segment; size 0 when none.
    std::size_t exifOffset = 0;
    std::size_t exifSize = 0;
    // True when an end-of-image marker follows the first scan: a truncated file has none.
    bool complete = false;
    // True for colour spaces TurboJPEG cannot turn into RGB (four components: CMYK, YCCK).
    bool fourComponents = false;
    // False when the data is too short to hold the picture its header claims: every 8x8
    // block of a large picture takes at least one bit. Such a file would only make the
    // decoder allocate for pixels that are not there.
    bool plausible = true;
};

// Walks the markers up to the first scan; nullopt when the structure is broken before it
// (no SOI, a segment running past the end, no frame header, a zero size).
std::optional<Layout> readLayout(const uint8_t* data, std::size_t size);

// The size libjpeg reads from the headers, when it accepts them and can give RGB pixels
// (not for CMYK and YCCK pictures); nullopt otherwise.
std::optional<QSize> decodableSize(const uint8_t* data, std::size_t size);

// Decodes the whole picture, or, when minimumSize is valid, at the smallest of the scales
// 1/1, 1/2, 1/4, 1/8 that still gives at least minimumSize. A null image when the data does
// not decode cleanly (any warning counts: truncated or corrupt data) or memory runs out.
QImage decode(const uint8_t* data, std::size_t size, QSize minimumSize = {});

// The scale decode would use, as the decoded size.
QSize scaledSize(QSize fullSize, QSize minimumSize);

// Encodes a colour image (any format; converted to 32-bit RGB when needed) at quality
// 1..100 with 4:2:0 chroma; an empty result on failure.
std::vector<uint8_t> encode(const QImage& image, int quality);

// The JPEG with segment inserted right after its SOI marker.
std::vector<uint8_t> insertAfterStart(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segment);

} // namespace imaging::jpeg
