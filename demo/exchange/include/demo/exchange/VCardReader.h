// Reads persons from vCards (versions 2.1, 3.0 and 4.0; several in one file):
// N gives the names (given -> first name, family -> last name, additional
// names -> infix), FN the names when there is no N, EMAIL the address (the
// preferred one when there are several), CATEGORIES the groups, and
// X-QUILLNET-INITIALS the initials, which vCards have no field for.
#ifndef DEMO_EXCHANGE_VCARDREADER_H
#define DEMO_EXCHANGE_VCARDREADER_H

#include <QByteArray>

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

// Folded lines are unfolded, quoted-printable values decoded. A card's line
// number is that of its BEGIN:VCARD. A card without END:VCARD makes the whole
// file unreadable.
ParsedPersons readVCards(const QByteArray& bytes);

}  // namespace demo::exchange

#endif
