// The picture an imaging widget holds. Loading keeps a JPEG's bytes and reads only its
// header; turns and a resize are recorded and applied together when pixels are first needed,
// so that a large picture is decoded once, at the smallest scale the result needs, and the
// turn is done on the smaller image.
//
// Threading: owned by one widget, used on the user-interface thread only.
#pragma once

#include "CommentFields.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace imaging {

class ImageDocument final {
public:
    using Progress = std::function<void(int16_t percent)>;

    struct LoadOptions {
        int16_t bitsPerPixel = 0;
        int32_t firstPage = 0;
        int32_t pageCount = 1;
        // Take the file's own comment fields as the image's.
        bool fieldsFromFile = false;
    };

    // Statuses as in imaging::status. A failed load leaves no image.
    int16_t loadFile(const QString& path, const LoadOptions& options, const Progress& progress);
    // Decodes at once: the bytes belong to the caller and may go away after the call.
    int16_t loadMemory(const uint8_t* data, std::size_t size, const LoadOptions& options);
    void clear();

    bool isLoaded() const { return m_handle != 0; }
    // Non-zero while an image is loaded; a new value for every load.
    int32_t handle() const { return m_handle; }
    // The size the image has with every recorded turn and resize applied.
    QSize size() const;
    // Changes with every change of the image (for caches of what is shown).
    uint64_t revision() const { return m_revision; }

    // The loaded picture's EXIF orientation: 1 when it has none, 0 without an image.
    int16_t exifOrientation();

    // Counter-clockwise, any multiple of 90 degrees.
    int16_t rotate(int angle);
    // To target pixels; smooth resampling or nearest pixel.
    int16_t resize(QSize target, bool smooth);

    // Decodes and applies what is recorded. On a decode failure the image is dropped.
    int16_t applyPending();
    // The pixels after applyPending succeeded; nullptr without an image or before that.
    QImage* pixels();
    // To be called after the pixels were drawn on.
    void markChanged() { ++m_revision; }

    // Comment fields of the image. False (and nothing changed) when the field index is out
    // of range or its tag cannot hold the value.
    bool setField(int16_t index, const automation::Variant& value);
    const FieldValues& fields() const { return m_fields; }

    // Saves as JPEG (fileformat::Jpeg or JpegWithFields) at compressionLevel (JPEG quality =
    // 100 - level, within 1..100), replacing the file atomically.
    int16_t save(const QString& path, int16_t fileFormat, int16_t compressionLevel, const Progress& progress);

private:
    int16_t acceptJpeg(QByteArray bytes, bool decodeNow);
    int16_t acceptOtherPicture(const QByteArray& bytes);
    void adopt();  // a load succeeded: new handle and revision

    // What was loaded and not decoded yet (a JPEG's bytes), or the decoded pixels.
    QByteArray m_encoded;
    QSize m_encodedSize;
    QImage m_pixels;
    // Recorded and not yet applied: the size to scale the source to (in the source's own
    // orientation), then the counter-clockwise turn.
    std::optional<QSize> m_scaleTo;
    bool m_smoothScale = true;
    int m_turn = 0;

    // The EXIF block of a JPEG, kept small and apart so the bytes can go after decoding.
    QByteArray m_exifBlock;
    std::shared_ptr<const ExifSummary> m_exif;
    bool m_exifParsed = false;
    std::optional<FileKey> m_sourceFile;

    FieldValues m_fields;
    int32_t m_handle = 0;
    uint64_t m_revision = 0;
};

} // namespace imaging
