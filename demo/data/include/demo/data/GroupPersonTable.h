#pragma once
// The memberships: a person at most once in a group.
#include <optional>
#include <utility>
#include <vector>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::data {

class GroupPersonTable {
public:
    explicit GroupPersonTable(const ContactDatabase& db);

    // DuplicateKey "GROPER:UniqueKey"; FieldContents when the person or group is missing.
    DataError insert(const Membership& m);
    // ChangedByOther when asRead is no longer stored.
    DataError update(const Membership& asRead, const Membership& changed);
    DataError remove(const Membership& m);
    std::vector<Membership> ofGroup(qint16 groupNumber) const;                      // in person-number order
    std::vector<std::pair<Membership, Group>> groupsOf(qint16 personNumber) const;  // by group name
    // One batch of a group's members with their persons, after `after`, in person-number order.
    std::vector<std::pair<Membership, std::optional<Person>>> membersOf(qint16 groupNumber,
                                                                        const MembershipCursor& after,
                                                                        int limit) const;
    int countOfGroup(qint16 groupNumber) const;
    // "Field contents error" / "The value of GROPER:PersonNumber must be found in the Persons file."
    DataError validatePersonNumber(qint16 personNumber) const;
    // The same for GROPER:Groupnumber against the Group file.
    DataError validateGroupNumber(qint16 groupNumber) const;
    DataError error() const;  // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
