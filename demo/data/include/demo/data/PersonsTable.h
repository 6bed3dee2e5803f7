#pragma once
// The persons file: auto-numbered, unique e-mail address (case-insensitive, blank left out).
#include <optional>
#include <vector>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::data {

// A light handle: construct it on the thread that uses it.
class PersonsTable {
public:
    explicit PersonsTable(const ContactDatabase& db);

    // Numbers the person highest + 1 (1 in an empty file; three attempts, then AutoNumber) and
    // fills person.number; duplicate e-mail -> DuplicateKey "PER:EmailaddressKey"; when the
    // highest number is already HighestNumber -> NumberRangeFull.
    DataError insert(Person& person);
    // ChangedByOther when the stored row no longer equals asRead (then *nowStored = the saved
    // copy); a number change is carried to the memberships.
    DataError update(const Person& asRead, const Person& changed, Person* nowStored = nullptr);
    // The person's memberships go with it.
    DataError remove(qint16 number);
    std::optional<Person> fetch(qint16 number) const;
    std::optional<Person> fetchByEmail(const QString& address) const;  // case-insensitive
    int count() const;

    enum class Order {
        Number,
        EmailAddress,  // case-insensitive; blank addresses left out
        LastName       // case-insensitive, then number; blank last names left out
    };
    // At most `limit` rows in `order`, after `after`; pass the last row's key field and number
    // to go on. Reads in batches rather than one row at a time.
    std::vector<Person> batch(Order order, const PersonCursor& after, int limit) const;
    static PersonCursor cursorAfter(Order order, const Person& last);
    DataError error() const;  // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
