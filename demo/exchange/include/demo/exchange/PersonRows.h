// What a persons file holds once read: usable rows with their line numbers,
// and the rows that could not be used, each with the reason a user can act on.
#ifndef DEMO_EXCHANGE_PERSONROWS_H
#define DEMO_EXCHANGE_PERSONROWS_H

#include <QString>
#include <QStringList>
#include <vector>

#include "demo/data/Records.h"

namespace demo::exchange {

// One person as a file gives it. `person.number` stays 0: numbers are the
// database's, never the file's.
struct PersonRow {
    int line = 0;  // line of the file where the row (or the vCard) begins
    data::Person person;
    QStringList groups;  // group names, each at most width::GroupName, no two equal ignoring case
};

struct RowNote {
    int line = 0;
    QString text;
};

struct ParsedPersons {
    std::vector<PersonRow> rows;    // in file order
    std::vector<RowNote> unusable;  // rows left out, with the reason
    std::vector<RowNote> warnings;  // rows taken, but with a text cut to its width
    // Set when the file as a whole cannot be read (not UTF-8, an unterminated
    // quote, a vCard without its end); `rows` is then empty, so nothing of a
    // damaged file is ever imported.
    QString fileError;
};

}  // namespace demo::exchange

#endif
