// Content-type writer and quoted-value writer: a registered content type is
// whatever the mime.types file (or the registry) says, so any text may reach
// the part header. Whatever it is, the header stays one header (only the
// writer's own folds break its line), it has one piece per ";" of the text,
// and every parameter value is one well-formed quoted string that reads back
// as the value given.
#include <cstdint>
#include <string>
#include <vector>

#include "Globals.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "quillnet/wrenpost.h"
#include "support/Check.h"
#include "support/MemoryStream.h"
#include "support/ScratchFolder.h"

namespace {

std::string WithoutLeadingBlanks(const std::string& text)
{
    size_t nStart = text.find_first_not_of(" \t");
    return nStart == std::string::npos ? std::string() : text.substr(nStart);
}

// What a value stands for: an unquoted value as it is; a quoted one up to
// its closing quote, each backslash pair standing for its second character
// (a backslash at the very end stands for itself).
std::string MeaningOfValue(const std::string& value)
{
    if (value.empty() || value[0] != '"') return value;
    std::string meaning;
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '"') break;
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        meaning += value[i];
    }
    return meaning;
}

// The text of one quoted string that fills `text` exactly, or false.
bool ReadQuotedString(const std::string& text, std::string& meaning)
{
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    meaning.clear();
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"') return false;
        if (text[i] == '\\') {
            if (i + 2 >= text.size()) return false;  // escapes the closing quote
            ++i;
        }
        meaning += text[i];
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> pieces;
    size_t nStart = 0;
    for (;;) {
        size_t nAt = text.find(separator, nStart);
        pieces.push_back(text.substr(nStart, nAt == std::string::npos ? std::string::npos : nAt - nStart));
        if (nAt == std::string::npos) return pieces;
        nStart = nAt + separator.size();
    }
}

const std::string& AttachedFile()
{
    static const std::string path = [] {
        std::string file = fuzzsupport::ScratchFolder() + "/attached.bin";
        fuzzsupport::WriteWholeFile(file, "attached");
        return file;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetLibraryStateForTesting();
    // The part reads its type as a zero-terminated text.
    const std::string given(reinterpret_cast<const char*>(data), size);
    const std::string contentType = given.substr(0, given.find('\0'));

    std::string message;
    {
        CMailUtil session;
        FUZZ_CHECK(session.AddPart(AttachedFile().c_str(), PART_ATTACHMENT) == 0, "the attachment is made");
        session.m_pFirstPart->m_pszContentType = contentType.c_str();
        message = fuzzsupport::CaptureStream([&](FILE* pOut) {
            FUZZ_CHECK(session.WriteOutMessage(pOut) == 0, "the message is written");
        });
    }

    const std::string marker = "Content-Type: ";
    const size_t nStart = message.find(marker);
    FUZZ_CHECK(nStart != std::string::npos, "the part has a Content-Type header");
    // The header ends at the first line end that no tab continues.
    size_t nEnd = nStart + marker.size();
    for (;; nEnd += 2) {
        nEnd = message.find("\r\n", nEnd);
        FUZZ_CHECK(nEnd != std::string::npos, "the header ends");
        if (nEnd + 2 >= message.size() || message[nEnd + 2] != '\t') break;
    }
    const std::string header = message.substr(nStart + marker.size(), nEnd - nStart - marker.size());
    const std::vector<std::string> written = Split(header, ";\r\n\t");

    std::string text = contentType;
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    const std::vector<std::string> source = Split(text, ";");
    FUZZ_CHECK(written.size() == source.size(), "one header piece per piece of the type");

    for (const std::string& piece : written) {
        FUZZ_CHECK(piece.find_first_of("\r\n") == std::string::npos, "no line break inside a piece");
    }
    const bool bHasSlash = source[0].find('/') != std::string::npos;
    FUZZ_CHECK(written[0] == source[0] + (bHasSlash ? "" : "/unknown"), "the main type as given");
    for (size_t i = 1; i < source.size(); ++i) {
        const size_t nEquals = source[i].find('=');
        if (nEquals == std::string::npos) {
            FUZZ_CHECK(written[i] == WithoutLeadingBlanks(source[i]), "a bare parameter as given");
            continue;
        }
        const std::string name = WithoutLeadingBlanks(source[i].substr(0, nEquals)) + "=";
        FUZZ_CHECK(written[i].compare(0, name.size(), name) == 0, "the parameter name as given");
        std::string meaning;
        FUZZ_CHECK(ReadQuotedString(written[i].substr(name.size()), meaning),
                   "the parameter value is one quoted string");
        FUZZ_CHECK(meaning == MeaningOfValue(WithoutLeadingBlanks(source[i].substr(nEquals + 1))),
                   "the quoted value stands for the value given");
    }
    return 0;
}
