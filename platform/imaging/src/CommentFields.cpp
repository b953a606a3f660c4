// Comment fields over exiv2: parsing, the per-file cache, value checks and the saved segment.
// exiv2 reports failures by throwing Exiv2::AnyError; nothing thrown leaves this file.
#include "CommentFields.h"

#include <exiv2/exiv2.hpp>

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

namespace imaging {
namespace {

constexpr std::size_t kCacheEntries = 8;
// An APP1 segment holds at most 65535 bytes including its length field.
constexpr std::size_t kMaxSegmentPayload = 65533;
constexpr char kExifPrefix[] = "Exif\0\0";
constexpr std::size_t kExifPrefixSize = 6;

bool isIntegerType(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return true;
    default:
        return false;
    }
}

automation::Variant toVariant(const Exiv2::Exifdatum& datum)
{
    if (isIntegerType(datum.typeId()) && datum.count() == 1) {
        const long number = datum.toLong(0);
        if (number >= std::numeric_limits<int32_t>::min() && number <= std::numeric_limits<int32_t>::max())
            return automation::Variant(static_cast<int32_t>(number));
    }
    return automation::Variant(datum.toString());
}

// Field index by EXIF key, so that a picture's EXIF is summarized in one pass over it.
const std::unordered_map<std::string, std::size_t>& fieldIndexByKey()
{
    static const std::unordered_map<std::string, std::size_t> index = [] {
        std::unordered_map<std::string, std::size_t> result;
        const auto& keys = commentFieldKeys();
        for (std::size_t i = 0; i < keys.size(); ++i)
            result.emplace(keys[i], i);
        return result;
    }();
    return index;
}

std::shared_ptr<const ExifSummary> summarize(const Exiv2::ExifData& data)
{
    auto summary = std::make_shared<ExifSummary>();
    const auto& index = fieldIndexByKey();
    for (const Exiv2::Exifdatum& datum : data) {
        const std::string key = datum.key();
        if (const auto found = index.find(key); found != index.end() && summary->fields[found->second].isEmpty())
            summary->fields[found->second] = toVariant(datum);
        if (key == "Exif.Image.Orientation" && datum.count() > 0 && isIntegerType(datum.typeId())) {
            const long code = datum.toLong(0);
            if (code >= 1 && code <= 8)
                summary->orientation = static_cast<int16_t>(code);
        }
    }
    return summary;
}

// The text form exiv2 reads a value from.
std::optional<std::string> valueText(const automation::Variant& value)
{
    switch (value.valueType()) {
    case automation::VarType::String:
    case automation::VarType::Int16:
    case automation::VarType::Int32:
    case automation::VarType::Float:
    case automation::VarType::Double:
        return value.toString();
    case automation::VarType::Bool:
        return std::string(value.toBool() ? "1" : "0");
    default:
        return std::nullopt;
    }
}

// The value of field index made from text; nullptr when the tag's type cannot read it.
Exiv2::Value::AutoPtr makeValue(int16_t index, const std::string& text)
{
    const Exiv2::ExifKey key(commentFieldKeys()[static_cast<std::size_t>(index)]);
    auto value = Exiv2::Value::create(key.defaultTypeId());
    if (value->read(text) != 0)
        return Exiv2::Value::AutoPtr();
    if (value->count() == 0 && !text.empty())
        return Exiv2::Value::AutoPtr();
    return value;
}

void setIfPresent(Exiv2::ExifData& data, const char* key, uint32_t number)
{
    const auto found = data.findKey(Exiv2::ExifKey(key));
    if (found != data.end())
        found->setValue(std::to_string(number));
}

} // namespace

void quietExifLibrary()
{
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
}

std::shared_ptr<const ExifSummary> parseExifBlock(const uint8_t* data, std::size_t size)
{
    if (!data || size == 0 || size > std::numeric_limits<uint32_t>::max())
        return nullptr;
    try {
        Exiv2::ExifData exif;
        if (Exiv2::ExifParser::decode(exif, data, static_cast<uint32_t>(size)) == Exiv2::invalidByteOrder)
            return nullptr;
        return summarize(exif);
    } catch (...) {
        return nullptr;
    }
}

