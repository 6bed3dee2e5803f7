#include "demo/data/SendJournal.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString File = QString::fromLatin1(fileName::SendJournal);

// Instants are kept as UTC text, which both engines store and sort alike.
QString instantText(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}
QDateTime instantOf(const QString& text)
{
    if (text.isEmpty()) return QDateTime();
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

// Recipients as a JSON array: no separator character can be confused with part of an address.
QString recipientsText(const QStringList& recipients)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(recipients)).toJson(QJsonDocument::Compact));
}
QStringList recipientsOf(const QString& text)
{
    QStringList result;
    for (const QJsonValue& v : QJsonDocument::fromJson(text.toUtf8()).array()) result << v.toString();
    return result;
}

DataError mark(const QSqlDatabase& db, const QString& statement, std::initializer_list<QVariant> values)
{
    sql::Statement write(db, statement, values);
    if (!write.ok()) return sql::failure(File, write.error());
    if (write.rowsAffected() == 0) return errors::notFound(File);
    return {};
}
}  // namespace

SendJournal::SendJournal(const ContactDatabase& db) : db_(db) {}

DataError SendJournal::error() const
{
    return lastError_;
}

DataError SendJournal::begin(SendRecord& send, const std::vector<QStringList>& batches)
{
    qint64 id = 0;
    const DataError result = db_.inTransaction([&]() -> DataError {
        QSqlDatabase db = db_.connection();
        sql::Statement add(
            db,
            QStringLiteral("INSERT INTO sends (started, subject, receiverdescription, recipientspermessage, "
                           "batchcount, mail) VALUES (?, ?, ?, ?, ?, ?) RETURNING id"),
            {instantText(send.started), sql::text(send.subject), sql::text(send.receiverDescription),
             send.recipientsPerMessage, static_cast<int>(batches.size()), sql::text(send.mail)});
        if (!add.ok() || !add.next()) return sql::failure(File, add.error());
        id = add.value(0).toLongLong();
        int number = 0;
        for (const QStringList& recipients : batches) {
            sql::Statement batch(
                db,
                QStringLiteral("INSERT INTO sendbatches (sendid, batchnumber, recipients) VALUES (?, ?, ?)"),
                {id, ++number, recipientsText(recipients)});
            if (!batch.ok()) return sql::failure(File, batch.error());
        }
        return {};
    });
    if (result) return result;
    send.id = id;
    send.batchCount = static_cast<int>(batches.size());
    return {};
}

DataError SendJournal::markSending(qint64 sendId, int batchNumber)
{
    return mark(db_.connection(),
                QStringLiteral("UPDATE sendbatches SET state = ? WHERE sendid = ? AND batchnumber = ?"),
                {static_cast<int>(BatchRecord::State::Sending), sendId, batchNumber});
}

DataError SendJournal::markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply)
{
    const auto state = resultCode == 0 ? BatchRecord::State::Sent : BatchRecord::State::Failed;
    return mark(
        db_.connection(),
        QStringLiteral("UPDATE sendbatches SET state = ?, resultcode = ?, serverreply = ?, finished = ? "
                       "WHERE sendid = ? AND batchnumber = ?"),
        {static_cast<int>(state), resultCode, sql::text(serverReply),
         instantText(QDateTime::currentDateTimeUtc()), sendId, batchNumber});
}

std::vector<SendRecord> SendJournal::sends() const
{
    sql::Statement rows(
        db_.connection(),
        QStringLiteral("SELECT id, started, subject, receiverdescription, recipientspermessage, batchcount, "
                       "mail FROM sends ORDER BY id DESC"));
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<SendRecord> result;
    while (rows.next())
        result.push_back({rows.value(0).toLongLong(), instantOf(rows.value(1).toString()),
                          rows.value(2).toString(), rows.value(3).toString(), rows.value(4).toInt(),
                          rows.value(5).toInt(), rows.value(6).toString()});
    return result;
}

std::vector<BatchRecord> SendJournal::batches(qint64 sendId) const
{
    sql::Statement rows(
        db_.connection(),
        QStringLiteral("SELECT batchnumber, recipients, state, resultcode, serverreply, finished "
                       "FROM sendbatches WHERE sendid = ? ORDER BY batchnumber"),
        {sendId});
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<BatchRecord> result;
    while (rows.next()) {
        BatchRecord b;
        b.sendId = sendId;
        b.batchNumber = rows.value(0).toInt();
        b.recipients = recipientsOf(rows.value(1).toString());
        b.state = static_cast<BatchRecord::State>(rows.value(2).toInt());
        b.resultCode = rows.value(3).toInt();
        b.serverReply = rows.value(4).toString();
        b.finished = instantOf(rows.value(5).toString());
        result.push_back(b);
    }
    return result;
}

}  // namespace demo::data
