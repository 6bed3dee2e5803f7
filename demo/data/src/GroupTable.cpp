#include "demo/data/GroupTable.h"

#include "AutoNumber.h"
#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString File = QString::fromLatin1(fileName::Group);

Group groupAt(const sql::Statement& row)
{
    Group g;
    g.number = static_cast<qint16>(row.value(0).toInt());
    g.name = row.value(1).toString();
    return g;
}

bool isNumberClash(const QSqlError& e)
{
    return sql::mentions(e, QStringLiteral("gro_numberkey")) ||
           sql::mentions(e, QStringLiteral("group.number"));
}

DataError writeFailure(const QSqlError& e)
{
    if (sql::violationOf(e) == sql::Violation::Unique) {
        if (sql::mentions(e, QStringLiteral("gro_namekey")))
            return errors::duplicateKey(QStringLiteral("GRO:NameKey"));
        if (isNumberClash(e)) return errors::duplicateKey(QStringLiteral("GRO:NumberKey"));
    }
    return sql::failure(File, e);
}

std::optional<Group> fetchOn(const QSqlDatabase& db, qint16 number, DataError& error, bool forUpdate)
{
    sql::Statement row(
        db,
        QStringLiteral("SELECT number, name FROM \"group\" WHERE number = ?%1")
            .arg(forUpdate && db.driverName() == QLatin1String("QPSQL") ? QStringLiteral(" FOR UPDATE")
                                                                        : QString()),
        {number});
    error = row.ok() ? DataError{} : sql::failure(File, row.error());
    if (!row.next()) return std::nullopt;
    return groupAt(row);
}
}  // namespace

GroupTable::GroupTable(const ContactDatabase& db) : db_(db) {}

DataError GroupTable::error() const
{
    return lastError_;
}

DataError GroupTable::insert(Group& group)
{
    const Group stored = normalized(group);
    const AutoNumberedTable table{
        QStringLiteral("\"group\""), File,
        [&](QSqlDatabase& db, qint16 number) -> std::optional<QSqlError> {
            sql::Statement add(db, QStringLiteral("INSERT INTO \"group\" (number, name) VALUES (?, ?)"),
                               {number, sql::text(stored.name)});
            if (add.ok()) return std::nullopt;
            return add.error();
        },
        isNumberClash, writeFailure};
    qint16 number = 0;
    const DataError result = insertWithNextNumber(db_, table, number);
    if (result) return result;
    group = stored;
    group.number = number;
    return {};
}

DataError GroupTable::update(const Group& asRead, const Group& changed, Group* nowStored)
{
    const Group expected = normalized(asRead);
    const Group wanted = normalized(changed);
    return db_.inTransaction([&]() -> DataError {
        QSqlDatabase db = db_.connection();
        DataError readError;
        const std::optional<Group> current = fetchOn(db, expected.number, readError, true);
        if (readError) return readError;
        if (!current) return errors::notFound(File);
        if (*current != expected) {
            if (nowStored) *nowStored = *current;
            return errors::changedByOther();
        }
        sql::Statement write(db, QStringLiteral("UPDATE \"group\" SET number = ?, name = ? WHERE number = ?"),
                             {wanted.number, sql::text(wanted.name), expected.number});
        if (!write.ok()) return writeFailure(write.error());
        if (nowStored) *nowStored = wanted;
        return {};
    });
}

DataError GroupTable::remove(qint16 number)
{
    sql::Statement erase(db_.connection(), QStringLiteral("DELETE FROM \"group\" WHERE number = ?"),
                         {number});
    if (!erase.ok()) {
        if (sql::violationOf(erase.error()) == sql::Violation::ForeignKey)
            return errors::restrictedDelete(QString::fromLatin1(fileName::GroupPerson));
        return sql::failure(File, erase.error());
    }
    if (erase.rowsAffected() == 0) return errors::notFound(File);
    return {};
}

std::optional<Group> GroupTable::fetch(qint16 number) const
{
    return fetchOn(db_.connection(), number, lastError_, false);
}

std::vector<Group> GroupTable::all(bool byName) const
{
    sql::Statement rows(db_.connection(),
                        byName ? QStringLiteral("SELECT number, name FROM \"group\" WHERE name <> '' "
                                                "ORDER BY lower(name), number")
                               : QStringLiteral("SELECT number, name FROM \"group\" ORDER BY number"));
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<Group> result;
    while (rows.next()) result.push_back(groupAt(rows));
    return result;
}

bool GroupTable::hasMembers(qint16 number) const
{
    sql::Statement row(db_.connection(),
                       QStringLiteral("SELECT 1 FROM groupperson WHERE groupnumber = ? LIMIT 1"), {number});
    lastError_ = row.ok() ? DataError{} : sql::failure(File, row.error());
    return row.next();
}

}  // namespace demo::data
