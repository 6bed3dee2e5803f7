#pragma once
// Small helpers shared by the table classes: running statements and reading engine errors.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <initializer_list>

#include "demo/data/DataError.h"

namespace demo::data::sql {

// What kind of rule an engine error reports, the same for SQLite and PostgreSQL.
enum class Violation { None, Unique, ForeignKey, Check, Other };
Violation violationOf(const QSqlError& error);

// Whether the engine's message names `token` (an index, constraint or table.column), ignoring case.
bool mentions(const QSqlError& error, const QString& token);

// The engine's own words, for the %ErrorText of a message.
QString engineText(const QSqlError& error);

// A text as a bound value: never NULL, as every text column is NOT NULL.
QVariant text(const QString& value);

// A statement prepared on `db` with its values bound in order; ok() tells whether it ran.
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& statement, std::initializer_list<QVariant> values = {});
    bool ok() const { return ok_; }
    QSqlQuery& query() { return query_; }
    QSqlError error() const { return query_.lastError(); }
    bool next() { return query_.next(); }
    QVariant value(int column) const { return query_.value(column); }
    int rowsAffected() const { return query_.numRowsAffected(); }

private:
    QSqlQuery query_;
    bool ok_ = false;
};

// A failure of a statement on the file `file`, as a message.
DataError failure(const QString& file, const QSqlError& error);

}  // namespace demo::data::sql
