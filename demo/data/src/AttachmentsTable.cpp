#include "demo/data/AttachmentsTable.h"

#include "SqlSupport.h"

namespace demo::data {

namespace {
const QString File = QString::fromLatin1(fileName::Attachments);
}

AttachmentsTable::AttachmentsTable(const ContactDatabase& db) : db_(db) {}

DataError AttachmentsTable::error() const
{
    return lastError_;
}

DataError AttachmentsTable::insert(Attachment& a)
{
    const Attachment stored = normalized(a);
    sql::Statement add(db_.connection(),
                       QStringLiteral("INSERT INTO attachments (filename, icon) VALUES (?, ?) RETURNING id"),
                       {sql::text(stored.fileName), stored.icon});
    if (!add.ok()) return sql::failure(File, add.error());
    if (!add.next()) return sql::failure(File, add.error());
    a = stored;
    a.id = add.value(0).toLongLong();
    return {};
}

DataError AttachmentsTable::remove(qint64 id)
{
    sql::Statement erase(db_.connection(), QStringLiteral("DELETE FROM attachments WHERE id = ?"), {id});
    if (!erase.ok()) return sql::failure(File, erase.error());
    if (erase.rowsAffected() == 0) return errors::notFound(File);
    return {};
}

std::vector<Attachment> AttachmentsTable::all() const
{
    sql::Statement rows(db_.connection(),
                        QStringLiteral("SELECT id, filename, icon FROM attachments WHERE filename <> '' "
                                       "ORDER BY lower(filename), id"));
    lastError_ = rows.ok() ? DataError{} : sql::failure(File, rows.error());
    std::vector<Attachment> result;
    while (rows.next())
        result.push_back({rows.value(0).toLongLong(), rows.value(1).toString(),
                          static_cast<qint16>(rows.value(2).toInt())});
    return result;
}

}  // namespace demo::data
