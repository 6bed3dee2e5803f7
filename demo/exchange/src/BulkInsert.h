// Adding many persons and memberships inside one open transaction, with each
// statement prepared once: the table classes prepare, number and check every
// record on its own, which is right for a form but takes seconds for a file of
// thousands. The database's keys and foreign keys still guard every row.
#ifndef DEMO_EXCHANGE_BULKINSERT_H
#define DEMO_EXCHANGE_BULKINSERT_H

#include <QSqlQuery>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::exchange {

class BulkInsert {
public:
    // Call inside ContactDatabase::inTransaction, on the thread that runs it.
    explicit BulkInsert(const data::ContactDatabase& db);

    // Locks out other adders until the transaction ends and reads the highest
    // person number once, so numbers can be given without asking again.
    data::DataError begin();
    // Numbers the person (highest + 1) and fills person.number;
    // NumberRangeFull past the highest number.
    data::DataError addPerson(data::Person& person);
    data::DataError addMembership(const data::Membership& membership);

private:
    const data::ContactDatabase& db_;
    QSqlQuery person_;
    QSqlQuery membership_;
    int highest_ = 0;
};

}  // namespace demo::exchange

#endif
