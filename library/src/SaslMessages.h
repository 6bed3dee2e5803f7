#pragma once

#include <string>

// The client's messages of the SASL mechanisms the submission modes use,
// base64-encoded as they go on the wire.

// `text` in base64 without line breaks.
std::string Base64Text(const std::string& text);

// PLAIN (RFC 4616): "\0user\0password".
std::string PlainResponse(const std::string& user, const std::string& password);

// XOAUTH2: "user=U\x01auth=Bearer TOKEN\x01\x01".
std::string XOAuth2Response(const std::string& user, const std::string& token);

// The token when `password` is given as "bearer:TOKEN", else "".
std::string BearerToken(const std::string& password);
