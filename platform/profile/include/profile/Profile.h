// Profile (INI) files with the semantics of the Windows profile calls: sections and keys
// matched without regard to case, a default when absent, reads cut to a buffer size, files
// created on write, and every other section, key, comment and blank line kept on write. Only
// ';' starts a comment. Only regular files are read or written; nothing ever blocks on a FIFO.
//
// Threading: the free functions are safe from any thread and from several processes at once:
// every write locks the file against other writers for its read-modify-write (an advisory lock
// on "<file>.lock" beside it) and replaces the file atomically, so reads need no lock and
// never see half a file. A ProfileDocument belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::profile {

// Windows returns at most size - 1 characters; this is the size the system's readers use.
inline constexpr std::size_t kDefaultBufferSize = 256;

// An INI file held in memory, line by line, so that writing one key changes nothing else.
class ProfileDocument final {
public:
    ProfileDocument() = default;
    static ProfileDocument parse(std::string_view text);
    // An absent or unreadable file, or one that is not a regular file, gives an empty document.
    static ProfileDocument load(const std::string& path);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::vector<std::string> sectionNames() const;
    std::vector<std::string> keyNames(std::string_view section) const;

    // False, and the document unchanged, for an entry that would not read back as written or
    // would add lines: see isSafeEntry. A value that reading would change (blanks at an end,
    // a pair of matching quotes around it) is written inside quotes so that it reads back as is.
    [[nodiscard]] bool setValue(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    // A section without line ends, NUL or ']', a key without line ends, NUL or '=' that is not
    // empty and does not start with '[' or ';', neither with a blank at either end (reading
    // trims those), and a value without line ends or NUL.
    static bool isSafeEntry(std::string_view section, std::string_view key, std::string_view value);

    // The document with every line ended as the file's first line was ("\r\n" or "\n"; "\n"
    // for a new or one-line file), so that a file kept with CR LF line ends keeps them.
    std::string text() const;
    // Writes the whole document through a temporary file created exclusively beside the file
    // and a rename. A symbolic link is kept: its target is replaced, and a replaced file keeps
    // its mode, owner and group. A file without any write bit, or that this process may not
    // write, is refused. False on failure. It takes no lock: for a read-modify-write, use update.
    bool save(const std::string& path) const;

private:
    struct Line {
        std::string raw;          // the line as read (without its line end)
        std::string section;      // for a section header: its name
        std::string key;          // for a key line: its name, trimmed
        std::string value;        // for a key line: its value, trimmed and unquoted
        enum class Kind { Other, Section, Key } kind = Kind::Other;
    };
    // Index of the section header, or lines.size() when absent.
    std::size_t findSection(std::string_view section) const;
    std::size_t sectionEnd(std::size_t header) const;

    std::vector<Line> m_lines;
    std::string m_lineEnd = "\n";
};

bool equalsIgnoreCase(std::string_view left, std::string_view right);

// GetPrivateProfileString: the value cut to bufferSize - 1 characters, or the default
// (cut the same way) when the file, section or key is absent.
std::string readString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize = kDefaultBufferSize);
// GetPrivateProfileInt: the low 32 bits of the leading decimal number of the value (optional
// sign), 0 when the value has no leading digits, the default when the key is absent.
int readInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue);
// The locked read-modify-write behind every write: loads the file (or its link's target), lets
// change edit it, and saves it when change returns true. False when the file exists but cannot
// be read or is not a regular file, when another writer keeps the lock for too long, when
// change returns false, or when the save fails.
bool update(const std::string& path, const std::function<bool(ProfileDocument&)>& change);

// WritePrivateProfileString: creates the file and the section as needed. False on failure,
// and for an unsafe entry (see ProfileDocument::isSafeEntry), which leaves the file unchanged.
bool writeString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);
bool deleteKey(const std::string& path, std::string_view section, std::string_view key);
bool deleteSection(const std::string& path, std::string_view section);

} // namespace vesk::profile
