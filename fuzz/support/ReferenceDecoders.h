#pragma once

#include <optional>
#include <string>

// Decoders written apart from the library's encoders, plainly and byte by
// byte, so that a round trip checks the encoders against an independent
// reading of the same rules rather than against themselves.
namespace fuzzsupport {

// Base64 as the encoder writes it: CR LF lines of 76 characters (the last
// one may be shorter, a multiple of 4), "=" only in the last group. Returns
// nothing when the text breaks any of these rules.
std::optional<std::string> DecodeBase64Lines(const std::string& encoded);

// Quoted-printable: "=" and two upper-case hex digits stand for a byte, "="
// before CR LF or a bare LF is a soft break, and tab, CR, LF and printable
// ASCII other than "=" stand for themselves. Returns nothing for any other
// byte, for an escape of a byte that could stand for itself, or for an output line (between line feeds, a CR before the LF not
// counted) longer than 76 characters.
std::optional<std::string> DecodeQuotedPrintable(const std::string& encoded);

}  // namespace fuzzsupport
