#ifndef DEMO_EXCHANGE_VCARDWRITER_H
#define DEMO_EXCHANGE_VCARDWRITER_H

#include <QByteArray>
#include <vector>

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

enum class VCardVersion { V3, V4 };

// One vCard per person (FN, N, the initials, EMAIL, CATEGORIES), UTF-8,
// CR LF line ends, lines folded at 75 bytes without splitting a character.
QByteArray writeVCards(const std::vector<PersonRow>& rows, VCardVersion version);

inline constexpr char initialsProperty[] = "X-QUILLNET-INITIALS";

}  // namespace demo::exchange

#endif
