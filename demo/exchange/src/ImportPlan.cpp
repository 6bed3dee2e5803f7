#include "demo/exchange/ImportPlan.h"

#include <QHash>
#include <QSet>

#include "BulkInsert.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace demo::exchange {
namespace {

QString addressKey(const QString& address)
{
    return address.toLower();
}
QString groupKey(const QString& name)
{
    return name.toLower();
}

// Stored persons with an address, by their lower-cased address.
QHash<QString, data::Person> personsByAddress(const data::ContactDatabase& db, data::DataError& error)
{
    constexpr int batchSize = 5000;
    const data::PersonsTable persons(db);
    QHash<QString, data::Person> byAddress;
    data::PersonCursor after;
    for (;;) {
        const auto batch = persons.batch(data::PersonsTable::Order::EmailAddress, after, batchSize);
        if ((error = persons.error())) return {};
        for (const data::Person& p : batch) byAddress.insert(addressKey(p.emailAddress), p);
        if (static_cast<int>(batch.size()) < batchSize) return byAddress;
        after = data::PersonsTable::cursorAfter(data::PersonsTable::Order::EmailAddress, batch.back());
    }
}

QHash<QString, qint16> groupsByName(const data::ContactDatabase& db, data::DataError& error)
{
    const data::GroupTable groups(db);
    QHash<QString, qint16> byName;
    for (const data::Group& g : groups.all(false)) byName.insert(groupKey(g.name), g.number);
    error = groups.error();
    return byName;
}

// The stored person with the row's non-blank names laid over it.
data::Person merged(data::Person stored, const data::Person& row)
{
    auto take = [](QString& field, const QString& value) {
        if (!value.isEmpty()) field = value;
    };
    take(stored.firstName, row.firstName);
    take(stored.initials, row.initials);
    take(stored.infix, row.infix);
    take(stored.lastName, row.lastName);
    // The address matched ignoring case; the stored spelling stays.
    return stored;
}

}  // namespace

ImportPlan ImportPlan::prepare(ParsedPersons parsed, const data::ContactDatabase& db, data::DataError* error)
{
    ImportPlan plan;
    plan.parsed_ = std::move(parsed);
    plan.counts_.unusable = static_cast<int>(plan.parsed_.unusable.size());
    data::DataError failed;
    const QHash<QString, data::Person> stored = personsByAddress(db, failed);
    QHash<QString, qint16> groups;
    if (!failed) groups = groupsByName(db, failed);
    if (error) *error = failed;
    if (failed) return plan;

    QSet<QString> seen;
    QSet<QString> newGroups;
    for (const PersonRow& row : plan.parsed_.rows) {
        const QString key = addressKey(row.person.emailAddress);
        if (!key.isEmpty() && stored.contains(key))
            ++plan.counts_.duplicatesInDatabase;
        else if (!key.isEmpty() && seen.contains(key))
            ++plan.counts_.duplicatesInFile;
        else
            ++plan.counts_.newPersons;
        if (!key.isEmpty()) seen.insert(key);
        for (const QString& name : row.groups) {
            if (!groups.contains(groupKey(name))) newGroups.insert(groupKey(name));
        }
    }
    plan.counts_.newGroups = static_cast<int>(newGroups.size());
    return plan;
}

ImportResult ImportPlan::apply(const data::ContactDatabase& db, DuplicateChoice choice,
                               const Progress& progress) const
{
    ImportResult result;
    const int total = static_cast<int>(parsed_.rows.size());
    constexpr int progressEvery = 256;
    bool cancelled = false;

    result.error = db.inTransaction([&]() -> data::DataError {
        data::DataError error;
        QHash<QString, data::Person> byAddress = personsByAddress(db, error);
        if (error) return error;
        QHash<QString, qint16> groupNumbers = groupsByName(db, error);
        if (error) return error;

        data::PersonsTable persons(db);
        data::GroupTable groups(db);
        data::GroupPersonTable memberships(db);
        BulkInsert bulk(db);
        if ((error = bulk.begin())) return error;
        // Groups of each person this import touched, so a membership is added once.
        QHash<qint16, QSet<qint16>> groupsOfPerson;

        for (int i = 0; i < total; ++i) {
            if (progress && i % progressEvery == 0 && !progress(i, total)) {
                cancelled = true;
                return data::errors::database(QString::fromLatin1(data::fileName::Persons),
                                              QStringLiteral("cancelled"));
            }
            const PersonRow& row = parsed_.rows[static_cast<std::size_t>(i)];
            const QString key = addressKey(row.person.emailAddress);
            const auto found = key.isEmpty() ? byAddress.end() : byAddress.find(key);
            qint16 number = 0;
            if (found != byAddress.end()) {
                if (choice == DuplicateChoice::Skip) {
                    ++result.skipped;
                    continue;
                }
                const data::Person changed = merged(*found, row.person);
                if (changed != *found) {
                    if ((error = persons.update(*found, changed))) return error;
                    *found = changed;
                }
                ++result.updated;
                number = found->number;
                if (!groupsOfPerson.contains(number)) {
                    QSet<qint16>& known = groupsOfPerson[number];
                    for (const auto& entry : memberships.groupsOf(number)) known.insert(entry.second.number);
                    if ((error = memberships.error())) return error;
                }
            } else {
                data::Person person = row.person;
                person.number = 0;
                if ((error = bulk.addPerson(person))) return error;
                ++result.added;
                number = person.number;
                groupsOfPerson.insert(number, {});
                if (!key.isEmpty()) byAddress.insert(key, person);
            }
            for (const QString& name : row.groups) {
                auto group = groupNumbers.find(groupKey(name));
                if (group == groupNumbers.end()) {
                    data::Group created{0, name};
                    if ((error = groups.insert(created))) return error;
                    ++result.groupsCreated;
                    group = groupNumbers.insert(groupKey(name), created.number);
                }
                QSet<qint16>& known = groupsOfPerson[number];
                if (known.contains(*group)) continue;
                if ((error = bulk.addMembership({number, *group}))) return error;
                known.insert(*group);
                ++result.membershipsAdded;
            }
        }
        if (progress) progress(total, total);
        return {};
    });

    if (result.error) {
        // Rolled back: nothing of the counts happened.
        ImportResult failed;
        failed.cancelled = cancelled;
        if (!cancelled) failed.error = result.error;
        return failed;
    }
    return result;
}

}  // namespace demo::exchange
