#include "demo/exchange/PersonsExport.h"

#include <QHash>

#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace demo::exchange {

std::vector<PersonRow> collectPersons(const data::ContactDatabase& db, data::DataError* error)
{
    constexpr int batchSize = 2000;
    data::PersonsTable persons(db);
    std::vector<PersonRow> rows;
    QHash<qint16, std::size_t> rowOfNumber;
    data::PersonCursor after;
    for (;;) {
        const std::vector<data::Person> batch =
            persons.batch(data::PersonsTable::Order::Number, after, batchSize);
        if (const data::DataError failed = persons.error()) {
            if (error) *error = failed;
            return {};
        }
        for (const data::Person& person : batch) {
            rowOfNumber.insert(person.number, rows.size());
            rows.push_back({0, person, {}});
        }
        if (static_cast<int>(batch.size()) < batchSize) break;
        after = data::PersonsTable::cursorAfter(data::PersonsTable::Order::Number, batch.back());
    }
    // Groups in name order, so each person's list comes out sorted by name.
    data::GroupTable groups(db);
    data::GroupPersonTable memberships(db);
    for (const data::Group& group : groups.all(true)) {
        for (const data::Membership& m : memberships.ofGroup(group.number)) {
            const auto row = rowOfNumber.constFind(m.personNumber);
            if (row != rowOfNumber.constEnd()) rows[*row].groups << group.name;
        }
    }
    if (error) *error = {};
    return rows;
}

}  // namespace demo::exchange
