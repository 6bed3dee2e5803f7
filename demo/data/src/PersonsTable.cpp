#include "demo/data/PersonsTable.h"

#include "AutoNumber.h"
#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString Columns = QStringLiteral("number, firstname, initials, infix, lastname, emailaddress");
const QString File = QString::fromLatin1(fileName::Persons);

Person personAt(const sql::Statement& row, int first = 0)
{
    Person p;
    p.number = static_cast<qint16>(row.value(first).toInt());
    p.firstName = row.value(first + 1).toString();
    p.initials = row.value(first + 2).toString();
    p.infix = row.value(first + 3).toString();
    p.lastName = row.value(first + 4).toString();
    p.emailAddress = row.value(first + 5).toString();
    return p;
}

// Which unique key an engine's complaint is about.
bool isNumberClash(const QSqlError& e)
{
    return sql::mentions(e, QStringLiteral("per_numberkey")) ||
           sql::mentions(e, QStringLiteral("persons.number"));
}

DataError writeFailure(const QSqlError& e)
{
    if (sql::violationOf(e) == sql::Violation::Unique) {
        if (sql::mentions(e, QStringLiteral("per_emailaddresskey")))
            return errors::duplicateKey(QStringLiteral("PER:EmailaddressKey"));
        if (isNumberClash(e)) return errors::duplicateKey(QStringLiteral("PER:Numberkey"));
    }
    return sql::failure(File, e);
}

std::optional<Person> fetchOn(const QSqlDatabase& db, qint16 number, DataError& error, bool forUpdate)
{
    sql::Statement row(db,
                       QStringLiteral("SELECT %1 FROM persons WHERE number = ?%2")
                           .arg(Columns, forUpdate && db.driverName() == QLatin1String("QPSQL")
                                             ? QStringLiteral(" FOR UPDATE")
                                             : QString()),
                       {number});
    error = row.ok() ? DataError{} : sql::failure(File, row.error());
    if (!row.next()) return std::nullopt;
    return personAt(row);
}
}  // namespace

PersonsTable::PersonsTable(const ContactDatabase& db) : db_(db) {}

DataError PersonsTable::error() const
{
    return lastError_;
}

DataError PersonsTable::insert(Person& person)
{
    const Person stored = normalized(person);
    const AutoNumberedTable table{
        QStringLiteral("persons"), File,
        [&](QSqlDatabase& db, qint16 number) -> std::optional<QSqlError> {
            sql::Statement add(
                db, QStringLiteral("INSERT INTO persons (%1) VALUES (?, ?, ?, ?, ?, ?)").arg(Columns),
                {number, sql::text(stored.firstName), sql::text(stored.initials), sql::text(stored.infix),
                 sql::text(stored.lastName), sql::text(stored.emailAddress)});
            if (add.ok()) return std::nullopt;
            return add.error();
        },
        isNumberClash, writeFailure};
    qint16 number = 0;
    const DataError result = insertWithNextNumber(db_, table, number);
    if (result) return result;
    person = stored;
    person.number = number;
    return {};
}

DataError PersonsTable::update(const Person& asRead, const Person& changed, Person* nowStored)
{
    const Person expected = normalized(asRead);
    const Person wanted = normalized(changed);
    return db_.inTransaction([&]() -> DataError {
        QSqlDatabase db = db_.connection();
        DataError readError;
        const std::optional<Person> current = fetchOn(db, expected.number, readError, true);
        if (readError) return readError;
        if (!current) return errors::notFound(File);
        if (*current != expected) {
            if (nowStored) *nowStored = *current;
            return errors::changedByOther();
        }
        sql::Statement write(
            db,
            QStringLiteral("UPDATE persons SET number = ?, firstname = ?, initials = ?, infix = ?, "
                           "lastname = ?, emailaddress = ? WHERE number = ?"),
            {wanted.number, sql::text(wanted.firstName), sql::text(wanted.initials), sql::text(wanted.infix),
             sql::text(wanted.lastName), sql::text(wanted.emailAddress), expected.number});
        if (!write.ok()) return writeFailure(write.error());
        if (nowStored) *nowStored = wanted;
        return {};
    });
}

DataError PersonsTable::remove(qint16 number)
{
    sql::Statement erase(db_.connection(), QStringLiteral("DELETE FROM persons WHERE number = ?"), {number});
    if (!erase.ok()) return sql::failure(File, erase.error());
    if (erase.rowsAffected() == 0) return errors::notFound(File);
    return {};
}

std::optional<Person> PersonsTable::fetch(qint16 number) const
{
    return fetchOn(db_.connection(), number, lastError_, false);
}

std::optional<Person> PersonsTable::fetchByEmail(const QString& address) const
{
    const QString key = storedText(address, width::EmailAddress);
    lastError_ = {};
    if (key.isEmpty()) return std::nullopt;  // blank addresses are not in the key
    sql::Statement row(
        db_.connection(),
        QStringLiteral("SELECT %1 FROM persons WHERE emailaddress <> '' AND lower(emailaddress) = lower(?)")
            .arg(Columns),
        {key});
    if (!row.ok()) lastError_ = sql::failure(File, row.error());
    if (!row.next()) return std::nullopt;
    return personAt(row);
}

int PersonsTable::count() const
{
    sql::Statement rows(db_.connection(), QStringLiteral("SELECT COUNT(*) FROM persons"));
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    return rows.next() ? rows.value(0).toInt() : 0;
}

PersonCursor PersonsTable::cursorAfter(Order order, const Person& last)
{
    switch (order) {
        case Order::EmailAddress:
            return {last.emailAddress, last.number};
        case Order::LastName:
            return {last.lastName, last.number};
        case Order::Number:
            break;
    }
    return {QString(), last.number};
}

std::vector<Person> PersonsTable::batch(Order order, const PersonCursor& after, int limit) const
{
    // Keyset pagination: each batch starts where the last one ended, whatever its size.
    std::vector<Person> result;
    if (limit <= 0) return result;
    const QString key = storedText(after.key, width::EmailAddress);
    auto keyed = [&](const char* column) {
        return QStringLiteral(
                   "SELECT %1 FROM persons WHERE %2 <> '' AND (lower(%2) > lower(?) OR "
                   "(lower(%2) = lower(?) AND number > ?)) ORDER BY lower(%2), number LIMIT ?")
            .arg(Columns, QLatin1String(column));
    };
    QSqlDatabase db = db_.connection();
    auto collect = [&](sql::Statement& rows) {
        lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
        while (rows.next()) result.push_back(personAt(rows));
    };
    if (order == Order::Number) {
        sql::Statement rows(
            db,
            QStringLiteral("SELECT %1 FROM persons WHERE number > ? ORDER BY number LIMIT ?").arg(Columns),
            {after.number, limit});
        collect(rows);
    } else {
        const char* column = order == Order::EmailAddress ? "emailaddress" : "lastname";
        sql::Statement rows(db, keyed(column), {sql::text(key), sql::text(key), after.number, limit});
        collect(rows);
    }
    return result;
}

}  // namespace demo::data
