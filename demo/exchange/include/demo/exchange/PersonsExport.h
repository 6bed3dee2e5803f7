#ifndef DEMO_EXCHANGE_PERSONSEXPORT_H
#define DEMO_EXCHANGE_PERSONSEXPORT_H

#include <vector>

#include "demo/data/ContactDatabase.h"
#include "demo/data/DataError.h"
#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

// Every person in number order with the names of their groups (by name), as
// the writers take them. Reads in batches; call on the thread that uses `db`.
std::vector<PersonRow> collectPersons(const data::ContactDatabase& db, data::DataError* error);

}  // namespace demo::exchange

#endif
