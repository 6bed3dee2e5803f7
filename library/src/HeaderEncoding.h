#pragma once

#include <string>

// Header text for the submission modes: text outside US-ASCII as RFC 2047
// encoded words, display names quoted as RFC 5322 requires. Plain ASCII
// text that needs neither comes back unchanged.

// An unstructured value (Subject, Organization) in `charset`.
std::string EncodeUnstructured(const std::string& value, const std::string& charset);

// A list of addresses ("Ann <a@b>, \"B, C\" <c@d>, e@f"): each display name
// quoted when it holds specials such as "," or '"', encoded when it holds
// non-ASCII bytes. Folding between entries is kept.
std::string EncodeAddressList(const std::string& value, const std::string& charset);
