#include "quillnet/inifile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace quillnet {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool hasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

// A UTF-8 byte order mark may open the file; it belongs to no name. Only
// there: the same bytes at the start of a later line are that line's text.
const std::string byteOrderMark = "\xEF\xBB\xBF";

// The name of a "[name]" line, or false when the line opens no section.
bool sectionName(const std::string& lineText, std::string& name)
{
    const std::string text = trimmed(lineText);
    if (text.empty() || text[0] != '[') return false;
    const size_t close = text.find(']');
    name = trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// Splits a "key=value" line; false for comments and lines without "=".
bool keyLine(const std::string& lineText, std::string& key, std::string& rawValue)
{
    const size_t equals = lineText.find('=');
    if (equals == std::string::npos) return false;
    key = trimmed(lineText.substr(0, equals));
    if (!key.empty() && key[0] == ';') return false;
    rawValue = lineText.substr(equals + 1);
    return true;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

std::string storedToValue(const std::string& raw)
{
    std::string value = trimmed(raw);
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// Quotes exactly the values that reading would otherwise alter.
std::string valueToStored(const std::string& value)
{
    const bool blankAtEdge = !value.empty() && (isBlank(value.front()) || isBlank(value.back()));
    const bool looksQuoted = value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    return (blankAtEdge || looksQuoted) ? "\"" + value + "\"" : value;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

bool IniFile::load()
{
    lines_.clear();
    byteOrderMark_.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path_, error)) return false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return !std::filesystem::exists(path_, error) && !error;  // missing is fine, unreadable is not
    }
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;

    size_t start = 0;
    if (content.compare(0, byteOrderMark.size(), byteOrderMark) == 0) {
        byteOrderMark_ = byteOrderMark;
        start = byteOrderMark.size();
    }
    while (start < content.size()) {
        const size_t breakAt = content.find_first_of("\r\n", start);
        Line line;
        if (breakAt == std::string::npos) {
            line.text = content.substr(start);
            start = content.size();
        } else {
            line.text = content.substr(start, breakAt - start);
            const bool crlf =
                content[breakAt] == '\r' && breakAt + 1 < content.size() && content[breakAt + 1] == '\n';
            line.ending = content.substr(breakAt, crlf ? 2 : 1);
            start = breakAt + line.ending.size();
        }
        lines_.push_back(std::move(line));
    }
    return true;
}

bool IniFile::findSection(const std::string& section, SectionRange& range) const
{
    const std::string wanted = trimmed(section);
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!sectionName(lines_[i].text, name) || !sameName(name, wanted)) continue;
        range.header = i;
        range.end = i + 1;
        while (range.end < lines_.size() && !sectionName(lines_[range.end].text, name)) ++range.end;
        return true;
    }
    return false;
}

bool IniFile::findKey(const SectionRange& range, const std::string& key, size_t& line) const
{
    const std::string wanted = trimmed(key);
    std::string name;
    std::string raw;
    for (size_t i = range.header + 1; i < range.end; ++i) {
        if (keyLine(lines_[i].text, name, raw) && sameName(name, wanted)) {
            line = i;
            return true;
        }
    }
    return false;
}

std::string IniFile::value(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const
{
    SectionRange range{};
    size_t line = 0;
    if (!findSection(section, range) || !findKey(range, key, line)) return defaultValue;
    std::string name;
    std::string raw;
    keyLine(lines_[line].text, name, raw);
    return storedToValue(raw);
}

// New lines follow the file's own line ends; a new file gets Windows ones.
std::string IniFile::newLineEnding() const
{
    for (const Line& line : lines_) {
        if (!line.ending.empty()) return line.ending;
    }
    return "\r\n";
}

bool IniFile::setValue(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string sectionText = trimmed(section);
    const std::string keyText = trimmed(key);
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
    if (sectionText.find(']') != std::string::npos) return false;
    if (keyText.empty() || keyText.find('=') != std::string::npos || keyText[0] == '[' || keyText[0] == ';') {
        return false;
    }
    const std::string stored = valueToStored(value);
    const std::string ending = newLineEnding();

    SectionRange range{};
    if (!findSection(sectionText, range)) {
        if (!lines_.empty()) {
            Line& last = lines_.back();
            if (last.ending.empty()) last.ending = ending;
            if (!trimmed(last.text).empty()) lines_.push_back({"", ending});
        }
        lines_.push_back({"[" + sectionText + "]", ending});
        lines_.push_back({keyText + "=" + stored, ending});
        return true;
    }

    size_t line = 0;
    if (findKey(range, keyText, line)) {
        // Everything up to the "=" stays: the file's spelling of the name and its spacing.
        std::string& text = lines_[line].text;
        text = text.substr(0, text.find('=') + 1) + stored;
        return true;
    }

    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    size_t insertAt = range.header + 1;
    for (size_t i = range.header + 1; i < range.end; ++i) {
        if (!trimmed(lines_[i].text).empty()) insertAt = i + 1;
    }
    if (lines_[insertAt - 1].ending.empty()) lines_[insertAt - 1].ending = ending;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Line{keyText + "=" + stored, ending});
    return true;
}

bool IniFile::save() const
{
    const std::string temporary = path_ + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << byteOrderMark_;
        for (const Line& line : lines_) {
            out << line.text << line.ending;
        }
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    // filesystem::rename replaces an existing file on every platform (std::rename does not on Windows).
    std::error_code renameError;
    std::filesystem::rename(temporary, path_, renameError);
    if (!renameError) return true;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
}

std::string readProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue)
{
    IniFile file(path);
    if (!file.load()) return defaultValue;
    return file.value(section, key, defaultValue);
}

bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value)
{
    IniFile file(path);
    return file.load() && file.setValue(section, key, value) && file.save();
}

}  // namespace quillnet
