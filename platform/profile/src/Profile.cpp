// Profile (INI) file reading and writing; see Profile.h for the semantics kept.
#include "profile/Profile.h"

#include "FileAccess.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <mutex>

namespace vesk::profile {
namespace {

// Serializes this process's writers before they take the lock between processes.
std::mutex& writerMutex()
{
    static std::mutex mutex;
    return mutex;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text)
{
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

bool hasBlankAtAnEnd(std::string_view text)
{
    return !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
}

// Line ends and NUL never belong in a line of a text file.
constexpr std::string_view kLineBreakers("\r\n\0", 3);

// A value as it is written after "key=": a value that reading would change (blanks at an end
// are trimmed, one pair of matching quotes is dropped) is wrapped in quotes, which reading
// drops again.
std::string encodeValue(std::string_view value)
{
    if (hasBlankAtAnEnd(value) || unquote(value).size() != value.size())
        return "\"" + std::string(value) + "\"";
    return std::string(value);
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
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r')
        document.m_lineEnd = "\r\n";
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
    std::string text;
    if (detail::readRegularFile(path, text) != detail::ReadResult::Read)
        return {};
    return parse(text);
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
    // Reading trims the blanks around names, so a name with one there would never be found
    // again: a section would be added on every write, a key written twice.
    const bool sectionSafe = !containsAny(section, kLineBreakers) && !containsAny(section, "]") && !hasBlankAtAnEnd(section);
    const bool keySafe = !key.empty() && !containsAny(key, kLineBreakers) && !containsAny(key, "=") && !hasBlankAtAnEnd(key)
        && key.front() != '[' && key.front() != ';';
    return sectionSafe && keySafe && !containsAny(value, kLineBreakers);
}

bool ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (!isSafeEntry(section, key, value))
        return false;
    Line keyLine;
    keyLine.kind = Line::Kind::Key;
    keyLine.key = std::string(key);
    keyLine.value = std::string(value);
    keyLine.raw = keyLine.key + "=" + encodeValue(value);

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
            keyLine.raw = keyLine.key + "=" + encodeValue(value);
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
        out += m_lineEnd;
    }
    return out;
}

bool ProfileDocument::save(const std::string& path) const
{
    return detail::replaceFile(detail::resolveLinks(path), text());
}

bool update(const std::string& path, const std::function<bool(ProfileDocument&)>& change)
{
    std::lock_guard lock(writerMutex());
    const std::filesystem::path target = detail::resolveLinks(path);
    const detail::UpdateLock fileLock(target);
    if (!fileLock.held())
        return false;
    // A file that exists but cannot be read is never replaced by what little this write knows.
    std::string text;
    if (detail::readRegularFile(target.string(), text) == detail::ReadResult::Refused)
        return false;
    ProfileDocument document = ProfileDocument::parse(text);
    return change(document) && detail::replaceFile(target, document.text());
}

std::string readString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize)
{
    const std::optional<std::string> value = ProfileDocument::load(path).value(section, key);
    return cut(value ? std::string_view(*value) : defaultValue, bufferSize);
}

int readInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue)
{
    const std::optional<std::string> value = ProfileDocument::load(path).value(section, key);
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
    if (!ProfileDocument::isSafeEntry(section, key, value))
        return false;
    return update(path, [&](ProfileDocument& document) { return document.setValue(section, key, value); });
}

bool deleteKey(const std::string& path, std::string_view section, std::string_view key)
{
    return update(path, [&](ProfileDocument& document) { return document.removeKey(section, key); });
}

bool deleteSection(const std::string& path, std::string_view section)
{
    return update(path, [&](ProfileDocument& document) { return document.removeSection(section); });
}

} // namespace vesk::profile
