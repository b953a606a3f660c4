// Comment fields: the table from field index to EXIF tag, the conversion between EXIF values
// and automation variants, the per-file cache that parses a file's EXIF once for all its
// field reads, and the EXIF segment a save writes.
//
// Threading: the cache is locked and may be used from any thread; the rest has no shared
// state.
#pragma once

#include "imaging/DispIds.h"

#include "automation/Variant.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace imaging {

// The EXIF key ("Exif.Photo.ExposureTime", ...) of every field index.
const std::array<const char*, CommentFieldCount>& commentFieldKeys();

using FieldValues = std::array<automation::Variant, CommentFieldCount>;

// What a picture's EXIF says, as far as the widget needs it.
struct ExifSummary {
    FieldValues fields;       // empty variants where the picture lacks the field
    int16_t orientation = 1;  // 1 when absent or out of range
};

// Silences the EXIF library's own diagnostics (hostile files would flood the error output);
// the widget reports failures through its statuses instead. Safe to call repeatedly.
void quietExifLibrary();

// Parses a TIFF-structured EXIF block (an APP1 "Exif" payload without its 6-byte prefix).
// nullptr when it cannot be parsed.
std::shared_ptr<const ExifSummary> parseExifBlock(const uint8_t* data, std::size_t size);
// Parses the EXIF of a whole picture held in memory (any format the EXIF library knows).
std::shared_ptr<const ExifSummary> parseExifOfPicture(const uint8_t* data, std::size_t size);

// Identifies one version of a file: a changed file gets a new key.
struct FileKey {
    std::string path;
    int64_t modifiedNs = 0;
    int64_t size = 0;
    bool operator==(const FileKey&) const = default;
};
// nullopt when the file does not exist or is no regular file.
std::optional<FileKey> fileKey(const QString& path);

// The parsed EXIF of files, a few at a time, by FileKey.
class ExifCache final {
public:
    static ExifCache& instance();
    // The summary of the file at path, parsed on the first call for this version of the
    // file; nullptr when the file is missing or its EXIF unreadable (remembered as well).
    std::shared_ptr<const ExifSummary> forFile(const QString& path);
    // Remembers a summary parsed elsewhere (from a load of the same file version).
    void store(const FileKey& key, std::shared_ptr<const ExifSummary> summary);
    // How many files were parsed from disk since the process started.
    std::size_t fileParseCount() const;
    void clear();

private:
    ExifCache() = default;
    struct Entry {
        FileKey key;
        std::shared_ptr<const ExifSummary> summary;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;  // most recently used last
    std::size_t m_fileParses = 0;
};

// The value to keep for field index when a caller sets value: the value itself (an empty
// variant removes the field), or nullopt when the field's tag cannot hold it.
std::optional<automation::Variant> acceptFieldValue(int16_t index, const automation::Variant& value);

// The APP1 segment (marker and length included) carrying the set fields, orientation 1 and
// the true pixel dimensions; nullopt when the fields do not fit in one segment.
std::optional<std::vector<uint8_t>> exifSegment(const FieldValues& fields, int width, int height);

} // namespace imaging
