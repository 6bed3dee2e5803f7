#pragma once
// The group file: auto-numbered, unique name (case-insensitive, blank left out).
#include <optional>
#include <vector>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::data {

class GroupTable {
public:
    explicit GroupTable(const ContactDatabase& db);

    // Auto-number as for persons; duplicate name -> DuplicateKey "GRO:NameKey".
    DataError insert(Group& group);
    // A number change is carried to the memberships.
    DataError update(const Group& asRead, const Group& changed, Group* nowStored = nullptr);
    // RestrictedDelete while the group has members.
    DataError remove(qint16 number);
    std::optional<Group> fetch(qint16 number) const;
    // byName: name order (case-insensitive, then number; blank names left out, as the name key
    // does); else number order.
    std::vector<Group> all(bool byName) const;
    bool hasMembers(qint16 number) const;
    DataError error() const;  // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
