// The one place that decides whether a row read from any format is usable,
// so CSV and vCard files are judged alike.
#ifndef DEMO_EXCHANGE_PERSONROWCHECK_H
#define DEMO_EXCHANGE_PERSONROWCHECK_H

#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

struct PersonFields {
    QString firstName, initials, infix, lastName, emailAddress;
    QStringList groups;
};

// Appends the row to `out.rows`, or its reason to `out.unusable`: a row
// needs a name or an address, and an address must be one plain address with
// an "@" (no blanks, separators or control characters, which would split or
// inject recipients when mail is sent). Texts are trimmed; line breaks in a
// name become blanks; a text longer than its field is cut and noted in
// `out.warnings`.
void takePersonRow(ParsedPersons& out, int line, const PersonFields& fields);

}  // namespace demo::exchange

#endif