std::shared_ptr<const ExifSummary> parseExifOfPicture(const uint8_t* data, std::size_t size)
{
    if (!data || size == 0 || size > static_cast<std::size_t>(std::numeric_limits<long>::max()))
        return nullptr;
    try {
        auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
        if (!image.get())
            return nullptr;
        image->readMetadata();
        return summarize(image->exifData());
    } catch (...) {
        return nullptr;
    }
}

std::optional<FileKey> fileKey(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    struct stat information {};
    if (::stat(native.constData(), &information) != 0 || !S_ISREG(information.st_mode))
        return std::nullopt;
    FileKey key;
    key.path = native.toStdString();
    key.modifiedNs = int64_t{information.st_mtim.tv_sec} * 1'000'000'000 + information.st_mtim.tv_nsec;
    key.size = static_cast<int64_t>(information.st_size);
    return key;
}

ExifCache& ExifCache::instance()
{
    static ExifCache cache;
    return cache;
}

std::shared_ptr<const ExifSummary> ExifCache::forFile(const QString& path)
{
    const auto key = fileKey(path);
    if (!key)
        return nullptr;
    {
        const std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                        [&](const Entry& entry) { return entry.key == *key; });
        if (found != m_entries.end()) {
            std::rotate(found, found + 1, m_entries.end());
            return m_entries.back().summary;
        }
    }
    std::shared_ptr<const ExifSummary> summary;
    try {
        auto image = Exiv2::ImageFactory::open(key->path);
        if (image.get()) {
            image->readMetadata();
            summary = summarize(image->exifData());
        }
    } catch (...) {
        summary = nullptr;
    }
    {
        const std::lock_guard lock(m_mutex);
        ++m_fileParses;
    }
    // A file changed while it was parsed is not remembered under its old version.
    if (fileKey(path) == key)
        store(*key, summary);
    return summary;
}

void ExifCache::store(const FileKey& key, std::shared_ptr<const ExifSummary> summary)
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const Entry& entry) { return entry.key.path == key.path; });
    if (m_entries.size() >= kCacheEntries)
        m_entries.erase(m_entries.begin());
    m_entries.push_back(Entry{key, std::move(summary)});
}

std::size_t ExifCache::fileParseCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_fileParses;
}

void ExifCache::clear()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
}

std::optional<automation::Variant> acceptFieldValue(int16_t index, const automation::Variant& value)
{
    if (index < 0 || index >= CommentFieldCount)
        return std::nullopt;
    try {
        if (value.isEmpty())
            return automation::Variant();
        const auto text = valueText(value);
        if (!text || !makeValue(index, *text).get())
            return std::nullopt;
        return value.value();
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> exifSegment(const FieldValues& fields, int width, int height)
{
    try {
        Exiv2::ExifData data;
        const auto& keys = commentFieldKeys();
        for (std::size_t index = 0; index < keys.size(); ++index) {
            if (fields[index].isEmpty())
                continue;
            const auto text = valueText(fields[index]);
            if (!text)
                continue;
            const auto value = makeValue(static_cast<int16_t>(index), *text);
            if (value.get())
                data.add(Exiv2::ExifKey(keys[index]), value.get());
        }
        // The saved pixels are upright and of their own size, whatever the fields said.
        data["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
        data["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
        data["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
        setIfPresent(data, "Exif.Image.ImageWidth", static_cast<uint32_t>(width));
        setIfPresent(data, "Exif.Image.ImageLength", static_cast<uint32_t>(height));
        setIfPresent(data, "Exif.Iop.RelatedImageWidth", static_cast<uint32_t>(width));
        setIfPresent(data, "Exif.Iop.RelatedImageLength", static_cast<uint32_t>(height));

        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
        if (blob.empty() || blob.size() + kExifPrefixSize > kMaxSegmentPayload)
            return std::nullopt;
        const std::size_t length = 2 + kExifPrefixSize + blob.size();
        std::vector<uint8_t> segment;
        segment.reserve(2 + length);
        segment.push_back(0xFF);
        segment.push_back(0xE1);
        segment.push_back(static_cast<uint8_t>(length >> 8));
        segment.push_back(static_cast<uint8_t>(length & 0xFF));
        segment.insert(segment.end(), kExifPrefix, kExifPrefix + kExifPrefixSize);
        segment.insert(segment.end(), blob.begin(), blob.end());
        return segment;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace imaging
