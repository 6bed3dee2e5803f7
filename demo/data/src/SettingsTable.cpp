#include "demo/data/SettingsTable.h"

#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString File = QString::fromLatin1(fileName::Settings);
const QString Columns = QStringLiteral(
    "id, mailhost, mailer, sendername, senderemail, standardsubject, footer, header, "
    "username, recipientspermessage, messagesperminute");

Settings settingsAt(const sql::Statement& row)
{
    Settings s;
    s.mailHost = row.value(1).toString();
    s.mailer = row.value(2).toString();
    s.senderName = row.value(3).toString();
    s.senderEmail = row.value(4).toString();
    s.standardSubject = row.value(5).toString();
    s.footer = row.value(6).toString();
    s.header = row.value(7).toString();
    s.userName = row.value(8).toString();
    s.recipientsPerMessage = row.value(9).toInt();
    s.messagesPerMinute = row.value(10).toInt();
    return s;
}
}  // namespace

SettingsTable::SettingsTable(const ContactDatabase& db) : db_(db) {}

DataError SettingsTable::error() const
{
    return lastError_;
}

std::optional<Settings> SettingsTable::first() const
{
    sql::Statement row(db_.connection(),
                       QStringLiteral("SELECT %1 FROM settings ORDER BY id LIMIT 1").arg(Columns));
    lastError_ = row.ok() ? DataError{} : sql::failure(File, row.error());
    if (!row.next()) return std::nullopt;
    return settingsAt(row);
}

DataError SettingsTable::insertBlank()
{
    sql::Statement add(db_.connection(), QStringLiteral("INSERT INTO settings (mailhost) VALUES ('')"));
    return add.ok() ? DataError{} : sql::failure(File, add.error());
}

DataError SettingsTable::update(const Settings& asRead, const Settings& changed, Settings* nowStored)
{
    const Settings expected = normalized(asRead);
    const Settings wanted = normalized(changed);
    return db_.inTransaction([&]() -> DataError {
        QSqlDatabase db = db_.connection();
        sql::Statement row(db,
                           QStringLiteral("SELECT %1 FROM settings ORDER BY id LIMIT 1%2")
                               .arg(Columns, db_.isPostgres() ? QStringLiteral(" FOR UPDATE") : QString()));
        if (!row.ok()) return sql::failure(File, row.error());
        if (!row.next()) return errors::notFound(File);
        const qint64 id = row.value(0).toLongLong();
        const Settings current = settingsAt(row);
        if (current != expected) {
            if (nowStored) *nowStored = current;
            return errors::changedByOther();
        }
        sql::Statement write(
            db,
            QStringLiteral("UPDATE settings SET mailhost = ?, mailer = ?, sendername = ?, senderemail = ?, "
                           "standardsubject = ?, footer = ?, header = ?, username = ?, "
                           "recipientspermessage = ?, messagesperminute = ? WHERE id = ?"),
            {sql::text(wanted.mailHost), sql::text(wanted.mailer), sql::text(wanted.senderName),
             sql::text(wanted.senderEmail), sql::text(wanted.standardSubject), sql::text(wanted.footer),
             sql::text(wanted.header), sql::text(wanted.userName), wanted.recipientsPerMessage,
             wanted.messagesPerMinute, id});
        if (!write.ok()) return sql::failure(File, write.error());
        if (nowStored) *nowStored = wanted;
        return {};
    });
}

}  // namespace demo::data
