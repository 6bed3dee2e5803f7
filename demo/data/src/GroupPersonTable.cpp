#include "demo/data/GroupPersonTable.h"

#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString File = QString::fromLatin1(fileName::GroupPerson);
const QString PersonColumns =
    QStringLiteral("p.number, p.firstname, p.initials, p.infix, p.lastname, p.emailaddress");

bool exists(const QSqlDatabase& db, const QString& statement, qint16 number, DataError& error)
{
    sql::Statement row(db, statement, {number});
    if (!row.ok()) error = sql::failure(File, row.error());
    return row.next();
}
}  // namespace

GroupPersonTable::GroupPersonTable(const ContactDatabase& db) : db_(db) {}

DataError GroupPersonTable::error() const
{
    return lastError_;
}

DataError GroupPersonTable::validatePersonNumber(qint16 personNumber) const
{
    DataError error;
    if (exists(db_.connection(), QStringLiteral("SELECT 1 FROM persons WHERE number = ?"), personNumber,
               error))
        return {};
    if (error) return error;
    return errors::fieldContents(QStringLiteral("GROPER:PersonNumber"),
                                 QString::fromLatin1(fileName::Persons));
}

DataError GroupPersonTable::validateGroupNumber(qint16 groupNumber) const
{
    DataError error;
    if (exists(db_.connection(), QStringLiteral("SELECT 1 FROM \"group\" WHERE number = ?"), groupNumber,
               error))
        return {};
    if (error) return error;
    return errors::fieldContents(QStringLiteral("GROPER:Groupnumber"), QString::fromLatin1(fileName::Group));
}

namespace {
DataError writeFailure(const QSqlError& e)
{
    switch (sql::violationOf(e)) {
        case sql::Violation::Unique:
            return errors::duplicateKey(QStringLiteral("GROPER:UniqueKey"));
        // Only reached when the person or group went away after the checks (another station).
        case sql::Violation::ForeignKey:
            return sql::mentions(e, QStringLiteral("groper_group"))
                       ? errors::fieldContents(QStringLiteral("GROPER:Groupnumber"),
                                               QString::fromLatin1(fileName::Group))
                       : errors::fieldContents(QStringLiteral("GROPER:PersonNumber"),
                                               QString::fromLatin1(fileName::Persons));
        default:
            return sql::failure(File, e);
    }
}
}  // namespace

DataError GroupPersonTable::insert(const Membership& m)
{
    return db_.inTransaction([&]() -> DataError {
        if (DataError e = validatePersonNumber(m.personNumber)) return e;
        if (DataError e = validateGroupNumber(m.groupNumber)) return e;
        sql::Statement add(
            db_.connection(),
            QStringLiteral("INSERT INTO groupperson (personnumber, groupnumber) VALUES (?, ?)"),
            {m.personNumber, m.groupNumber});
        return add.ok() ? DataError{} : writeFailure(add.error());
    });
}

DataError GroupPersonTable::update(const Membership& asRead, const Membership& changed)
{
    return db_.inTransaction([&]() -> DataError {
        if (DataError e = validatePersonNumber(changed.personNumber)) return e;
        if (DataError e = validateGroupNumber(changed.groupNumber)) return e;
        sql::Statement write(
            db_.connection(),
            QStringLiteral("UPDATE groupperson SET personnumber = ?, groupnumber = ? "
                           "WHERE personnumber = ? AND groupnumber = ?"),
            {changed.personNumber, changed.groupNumber, asRead.personNumber, asRead.groupNumber});
        if (!write.ok()) return writeFailure(write.error());
        // The membership as read is gone: another station changed or removed it.
        if (write.rowsAffected() == 0) return errors::changedByOther();
        return {};
    });
}

DataError GroupPersonTable::remove(const Membership& m)
{
    sql::Statement erase(db_.connection(),
                         QStringLiteral("DELETE FROM groupperson WHERE personnumber = ? AND groupnumber = ?"),
                         {m.personNumber, m.groupNumber});
    if (!erase.ok()) return sql::failure(File, erase.error());
    if (erase.rowsAffected() == 0) return errors::notFound(File);
    return {};
}

std::vector<Membership> GroupPersonTable::ofGroup(qint16 groupNumber) const
{
    sql::Statement rows(
        db_.connection(),
        QStringLiteral("SELECT personnumber, groupnumber FROM groupperson WHERE groupnumber = ? "
                       "ORDER BY personnumber"),
        {groupNumber});
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<Membership> result;
    while (rows.next())
        result.push_back(
            {static_cast<qint16>(rows.value(0).toInt()), static_cast<qint16>(rows.value(1).toInt())});
    return result;
}

std::vector<std::pair<Membership, Group>> GroupPersonTable::groupsOf(qint16 personNumber) const
{
    sql::Statement rows(
        db_.connection(),
        QStringLiteral("SELECT gp.personnumber, g.number, g.name FROM groupperson gp "
                       "JOIN \"group\" g ON g.number = gp.groupnumber WHERE gp.personnumber = ? "
                       "ORDER BY lower(g.name), g.number"),
        {personNumber});
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<std::pair<Membership, Group>> result;
    while (rows.next()) {
        const auto group = static_cast<qint16>(rows.value(1).toInt());
        result.push_back(
            {{static_cast<qint16>(rows.value(0).toInt()), group}, {group, rows.value(2).toString()}});
    }
    return result;
}

std::vector<std::pair<Membership, std::optional<Person>>> GroupPersonTable::membersOf(
    qint16 groupNumber, const MembershipCursor& after, int limit) const
{
    std::vector<std::pair<Membership, std::optional<Person>>> result;
    if (limit <= 0) return result;
    sql::Statement rows(db_.connection(),
                        QStringLiteral("SELECT gp.personnumber, %1 FROM groupperson gp "
                                       "LEFT JOIN persons p ON p.number = gp.personnumber "
                                       "WHERE gp.groupnumber = ? AND gp.personnumber > ? "
                                       "ORDER BY gp.personnumber LIMIT ?")
                            .arg(PersonColumns),
                        {groupNumber, after.personNumber, limit});
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    while (rows.next()) {
        const Membership m{static_cast<qint16>(rows.value(0).toInt()), groupNumber};
        std::optional<Person> person;
        if (!rows.value(1).isNull()) {
            Person p;
            p.number = static_cast<qint16>(rows.value(1).toInt());
            p.firstName = rows.value(2).toString();
            p.initials = rows.value(3).toString();
            p.infix = rows.value(4).toString();
            p.lastName = rows.value(5).toString();
            p.emailAddress = rows.value(6).toString();
            person = p;
        }
        result.emplace_back(m, person);
    }
    return result;
}

int GroupPersonTable::countOfGroup(qint16 groupNumber) const
{
    sql::Statement rows(db_.connection(),
                        QStringLiteral("SELECT COUNT(*) FROM groupperson WHERE groupnumber = ?"),
                        {groupNumber});
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    return rows.next() ? rows.value(0).toInt() : 0;
}

}  // namespace demo::data
