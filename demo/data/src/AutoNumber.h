// Adding a record under the next free number: the highest number + 1, added
// at once. A clash on the number means another station added a record
// between reading the highest number and adding this one; reading it again
// gives a free number, up to three tries.
#ifndef DEMO_DATA_AUTONUMBER_H
#define DEMO_DATA_AUTONUMBER_H

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <functional>
#include <optional>

#include "demo/data/ContactDatabase.h"
#include "demo/data/DataError.h"

namespace demo::data {

struct AutoNumberedTable {
    QString table;  // as written in SQL, quoted where needed
    QString file;   // the name in messages
    // Adds the record under `number`; no error when it was added.
    std::function<std::optional<QSqlError>(QSqlDatabase& db, qint16 number)> add;
    std::function<bool(const QSqlError&)> isNumberClash;
    std::function<DataError(const QSqlError&)> writeFailure;
};

// Adds through `table.add` and gives the number used in `number`.
DataError insertWithNextNumber(const ContactDatabase& database, const AutoNumberedTable& table,
                               qint16& number);

}  // namespace demo::data

#endif
