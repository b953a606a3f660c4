// The deferred image: loading, recorded turns and resize, decoding at a reduced scale, and
// saving as JPEG with or without the comment fields.
#include "ImageDocument.h"

#include "JpegCodec.h"
#include "imaging/DispIds.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QTransform>

#include <algorithm>
#include <limits>

namespace imaging {
namespace {

// No picture we accept comes near this; larger files are refused before they are read.
constexpr qint64 kMaxFileBytes = qint64{1} << 30;
constexpr qint64 kBytesPerMegabyte = qint64{1} << 20;

bool isQuarterTurnOdd(int turn) { return turn == 90 || turn == 270; }

bool optionsSupported(const ImageDocument::LoadOptions& options)
{
    const bool depthKnown = options.bitsPerPixel == 0 || options.bitsPerPixel == 24 || options.bitsPerPixel == 32;
    return depthKnown && options.firstPage == 0 && (options.pageCount == 0 || options.pageCount == 1);
}

int64_t area(QSize size) { return int64_t{size.width()} * size.height(); }

// QImageReader's allocation limit is process-wide: raise it to what one picture needs for the
// length of one read, then put back what was there.
class AllocationLimitScope final {
public:
    explicit AllocationLimitScope(int megabytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(megabytes);
    }
    ~AllocationLimitScope() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimitScope(const AllocationLimitScope&) = delete;
    AllocationLimitScope& operator=(const AllocationLimitScope&) = delete;

private:
    int m_previous;
};

// A large picture claimed by a few bytes (a BMP header alone, a PNG cut after its header)
// would only make the reader allocate for pixels that are not there, for hundreds of
// megabytes and seconds. No format we read packs more pixels into a byte than this (deflate
// at its best on one-bit rows comes to about 8000); small pictures cost little either way.
constexpr int64_t kPlausibilityCheckedAbove = 16'000'000;
constexpr int64_t kMostPixelsPerByte = 16384;

bool holdsPlausibly(int64_t pixels, qsizetype bytes)
{
    return pixels <= kPlausibilityCheckedAbove || int64_t{bytes} >= pixels / kMostPixelsPerByte;
}

// Eight bytes a pixel: Qt reads 16-bit-per-channel pictures into 64-bit pixels.
int megabytesFor(int64_t pixels) { return static_cast<int>(pixels * 8 / kBytesPerMegabyte + 1); }

void report(const ImageDocument::Progress& progress, int16_t percent)
{
    if (progress)
        progress(percent);
}

} // namespace

int16_t ImageDocument::loadFile(const QString& path, const LoadOptions& options, const Progress& progress)
{
    if (!optionsSupported(options))
        return status::Unsupported;
    clear();
    report(progress, 0);
    const auto before = fileKey(path);
    if (!before || before->size == 0)
        return status::FileNotFound;
    if (before->size > kMaxFileBytes)
        return status::ImageTooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return status::FileNotFound;
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty())
        return status::FileNotFound;
    report(progress, 50);

    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const int16_t result = jpeg::looksLikeJpeg(data, static_cast<std::size_t>(bytes.size()))
                               ? acceptJpeg(std::move(bytes), false)
                               : acceptOtherPicture(bytes);
    if (result != status::Ok) {
        clear();
        return result;
    }
    // Only a file that did not change while it was read stands for what was loaded.
    if (fileKey(path) == before)
        m_sourceFile = before;
    if (options.fieldsFromFile) {
        exifOrientation();
        if (m_exif)
            m_fields = m_exif->fields;
    }
    report(progress, 100);
    return status::Ok;
}

int16_t ImageDocument::loadMemory(const uint8_t* data, std::size_t size, const LoadOptions& options)
{
    if (!optionsSupported(options))
        return status::Unsupported;
    if (!data || size == 0)
        return status::InvalidArgument;
    clear();
    // The caller's bytes are only borrowed for the decode.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int16_t result = jpeg::looksLikeJpeg(data, size) ? acceptJpeg(bytes, true) : acceptOtherPicture(bytes);
    if (result != status::Ok)
        clear();
    return result;
}

