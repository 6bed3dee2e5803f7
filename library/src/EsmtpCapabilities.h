#pragma once

#include <string>
#include <vector>

// What a server offers in its reply to EHLO: one keyword a line after the
// greeting line, each with optional parameters ("SIZE 35882577",
// "AUTH PLAIN LOGIN").
class EsmtpCapabilities {
public:
    // Replaces what was known with the extensions listed in `ehloReply`.
    void Learn(const std::string& ehloReply);
    void Forget() { m_lines.clear(); }

    bool Has(const char* pszKeyword) const;
    // The parameters of a keyword ("35882577" for SIZE), or "".
    std::string Parameters(const char* pszKeyword) const;
    // True when AUTH lists `pszMechanism` (also in the old "AUTH=" form).
    bool OffersAuth(const char* pszMechanism) const;

private:
    std::vector<std::string> m_lines;  // "KEYWORD params", keyword upper-cased
};
