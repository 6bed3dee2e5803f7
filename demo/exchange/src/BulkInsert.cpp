#include "BulkInsert.h"

#include <QSqlError>

namespace demo::exchange {
namespace {

QString nonNull(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

data::DataError failure(const char* file, const QSqlQuery& query)
{
    return data::errors::database(QString::fromLatin1(file), query.lastError().text());
}

}  // namespace

BulkInsert::BulkInsert(const data::ContactDatabase& db)
    : db_(db), person_(db.connection()), membership_(db.connection())
{
}

data::DataError BulkInsert::begin()
{
    QSqlQuery query(db_.connection());
    // SQLite's write lock is already held (the transaction began immediate);
    // PostgreSQL needs the lock the table classes take when they add.
    if (db_.isPostgres() && !query.exec(QStringLiteral("LOCK TABLE persons IN SHARE ROW EXCLUSIVE MODE")))
        return failure(data::fileName::Persons, query);
    if (!query.exec(QStringLiteral("SELECT COALESCE(MAX(number), 0) FROM persons")) || !query.next())
        return failure(data::fileName::Persons, query);
    highest_ = query.value(0).toInt();
    if (!person_.prepare(
            QStringLiteral("INSERT INTO persons (number, firstname, initials, infix, lastname, emailaddress) "
                           "VALUES (?, ?, ?, ?, ?, ?)")))
        return failure(data::fileName::Persons, person_);
    if (!membership_.prepare(
            QStringLiteral("INSERT INTO groupperson (personnumber, groupnumber) VALUES (?, ?)")))
        return failure(data::fileName::GroupPerson, membership_);
    return {};
}

data::DataError BulkInsert::addPerson(data::Person& person)
{
    if (highest_ >= data::HighestNumber)
        return data::errors::numberRangeFull(QString::fromLatin1(data::fileName::Persons));
    data::Person stored = data::normalized(person);
    stored.number = static_cast<qint16>(highest_ + 1);
    person_.bindValue(0, stored.number);
    person_.bindValue(1, nonNull(stored.firstName));
    person_.bindValue(2, nonNull(stored.initials));
    person_.bindValue(3, nonNull(stored.infix));
    person_.bindValue(4, nonNull(stored.lastName));
    person_.bindValue(5, nonNull(stored.emailAddress));
    if (!person_.exec()) return failure(data::fileName::Persons, person_);
    highest_ = stored.number;
    person = stored;
    return {};
}

data::DataError BulkInsert::addMembership(const data::Membership& membership)
{
    membership_.bindValue(0, membership.personNumber);
    membership_.bindValue(1, membership.groupNumber);
    if (!membership_.exec()) return failure(data::fileName::GroupPerson, membership_);
    return {};
}

}  // namespace demo::exchange