int16_t ImageDocument::acceptJpeg(QByteArray bytes, bool decodeNow)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const auto size = static_cast<std::size_t>(bytes.size());
    const auto layout = jpeg::readLayout(data, size);
    if (!layout)
        return status::BadImageData;
    if (int64_t{layout->width} * layout->height > MaxPixels)
        return status::ImageTooLarge;
    if (!layout->complete || !layout->plausible)
        return status::BadImageData;
    if (layout->fourComponents)
        return acceptOtherPicture(bytes);
    const auto decodable = jpeg::decodableSize(data, size);
    if (!decodable)
        return status::BadImageData;
    if (layout->exifSize > 0)
        m_exifBlock = QByteArray(bytes.constData() + layout->exifOffset, static_cast<qsizetype>(layout->exifSize));
    if (decodeNow) {
        m_pixels = jpeg::decode(data, size);
        if (m_pixels.isNull())
            return status::BadImageData;
    } else {
        m_encoded = std::move(bytes);
        m_encodedSize = *decodable;
    }
    adopt();
    return status::Ok;
}

int16_t ImageDocument::acceptOtherPicture(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return status::BadImageData;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return status::BadImageData;
    // Every picture is measured from its header before a byte of it is decoded; a reader that
    // cannot tell the size first is not given the decode.
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty())
        return status::BadImageData;
    if (area(declared) > MaxPixels)
        return status::ImageTooLarge;
    if (!holdsPlausibly(area(declared), bytes.size()))
        return status::BadImageData;
    QImage image;
    {
        const AllocationLimitScope limit(megabytesFor(area(declared)));
        image = reader.read();
    }
    if (image.isNull())
        return status::BadImageData;
    // A reader whose picture is larger than its header said is not believed either.
    if (area(image.size()) > area(declared))
        return status::BadImageData;
    if (image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            return status::OutOfMemory;
    }
    m_pixels = std::move(image);
    m_exif = parseExifOfPicture(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    m_exifParsed = true;
    adopt();
    return status::Ok;
}

void ImageDocument::adopt()
{
    static int32_t lastHandle = 0;
    lastHandle = lastHandle == std::numeric_limits<int32_t>::max() ? 1 : lastHandle + 1;
    m_handle = lastHandle;
    ++m_revision;
}

void ImageDocument::clear()
{
    m_encoded = QByteArray();
    m_encodedSize = QSize();
    m_pixels = QImage();
    m_scaleTo.reset();
    m_smoothScale = true;
    m_turn = 0;
    m_exifBlock = QByteArray();
    m_exif.reset();
    m_exifParsed = false;
    m_sourceFile.reset();
    m_fields = FieldValues();
    m_handle = 0;
    ++m_revision;
}

QSize ImageDocument::size() const
{
    if (!isLoaded())
        return QSize(0, 0);
    const QSize source = m_scaleTo.value_or(m_encoded.isEmpty() ? m_pixels.size() : m_encodedSize);
    return isQuarterTurnOdd(m_turn) ? source.transposed() : source;
}

int16_t ImageDocument::exifOrientation()
{
    if (!isLoaded())
        return 0;
    if (!m_exifParsed) {
        m_exifParsed = true;
        if (!m_exifBlock.isEmpty())
            m_exif = parseExifBlock(reinterpret_cast<const uint8_t*>(m_exifBlock.constData()),
                                    static_cast<std::size_t>(m_exifBlock.size()));
        // The file's comment-field reads that usually follow need not parse it again.
        if (m_sourceFile)
            ExifCache::instance().store(*m_sourceFile, m_exif);
    }
    return m_exif ? m_exif->orientation : int16_t{1};
}

int16_t ImageDocument::rotate(int angle)
{
    if (!isLoaded())
        return status::NoImage;
    if (angle % 90 != 0)
        return status::InvalidArgument;
    const int turn = ((m_turn + angle) % 360 + 360) % 360;
    if (turn != m_turn) {
        m_turn = turn;
        ++m_revision;
    }
    return status::Ok;
}

