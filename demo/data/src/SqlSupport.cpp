#include "SqlSupport.h"

#include <QSqlDriver>
#include <QSqlField>

namespace demo::data::sql {

namespace {
// SQLite's extended result codes and PostgreSQL's SQLSTATEs for the same violations.
bool codeIs(const QSqlError& error, std::initializer_list<const char*> codes)
{
    const QString code = error.nativeErrorCode();
    for (const char* c : codes)
        if (code == QLatin1String(c)) return true;
    return false;
}
}  // namespace

Violation violationOf(const QSqlError& error)
{
    if (error.type() == QSqlError::NoError) return Violation::None;
    const QString message = error.databaseText();
    if (codeIs(error, {"23505", "2067", "1555"}) ||
        message.contains(QLatin1String("UNIQUE constraint failed")))
        return Violation::Unique;
    if (codeIs(error, {"23503", "787"}) || message.contains(QLatin1String("FOREIGN KEY constraint failed")))
        return Violation::ForeignKey;
    if (codeIs(error, {"23514", "275"}) || message.contains(QLatin1String("CHECK constraint failed")))
        return Violation::Check;
    return Violation::Other;
}

bool mentions(const QSqlError& error, const QString& token)
{
    return error.databaseText().contains(token, Qt::CaseInsensitive) ||
           error.driverText().contains(token, Qt::CaseInsensitive);
}

QString engineText(const QSqlError& error)
{
    QString message = error.databaseText().trimmed();
    if (message.isEmpty()) message = error.driverText().trimmed();
    // PostgreSQL's texts are several lines (message, detail); one line reads better in a box.
    message.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return message;
}

QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

namespace {
// Puts each value, quoted by the driver, in place of its "?" (never inside a quoted name or text).
QString withLiterals(const QSqlDatabase& db, const QString& statement, std::initializer_list<QVariant> values)
{
    QString result;
    auto value = values.begin();
    QChar quote;
    for (const QChar c : statement) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?') && value != values.end()) {
            QSqlField field(QString(), value->metaType());
            field.setValue(*value);
            result += db.driver()->formatValue(field);
            ++value;
            continue;
        }
        result += c;
    }
    return result;
}
}  // namespace

Statement::Statement(const QSqlDatabase& db, const QString& statement, std::initializer_list<QVariant> values)
    : query_(db)
{
    query_.setForwardOnly(true);
    // PostgreSQL cannot prepare commands such as BEGIN, LOCK or CREATE: run those directly.
    if (values.size() == 0) {
        ok_ = query_.exec(statement);
        return;
    }
    if (db.driverName() == QLatin1String("QPSQL")) {
        // Server-side prepared statements cannot be freed once a statement has failed inside a
        // transaction; the driver's own quoting of the values does without them.
        ok_ = query_.exec(withLiterals(db, statement, values));
        return;
    }
    if (!query_.prepare(statement)) return;
    for (const QVariant& value : values) query_.addBindValue(value);
    ok_ = query_.exec();
}

DataError failure(const QString& file, const QSqlError& error)
{
    return errors::database(file, engineText(error));
}

}  // namespace demo::data::sql
