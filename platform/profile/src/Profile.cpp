// Profile (INI) file reading and writing; see Profile.h for the semantics kept.
#include "profile/Profile.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace vesk::profile {
namespace {

std::mutex& fileMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string_view trim(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Windows drops one pair of matching quotes around a value.
std::string_view unquote(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

bool containsAny(std::string_view text, std::string_view characters)
{
    return text.find_first_of(characters) != std::string_view::npos;
}

// The path a save replaces: the final target when the path is a symbolic link (a chain
// followed to its end, a dangling link to the file it names), else the path itself.
std::filesystem::path saveTarget(const std::string& path)
{
    std::filesystem::path target = path;
    std::error_code error;
    for (int depth = 0; depth < 40 && std::filesystem::is_symlink(target, error); ++depth) {
        const std::filesystem::path link = std::filesystem::read_symlink(target, error);
        if (error)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

std::string cut(std::string_view text, std::size_t bufferSize)
{
    if (bufferSize == 0)
        return {};
    return std::string(text.substr(0, std::min(text.size(), bufferSize - 1)));
}

} // namespace

bool equalsIgnoreCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size()
        && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

ProfileDocument ProfileDocument::parse(std::string_view text)
{
    ProfileDocument document;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view rawView = text.substr(start, end - start);
        if (!rawView.empty() && rawView.back() == '\r')
            rawView.remove_suffix(1);
        Line line;
        line.raw = std::string(rawView);
        const std::string_view content = trim(rawView);
        if (content.size() >= 2 && content.front() == '[' && content.find(']') != std::string_view::npos) {
            line.kind = Line::Kind::Section;
            line.section = std::string(trim(content.substr(1, content.find(']') - 1)));
        } else if (!content.empty() && content.front() != ';' && content.find('=') != std::string_view::npos) {
            const std::size_t equals = content.find('=');
            line.kind = Line::Kind::Key;
            line.key = std::string(trim(content.substr(0, equals)));
            line.value = std::string(unquote(trim(content.substr(equals + 1))));
        }
        document.m_lines.push_back(std::move(line));
        start = end + 1;
    }
    return document;
}

ProfileDocument ProfileDocument::load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::ostringstream content;
    content << file.rdbuf();
    return parse(content.str());
}

std::size_t ProfileDocument::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Kind::Section && equalsIgnoreCase(m_lines[i].section, section))
            return i;
    }
    return m_lines.size();
}

std::size_t ProfileDocument::sectionEnd(std::size_t header) const
{
    std::size_t end = header + 1;
    while (end < m_lines.size() && m_lines[end].kind != Line::Kind::Section)
        ++end;
    return end;
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const
{
    const std::size_t header = findSection(section);
    if (header == m_lines.size())
        return std::nullopt;
    for (std::size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Key && equalsIgnoreCase(m_lines[i].key, key))
            return m_lines[i].value;
    }
    return std::nullopt;
}

std::vector<std::string> ProfileDocument::sectionNames() const
{
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (line.kind == Line::Kind::Section)
            names.push_back(line.section);
    }
    return names;
}

std::vector<std::string> ProfileDocument::keyNames(std::string_view section) const
{
    std::vector<std::string> names;
    const std::size_t header = findSection(section);
    if (header == m_lines.size())
        return names;
    for (std::size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Key)
            names.push_back(m_lines[i].key);
    }
    return names;
}

bool ProfileDocument::isSafeEntry(std::string_view section, std::string_view key, std::string_view value)
{
    return !containsAny(section, "\r\n]") && !key.empty() && !containsAny(key, "\r\n=") && key.front() != '['
        && key.front() != ';' && !containsAny(value, "\r\n");
}

bool ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (!isSafeEntry(section, key, value))
        return false;
    Line keyLine;
    keyLine.kind = Line::Kind::Key;
    keyLine.key = std::string(key);
    keyLine.value = std::string(value);
    keyLine.raw = keyLine.key + "=" + keyLine.value;

    std::size_t header = findSection(section);
    if (header == m_lines.size()) {
        Line headerLine;
        headerLine.kind = Line::Kind::Section;
        headerLine.section = std::string(section);
        headerLine.raw = "[" + headerLine.section + "]";
        m_lines.push_back(std::move(headerLine));
        m_lines.push_back(std::move(keyLine));
        return true;
    }
    const std::size_t end = sectionEnd(header);
    std::size_t lastKey = header;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind != Line::Kind::Key)
            continue;
        if (equalsIgnoreCase(m_lines[i].key, key)) {
            keyLine.key = m_lines[i].key; // keep the spelling the file already has
            keyLine.raw = keyLine.key + "=" + keyLine.value;
            m_lines[i] = std::move(keyLine);
            return true;
        }
        lastKey = i;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), std::move(keyLine));
    return true;
}

bool ProfileDocument::removeKey(std::string_view section, std::string_view key)
{
    const std::size_t header = findSection(section);
    if (header == m_lines.size())
        return false;
    for (std::size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Key && equalsIgnoreCase(m_lines[i].key, key)) {
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool ProfileDocument::removeSection(std::string_view section)
{
    const std::size_t header = findSection(section);
    if (header == m_lines.size())
        return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd(header)));
    return true;
}

std::string ProfileDocument::text() const
{
    std::string out;
    for (const Line& line : m_lines) {
        out += line.raw;
        out += '\n';
    }
    return out;
}

bool ProfileDocument::save(const std::string& path) const
{
    // The temporary file sits beside the real file so that the rename stays atomic; it takes
    // the real file's permissions before it replaces it.
    const std::filesystem::path target = saveTarget(path);
    const std::string temporary = target.string() + ".tmp" + std::to_string(::getpid());
    const auto discard = [&temporary] {
        std::remove(temporary.c_str());
        return false;
    };
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file << text();
        file.flush();
        if (!file)
            return discard();
    }
    std::error_code error;
    const std::filesystem::file_status existing = std::filesystem::status(target, error);
    if (std::filesystem::exists(existing)) {
        std::filesystem::permissions(temporary, existing.permissions(), error);
        if (error)
            return discard();
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        return discard();
    return true;
}

std::string readString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize)
{
    std::optional<std::string> value;
    {
        std::lock_guard lock(fileMutex());
        value = ProfileDocument::load(path).value(section, key);
    }
    return cut(value ? std::string_view(*value) : defaultValue, bufferSize);
}

int readInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue)
{
    std::optional<std::string> value;
    {
        std::lock_guard lock(fileMutex());
        value = ProfileDocument::load(path).value(section, key);
    }
    if (!value)
        return defaultValue;
    const char* text = value->c_str();
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    // Windows keeps the low 32 bits of what it read: unsigned arithmetic wraps exactly so.
    uint32_t bits = 0;
    while (std::isdigit(static_cast<unsigned char>(*text))) {
        bits = bits * 10u + static_cast<uint32_t>(*text - '0');
        ++text;
    }
    return static_cast<int>(negative ? 0u - bits : bits);
}

bool writeString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value)
{
    std::lock_guard lock(fileMutex());
    ProfileDocument document = ProfileDocument::load(path);
    return document.setValue(section, key, value) && document.save(path);
}

bool deleteKey(const std::string& path, std::string_view section, std::string_view key)
{
    std::lock_guard lock(fileMutex());
    ProfileDocument document = ProfileDocument::load(path);
    return document.removeKey(section, key) && document.save(path);
}

bool deleteSection(const std::string& path, std::string_view section)
{
    std::lock_guard lock(fileMutex());
    ProfileDocument document = ProfileDocument::load(path);
    return document.removeSection(section) && document.save(path);
}

} // namespace vesk::profile