int16_t ImageDocument::resize(QSize target, bool smooth)
{
    if (!isLoaded())
        return status::NoImage;
    if (target.isEmpty() || area(target) > MaxPixels)
        return status::InvalidArgument;
    // A second resize scales what the first one gave, as the caller saw it.
    if (m_scaleTo) {
        const int16_t applied = applyPending();
        if (applied != status::Ok)
            return applied;
    }
    const QSize inSourceOrientation = isQuarterTurnOdd(m_turn) ? target.transposed() : target;
    const QSize source = m_encoded.isEmpty() ? m_pixels.size() : m_encodedSize;
    if (inSourceOrientation == source)
        return status::Ok;
    m_scaleTo = inSourceOrientation;
    m_smoothScale = smooth;
    ++m_revision;
    return status::Ok;
}

int16_t ImageDocument::applyPending()
{
    if (!isLoaded())
        return status::NoImage;
    if (!m_encoded.isEmpty()) {
        QImage decoded = jpeg::decode(reinterpret_cast<const uint8_t*>(m_encoded.constData()),
                                      static_cast<std::size_t>(m_encoded.size()), m_scaleTo.value_or(QSize()));
        m_encoded = QByteArray();
        if (decoded.isNull()) {
            clear();
            return status::BadImageData;
        }
        m_pixels = std::move(decoded);
    }
    if (m_scaleTo) {
        if (*m_scaleTo != m_pixels.size()) {
            QImage scaled = m_pixels.scaled(*m_scaleTo, Qt::IgnoreAspectRatio,
                                            m_smoothScale ? Qt::SmoothTransformation : Qt::FastTransformation);
            if (scaled.isNull())
                return status::OutOfMemory;
            m_pixels = std::move(scaled);
        }
        m_scaleTo.reset();
    }
    if (m_turn != 0) {
        // QTransform turns clockwise on the y-down pixel grid.
        QImage turned = m_pixels.transformed(QTransform().rotate(360 - m_turn));
        if (turned.isNull())
            return status::OutOfMemory;
        m_pixels = std::move(turned);
        m_turn = 0;
    }
    return status::Ok;
}

QImage* ImageDocument::pixels()
{
    if (!isLoaded() || !m_encoded.isEmpty() || m_scaleTo || m_turn != 0)
        return nullptr;
    return &m_pixels;
}

bool ImageDocument::setField(int16_t index, const automation::Variant& value)
{
    const auto accepted = acceptFieldValue(index, value);
    if (!accepted)
        return false;
    m_fields[static_cast<std::size_t>(index)] = *accepted;
    return true;
}

int16_t ImageDocument::save(const QString& path, int16_t fileFormat, int16_t compressionLevel, const Progress& progress)
{
    if (fileFormat != fileformat::Jpeg && fileFormat != fileformat::JpegWithFields)
        return status::Unsupported;
    if (!isLoaded())
        return status::NoImage;
    report(progress, 0);
    const int16_t applied = applyPending();
    if (applied != status::Ok)
        return applied;
    const int quality = std::clamp(100 - int{compressionLevel}, 1, 100);
    std::vector<uint8_t> encoded = jpeg::encode(m_pixels, quality);
    if (encoded.empty())
        return status::OutOfMemory;
    if (fileFormat == fileformat::JpegWithFields) {
        const auto segment = exifSegment(m_fields, m_pixels.width(), m_pixels.height());
        if (!segment)
            return status::WriteFailed;
        encoded = jpeg::insertAfterStart(encoded, *segment);
    }
    report(progress, 50);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return status::WriteFailed;
    const auto size = static_cast<qint64>(encoded.size());
    if (file.write(reinterpret_cast<const char*>(encoded.data()), size) != size || !file.commit())
        return status::WriteFailed;
    report(progress, 100);
    return status::Ok;
}

} // namespace imaging
