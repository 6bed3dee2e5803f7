#include "HeaderEncoding.h"

#include <vector>

#include "AsciiText.h"
#include "SaslMessages.h"

namespace {

bool HasNonAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

std::string Trimmed(const std::string& text)
{
    size_t nStart = text.find_first_not_of(" \t\r\n");
    if (nStart == std::string::npos) return "";
    size_t nEnd = text.find_last_not_of(" \t\r\n");
    return text.substr(nStart, nEnd + 1 - nStart);
}

// Encoded words of at most 75 characters each, separated by folding white
// space. A UTF-8 character is never split between two words.
std::string EncodedWords(const std::string& text, const std::string& charset)
{
    const bool bUtf8 =
        EqualsIgnoringCase(charset.c_str(), "utf-8") || EqualsIgnoringCase(charset.c_str(), "utf8");
    const std::string prefix = "=?" + charset + "?B?";
    // 75 - "=?" charset "?B?" - "?=", as whole groups of 3 source bytes.
    long nRoom = (75 - static_cast<long>(prefix.size()) - 2) / 4 * 3;
    size_t nChunk = nRoom >= 3 ? static_cast<size_t>(nRoom) : 3;
    std::string words;
    size_t nStart = 0;
    while (nStart < text.size()) {
        size_t nEnd = std::min(text.size(), nStart + nChunk);
        if (bUtf8) {
            while (nEnd < text.size() && nEnd > nStart + 1 &&
                   (static_cast<unsigned char>(text[nEnd]) & 0xC0) == 0x80)
                --nEnd;
        }
        if (!words.empty()) words += "\r\n ";
        words += prefix + Base64Text(text.substr(nStart, nEnd - nStart)) + "?=";
        nStart = nEnd;
    }
    return words;
}

// A display name as a quoted string, or as encoded words.
std::string DisplayName(const std::string& name, const std::string& charset)
{
    if (HasNonAscii(name)) return EncodedWords(name, charset);
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

bool NeedsRewriting(const std::string& name)
{
    return HasNonAscii(name) || name.find_first_of("\"\\,;:()<>@[]") != std::string::npos;
}

// The inside of a quoted string with its quoted pairs resolved. The composer
// escapes quotes and backslashes in names; a From text from the host may hold them bare,
// so a backslash before any other byte counts as itself. Returns whether the
// text was already properly escaped.
bool UnescapedQuotedContent(const std::string& inner, std::string& name)
{
    bool bWellFormed = true;
    name.clear();
    for (size_t i = 0; i < inner.size(); ++i) {
        char c = inner[i];
        if (c == '\\' && i + 1 < inner.size() && (inner[i + 1] == '"' || inner[i + 1] == '\\')) {
            name += inner[++i];
            continue;
        }
        if (c == '"' || c == '\\') bWellFormed = false;
        name += c;
    }
    return bWellFormed;
}

// One entry: "addr", "Name <addr>" or "\"Name\" <addr>".
std::string EncodeEntry(const std::string& entry, const std::string& charset)
{
    std::string text = Trimmed(entry);
    size_t nOpen = text.rfind('<');
    if (text.empty() || text.back() != '>' || nOpen == std::string::npos) return entry;
    std::string name = Trimmed(text.substr(0, nOpen));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        std::string inner;
        bool bWellFormed = UnescapedQuotedContent(name.substr(1, name.size() - 2), inner);
        if (bWellFormed && !HasNonAscii(inner)) return entry;
        name = inner;
    } else if (!NeedsRewriting(name)) {
        return entry;
    }
    std::string lead = entry.substr(0, entry.find_first_not_of(" \t\r\n"));
    return lead + (name.empty() ? "" : DisplayName(name, charset) + " ") + text.substr(nOpen);
}

}  // namespace

std::string EncodeUnstructured(const std::string& value, const std::string& charset)
{
    if (!HasNonAscii(value)) return value;
    return EncodedWords(value, charset);
}

std::string EncodeAddressList(const std::string& value, const std::string& charset)
{
    // Split at commas outside quotes and angle brackets.
    std::string result;
    std::string entry;
    bool bQuoted = false;
    int nAngle = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (bQuoted && c == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\')) {
            entry += c;
            entry += value[++i];
            continue;
        }
        if (c == '"' && nAngle == 0) {
            // A bare quote that does not end the name (the next byte is no
            // "<" after blanks) belongs to it, as a host's From text may hold.
            if (bQuoted) {
                size_t nNext = value.find_first_not_of(' ', i + 1);
                if (nNext != std::string::npos && value[nNext] != '<' && value[nNext] != ',') {
                    entry += c;
                    continue;
                }
            }
            bQuoted = !bQuoted;
        } else if (!bQuoted && c == '<') {
            ++nAngle;
        } else if (!bQuoted && c == '>' && nAngle > 0) {
            --nAngle;
        } else if (!bQuoted && nAngle == 0 && c == ',') {
            result += EncodeEntry(entry, charset) + ",";
            entry.clear();
            continue;
        }
        entry += c;
    }
    return result + EncodeEntry(entry, charset);
}
