// The EHLO capability list: any reply text a server sends, learnt, then
// asked about the keywords the dialogue acts on and one keyword and one AUTH
// mechanism taken from the input. Every answer must be what a plain reading
// of the list gives: the greeting line lists nothing, each further line is
// "ddd" and a separator, then a keyword up to the first space or "=", then
// its parameters; keywords and mechanisms compare without regard to case.
// Learning a second list forgets the first.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EsmtpCapabilities.h"
#include "support/Check.h"

namespace {

struct Line {
    std::string keyword;     // as sent, case kept
    char separator = '\0';   // ' ', '=' or none
    std::string parameters;  // after the separator
};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Same(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<Line> Listed(const std::string& reply)
{
    std::vector<Line> lines;
    const size_t nGreetingEnd = reply.find('\n');
    if (nGreetingEnd == std::string::npos) return lines;
    const std::string rest = reply.substr(nGreetingEnd + 1);
    size_t nAt = 0;
    while (nAt < rest.size()) {
        size_t nEnd = rest.find("\r\n", nAt);
        if (nEnd == std::string::npos) nEnd = rest.size();
        if (nEnd - nAt >= 4) {
            const std::string text = rest.substr(nAt + 4, nEnd - nAt - 4);
            Line line;
            const size_t nCut = text.find_first_of(" =");
            line.keyword = text.substr(0, nCut);
            if (nCut != std::string::npos) {
                line.separator = text[nCut];
                line.parameters = text.substr(nCut + 1);
            }
            lines.push_back(line);
        }
        nAt = nEnd + 2;
    }
    return lines;
}

// The whole line after the keyword as the list keeps it: an "=" form has no
// keyword of its own for Has and Parameters ("AUTH=LOGIN" is one word).
std::string WordBeforeSpace(const Line& line)
{
    if (line.separator == '=') {
        const std::string whole = line.keyword + "=" + line.parameters;
        return whole.substr(0, whole.find(' '));
    }
    return line.keyword;
}

std::string ParametersAfterSpace(const Line& line)
{
    if (line.separator == ' ') return line.parameters;
    if (line.separator == '=') {
        const size_t nSpace = line.parameters.find(' ');
        return nSpace == std::string::npos ? "" : line.parameters.substr(nSpace + 1);
    }
    return "";
}

bool ExpectedHas(const std::vector<Line>& lines, const std::string& keyword)
{
    for (const Line& line : lines)
        if (Same(WordBeforeSpace(line), keyword)) return true;
    return false;
}

std::string ExpectedParameters(const std::vector<Line>& lines, const std::string& keyword)
{
    for (const Line& line : lines)
        if (Same(WordBeforeSpace(line), keyword)) return ParametersAfterSpace(line);
    return "";
}

bool ExpectedAuth(const std::vector<Line>& lines, const std::string& mechanism)
{
    for (const Line& line : lines) {
        if (!Same(line.keyword, "AUTH") || line.separator == '\0') continue;
        size_t nAt = 0;
        const std::string& words = line.parameters;
        while (nAt <= words.size()) {
            size_t nEnd = words.find(' ', nAt);
            if (nEnd == std::string::npos) nEnd = words.size();
            if (nEnd > nAt && Same(words.substr(nAt, nEnd - nAt), mechanism)) return true;
            nAt = nEnd + 1;
        }
    }
    return false;
}

void CheckAgainst(const EsmtpCapabilities& capabilities, const std::vector<Line>& lines,
                  const std::vector<std::string>& keywords, const std::vector<std::string>& mechanisms)
{
    for (const std::string& keyword : keywords) {
        FUZZ_CHECK(capabilities.Has(keyword.c_str()) == ExpectedHas(lines, keyword), "Has as listed");
        FUZZ_CHECK(capabilities.Parameters(keyword.c_str()) == ExpectedParameters(lines, keyword),
                   "Parameters as listed");
    }
    for (const std::string& mechanism : mechanisms)
        FUZZ_CHECK(capabilities.OffersAuth(mechanism.c_str()) == ExpectedAuth(lines, mechanism),
                   "OffersAuth as listed");
}

// A name for a C string: the input's bytes up to its first zero.
std::string AsName(std::string text)
{
    return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<std::string> keywords = {"STARTTLS", "PIPELINING", "8BITMIME", "SMTPUTF8", "SIZE", "AUTH"};
    std::vector<std::string> mechanisms = {"PLAIN", "LOGIN", "XOAUTH2"};
    keywords.push_back(AsName(input.ConsumeRandomLengthString(16)));
    mechanisms.push_back(AsName(input.ConsumeRandomLengthString(16)));
    const std::string first = input.ConsumeRandomLengthString(4096);
    const std::string second = input.ConsumeRemainingBytesAsString();

    EsmtpCapabilities capabilities;
    capabilities.Learn(first);
    CheckAgainst(capabilities, Listed(first), keywords, mechanisms);
    capabilities.Learn(second);
    CheckAgainst(capabilities, Listed(second), keywords, mechanisms);
    capabilities.Forget();
    CheckAgainst(capabilities, {}, keywords, mechanisms);
    return 0;
}
