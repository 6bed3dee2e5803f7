#pragma once
// A failure as the user sees it: title and text are final, every placeholder filled in.
#include <QString>

namespace demo::data {

enum class ErrorKind {
    None,
    DuplicateKey,      // a unique key would hold the value twice
    RestrictedDelete,  // a group with members cannot be deleted
    FieldContents,     // a membership names a person or group that does not exist
    ChangedByOther,    // the record changed since it was read; nothing written
    AutoNumber,        // three attempts to number a new record failed
    NumberRangeFull,   // no number above HighestNumber can be given
    NotFound,          // the record is gone
    FileAccess,        // the database cannot be opened (fatal)
    FileCreation,      // the database cannot be created (fatal)
    InvalidKey,        // a damaged index was found (and rebuilt)
    Database           // any other engine failure
};

struct DataError {
    ErrorKind kind = ErrorKind::None;
    QString title;
    QString text;
    explicit operator bool() const { return kind != ErrorKind::None; }
};

// The messages, with their placeholders filled from the arguments.
namespace errors {
// keyName as shown in messages, e.g. "GRO:NameKey"
DataError duplicateKey(const QString& keyName);
// file: display name of the file holding the references, e.g. "Groupper.tps"
DataError restrictedDelete(const QString& file);
// field e.g. "GROPER:PersonNumber", file e.g. "Persons"
DataError fieldContents(const QString& field, const QString& file);
DataError changedByOther();
DataError autoNumber(const QString& engineText);
DataError numberRangeFull(const QString& file);
DataError notFound(const QString& file);
DataError fileAccess(const QString& file, const QString& engineText);
DataError fileCreation(const QString& file, const QString& engineText);
DataError invalidKey(const QString& file);
DataError database(const QString& file, const QString& engineText);
}  // namespace errors

// Display names of the files in messages.
namespace fileName {
inline const char* const Persons = "Persons";
inline const char* const Group = "Group";
inline const char* const GroupPerson = "Groupper.tps";
inline const char* const Attachments = "Attachments";
inline const char* const Settings = "Settings";
inline const char* const SendJournal = "Send journal";
}  // namespace fileName

}  // namespace demo::data
