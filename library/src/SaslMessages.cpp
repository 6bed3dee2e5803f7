#include "SaslMessages.h"

std::string Base64Text(const std::string& text)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    encoded.reserve((text.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= text.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(text[i]) << 16 |
                     static_cast<unsigned char>(text[i + 1]) << 8 | static_cast<unsigned char>(text[i + 2]);
        encoded += kAlphabet[n >> 18 & 63];
        encoded += kAlphabet[n >> 12 & 63];
        encoded += kAlphabet[n >> 6 & 63];
        encoded += kAlphabet[n & 63];
    }
    if (i < text.size()) {
        unsigned n = static_cast<unsigned char>(text[i]) << 16;
        if (i + 1 < text.size()) n |= static_cast<unsigned char>(text[i + 1]) << 8;
        encoded += kAlphabet[n >> 18 & 63];
        encoded += kAlphabet[n >> 12 & 63];
        encoded += i + 1 < text.size() ? kAlphabet[n >> 6 & 63] : '=';
        encoded += '=';
    }
    return encoded;
}

std::string PlainResponse(const std::string& user, const std::string& password)
{
    return Base64Text(std::string(1, '\0') + user + std::string(1, '\0') + password);
}

std::string XOAuth2Response(const std::string& user, const std::string& token)
{
    return Base64Text("user=" + user + "\x01" + "auth=Bearer " + token + "\x01\x01");
}

std::string BearerToken(const std::string& password)
{
    return password.compare(0, 7, "bearer:") == 0 ? password.substr(7) : "";
}
