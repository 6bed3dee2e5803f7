#include "EsmtpCapabilities.h"

#include "AsciiText.h"

namespace {

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The words of `text` separated by spaces.
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t nStart = 0;
    while (nStart < text.size()) {
        size_t nEnd = text.find(' ', nStart);
        if (nEnd == std::string::npos) nEnd = text.size();
        if (nEnd > nStart) words.push_back(text.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return words;
}

// A server's word compared with a name as a whole: a zero byte in the word
// does not end it, so "SIZE\0junk" is not SIZE.
bool SameWord(const std::string& word, const char* pszName)
{
    return word.find('\0') == std::string::npos && EqualsIgnoringCase(word.c_str(), pszName);
}

}  // namespace

void EsmtpCapabilities::Learn(const std::string& ehloReply)
{
    m_lines.clear();
    size_t nStart = ehloReply.find('\n');  // the first line greets
    while (nStart != std::string::npos && nStart + 1 < ehloReply.size()) {
        ++nStart;
        size_t nEnd = ehloReply.find("\r\n", nStart);
        if (nEnd == std::string::npos) nEnd = ehloReply.size();
        if (nEnd >= nStart + 4) {
            std::string line = ehloReply.substr(nStart + 4, nEnd - nStart - 4);
            size_t nKeywordEnd = line.find_first_of(" =");
            if (nKeywordEnd == std::string::npos) nKeywordEnd = line.size();
            m_lines.push_back(Upper(line.substr(0, nKeywordEnd)) + line.substr(nKeywordEnd));
        }
        nStart = ehloReply.find('\n', nEnd);
    }
}

bool EsmtpCapabilities::Has(const char* pszKeyword) const
{
    for (const std::string& line : m_lines) {
        std::string keyword = line.substr(0, line.find(' '));
        if (SameWord(keyword, pszKeyword)) return true;
    }
    return false;
}

std::string EsmtpCapabilities::Parameters(const char* pszKeyword) const
{
    for (const std::string& line : m_lines) {
        size_t nSpace = line.find(' ');
        std::string keyword = line.substr(0, nSpace);
        if (SameWord(keyword, pszKeyword))
            return nSpace == std::string::npos ? "" : line.substr(nSpace + 1);
    }
    return "";
}

bool EsmtpCapabilities::OffersAuth(const char* pszMechanism) const
{
    for (const std::string& line : m_lines) {
        if (line.compare(0, 5, "AUTH ") != 0 && line.compare(0, 5, "AUTH=") != 0) continue;
        for (const std::string& word : Words(line.substr(5))) {
            if (SameWord(word, pszMechanism)) return true;
        }
    }
    return false;
}
