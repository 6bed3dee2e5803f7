#include "demo/data/DataError.h"

namespace demo::data::errors {

namespace {
const QString EndOfApplication = QStringLiteral("  Press OK to end this application");
}

DataError duplicateKey(const QString& keyName)
{
    return {ErrorKind::DuplicateKey, QStringLiteral("Duplicate Key Error"),
            QStringLiteral("Adding this record creates a duplicate entry for the key: %1").arg(keyName)};
}

DataError restrictedDelete(const QString& file)
{
    return {ErrorKind::RestrictedDelete, QStringLiteral("Referential Integrity Delete Error"),
            QStringLiteral("This record is referenced from the file %1. This record cannot be deleted while "
                           "these references exist.")
                .arg(file)};
}

DataError fieldContents(const QString& field, const QString& file)
{
    return {ErrorKind::FieldContents, QStringLiteral("Field contents error"),
            QStringLiteral("The value of %1 must be found in the %2 file.").arg(field, file)};
}

DataError changedByOther()
{
    return {ErrorKind::ChangedByOther, QStringLiteral("Record Was Not Updated"),
            QStringLiteral("This record was changed by another station.")};
}

DataError autoNumber(const QString& engineText)
{
    return {ErrorKind::AutoNumber, QStringLiteral("Auto Increment Error"),
            QStringLiteral("Attempts to automatically number this record have failed.  Error: %1. Try Again?")
                .arg(engineText)};
}

DataError numberRangeFull(const QString& file)
{
    return {
        ErrorKind::NumberRangeFull, QStringLiteral("Auto Increment Error"),
        QStringLiteral("The %1 file already holds number 32767, the highest there is. No more records can "
                       "be added.")
            .arg(file)};
}

DataError notFound(const QString& file)
{
    return {ErrorKind::NotFound, QStringLiteral("Record Not Found"),
            QStringLiteral("The record is no longer in the %1 file.").arg(file)};
}

DataError fileAccess(const QString& file, const QString& engineText)
{
    return {ErrorKind::FileAccess, QStringLiteral("File Access Error"),
            QStringLiteral("File (%1) could not be opened.  Error: %2.").arg(file, engineText) +
                EndOfApplication};
}

DataError fileCreation(const QString& file, const QString& engineText)
{
    return {ErrorKind::FileCreation, QStringLiteral("File Creation Error"),
            QStringLiteral("Error: (%1) creating %2.").arg(engineText, file) + EndOfApplication};
}

DataError invalidKey(const QString& file)
{
    return {ErrorKind::InvalidKey, QStringLiteral("Invalid Key"),
            QStringLiteral("%1 key file is invalid. Key must be rebuilt.").arg(file)};
}

DataError database(const QString& file, const QString& engineText)
{
    return {ErrorKind::Database, QStringLiteral("Database Error"),
            QStringLiteral("The %1 file could not be read or written.  Error: %2.").arg(file, engineText)};
}

}  // namespace demo::data::errors
