#include "RecipientScan.h"

#include "demo/data/DisplayName.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {

void addPerson(const data::Person& person, bool lastNameFirst, RecipientList& out)
{
    if (person.emailAddress.trimmed().isEmpty()) return;  // listed in the tree, never a recipient
    out.push_back({data::displayName(person, lastNameFirst), person.emailAddress.trimmed()});
}

class AllPersons : public RecipientSource {
public:
    AllPersons(const data::ContactDatabase& db, bool lastNameFirst)
        : db_(db), persons_(db), lastNameFirst_(lastNameFirst)
    {
    }
    ~AllPersons() override { db_.releaseThreadConnection(); }  // the scan thread ends with it
    int total() override { return persons_.count(); }
    int next(int limit, RecipientList& out) override
    {
        const auto rows = persons_.batch(data::PersonsTable::Order::Number, cursor_, limit);
        for (const data::Person& p : rows) addPerson(p, lastNameFirst_, out);
        if (!rows.empty()) cursor_ = data::PersonsTable::cursorAfter(data::PersonsTable::Order::Number, rows.back());
        return int(rows.size());
    }

private:
    const data::ContactDatabase& db_;
    data::PersonsTable persons_;
    bool lastNameFirst_;
    data::PersonCursor cursor_;
};

class GroupMembers : public RecipientSource {
public:
    GroupMembers(const data::ContactDatabase& db, qint16 group, bool lastNameFirst)
        : db_(db), members_(db), group_(group), lastNameFirst_(lastNameFirst)
    {
    }
    ~GroupMembers() override { db_.releaseThreadConnection(); }
    int total() override { return members_.countOfGroup(group_); }
    int next(int limit, RecipientList& out) override
    {
        const auto rows = members_.membersOf(group_, cursor_, limit);
        for (const auto& [membership, person] : rows)
            if (person) addPerson(*person, lastNameFirst_, out);
        if (!rows.empty()) cursor_.personNumber = rows.back().first.personNumber;
        return int(rows.size());
    }

private:
    const data::ContactDatabase& db_;
    data::GroupPersonTable members_;
    qint16 group_;
    bool lastNameFirst_;
    data::MembershipCursor cursor_;
};

}  // namespace

std::unique_ptr<RecipientSource> allPersonsSource(const data::ContactDatabase& db, bool lastNameFirst)
{
    return std::make_unique<AllPersons>(db, lastNameFirst);
}

std::unique_ptr<RecipientSource> groupMembersSource(const data::ContactDatabase& db, qint16 groupNumber,
                                                    bool lastNameFirst)
{
    return std::make_unique<GroupMembers>(db, groupNumber, lastNameFirst);
}

RecipientList gatherRecipients(RecipientSource& source, int batchSize, const std::function<bool(int)>& progress)
{
    RecipientList recipients;
    const qint64 total = source.total();
    qint64 read = 0;
    if (progress && !progress(0)) return recipients;
    while (const int n = source.next(batchSize, recipients)) {
        read += n;
        const int percent = total > 0 ? int(std::min<qint64>(100, read * 100 / total)) : 100;
        if (progress && !progress(percent)) break;
    }
    return recipients;
}

}  // namespace demo
