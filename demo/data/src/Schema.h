#pragma once
// The tables of the contact database, one definition for SQLite and PostgreSQL.
#include <QString>
#include <QStringList>

namespace demo::data::schema {

enum class Dialect { Sqlite, PostgreSql };

// The statements that create whatever is missing, in order (tables before their indexes and
// before the tables that refer to them).
QStringList createStatements(Dialect dialect);

// The statements that bring a database of `fromVersion` to the current version.
QStringList migrationStatements(int fromVersion, Dialect dialect);

// The display name (as in messages) of the table an index or table name belongs to.
QString displayNameOfTable(const QString& table);

}  // namespace demo::data::schema
