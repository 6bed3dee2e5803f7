#include "AutoNumber.h"

#include "SqlSupport.h"
#include "demo/data/Records.h"

namespace demo::data {

DataError insertWithNextNumber(const ContactDatabase& database, const AutoNumberedTable& table,
                               qint16& number)
{
    QString lastClash;
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool clashed = false;
        const DataError result = database.inTransaction([&]() -> DataError {
            QSqlDatabase db = database.connection();
            if (database.isPostgres()) {
                // Adders wait for each other instead of clashing (SQLite's write lock does the same).
                sql::Statement lock(
                    db, QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(table.table));
                if (!lock.ok()) return sql::failure(table.file, lock.error());
            }
            sql::Statement highest(
                db, QStringLiteral("SELECT COALESCE(MAX(number), 0) FROM %1").arg(table.table));
            if (!highest.ok() || !highest.next()) return sql::failure(table.file, highest.error());
            const int top = highest.value(0).toInt();
            if (top >= HighestNumber) return errors::numberRangeFull(table.file);
            number = static_cast<qint16>(top + 1);
            const std::optional<QSqlError> refused = table.add(db, number);
            if (!refused) return {};
            if (sql::violationOf(*refused) == sql::Violation::Unique && table.isNumberClash(*refused)) {
                clashed = true;
                lastClash = sql::engineText(*refused);
            }
            return table.writeFailure(*refused);
        });
        if (!result || !clashed) return result;
    }
    return errors::autoNumber(lastClash);
}

}  // namespace demo::data
