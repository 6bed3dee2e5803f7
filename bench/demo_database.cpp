// Builds a full contact database (32,767 persons, 1,000 groups, 100,000 memberships) and prints
// how long building it, opening it again and reading the first batches take.
// Usage: demo_database [FILE]   (a temporary file when none is given; QUILLNET_DATABASE, when
// set, names a PostgreSQL database instead)
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariantList>
#include <algorithm>
#include <cstdio>

#include "demo/data/ContactDatabase.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/PersonsTable.h"

using namespace demo::data;

namespace {
constexpr int Persons = 32767, Groups = 1000, MembersPerGroup = 100;

bool fail(const char* what, const QSqlQuery& q)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(q.lastError().text()));
    return false;
}

// Column-wise values, inserted by one prepared statement of many rows at a time: one round
// trip per few hundred rows, which is what a server connection needs.
bool runBatch(QSqlDatabase db, const QString& insertInto, const std::vector<QVariantList>& columns)
{
    constexpr int RowsPerStatement = 500;
    const int rows = static_cast<int>(columns.front().size());
    QStringList marks;
    for (size_t c = 0; c < columns.size(); ++c) marks << QStringLiteral("?");
    const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QSqlQuery q(db);
    int prepared = 0;
    for (int start = 0; start < rows; start += RowsPerStatement) {
        const int count = std::min(RowsPerStatement, rows - start);
        if (count != prepared) {
            QStringList values;
            for (int i = 0; i < count; ++i) values << row;
            if (!q.prepare(insertInto + QStringLiteral(" VALUES ") + values.join(QLatin1Char(','))))
                return fail("prepare", q);
            prepared = count;
        }
        for (int i = start; i < start + count; ++i)
            for (const QVariantList& column : columns) q.addBindValue(column.at(i));
        if (!q.exec()) return fail("insert", q);
    }
    return true;
}

DataError build(const ContactDatabase& db)
{
    return db.inTransaction([&]() -> DataError {
        QVariantList number, first, initials, infix, last, email;
        for (int i = 1; i <= Persons; ++i) {
            number << i;
            first << QStringLiteral("First%1").arg(i);
            initials << QStringLiteral("F.");
            infix << QString(QLatin1String(""));
            last << QStringLiteral("Last%1").arg((i * 7919) % Persons);
            email << QStringLiteral("person%1@example.org").arg(i);
        }
        QVariantList groupNumber, name;
        for (int g = 1; g <= Groups; ++g) {
            groupNumber << g;
            name << QStringLiteral("Group %1").arg(g);
        }
        QVariantList memberPerson, memberGroup;
        for (int g = 1; g <= Groups; ++g)
            for (int k = 0; k < MembersPerGroup; ++k) {
                memberPerson << (g * 131 + k * 327) % Persons + 1;  // distinct within a group
                memberGroup << g;
            }
        const QSqlDatabase c = db.connection();
        const bool ok =
            runBatch(c,
                     QStringLiteral(
                         "INSERT INTO persons (number, firstname, initials, infix, lastname, emailaddress) "),
                     {number, first, initials, infix, last, email}) &&
            runBatch(c, QStringLiteral("INSERT INTO \"group\" (number, name)"), {groupNumber, name}) &&
            runBatch(c, QStringLiteral("INSERT INTO groupperson (personnumber, groupnumber)"),
                     {memberPerson, memberGroup});
        return ok ? DataError{}
                  : DataError{ErrorKind::Database, QStringLiteral("build"), QStringLiteral("failed")};
    });
}
}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir folder;
    DatabaseLocation location = DatabaseLocation::fromEnvironment();
    if (location.engine == DatabaseLocation::Engine::Sqlite)
        location.sqliteFile =
            argc > 1 ? QString::fromLocal8Bit(argv[1]) : folder.filePath(QStringLiteral("bench.sqlite"));
    QElapsedTimer timer;
    {
        ContactDatabase db(location);
        if (DataError e = db.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text));
            return 1;
        }
        timer.start();
        if (DataError e = build(db)) return 1;
        std::printf("build: %d persons, %d groups, %d memberships in %.2f s\n", Persons, Groups,
                    Groups * MembersPerGroup, timer.elapsed() / 1000.0);
    }
    timer.restart();
    ContactDatabase db(location);
    std::vector<DataError> notices;
    if (DataError e = db.open(&notices)) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text));
        return 1;
    }
    std::printf("open (with the integrity check): %.3f s\n", timer.elapsed() / 1000.0);
    PersonsTable persons(db);
    GroupPersonTable members(db);
    for (auto order :
         {PersonsTable::Order::Number, PersonsTable::Order::EmailAddress, PersonsTable::Order::LastName}) {
        timer.restart();
        PersonCursor cursor;
        int rows = 0;
        for (int batch = 0; batch < 10; ++batch) {
            const auto people = persons.batch(order, cursor, 100);
            if (people.empty()) break;
            rows += static_cast<int>(people.size());
            cursor = PersonsTable::cursorAfter(order, people.back());
        }
        std::printf("persons order %d: first %d rows in 10 batches: %.3f s\n", static_cast<int>(order), rows,
                    timer.elapsed() / 1000.0);
    }
    timer.restart();
    int scanned = 0;
    MembershipCursor cursor;
    for (;;) {
        const auto batch = members.membersOf(500, cursor, 40);
        if (batch.empty()) break;
        scanned += static_cast<int>(batch.size());
        cursor.personNumber = batch.back().first.personNumber;
    }
    std::printf("members of one group (%d) in batches of 40: %.3f s\n", scanned, timer.elapsed() / 1000.0);
    return 0;
}
