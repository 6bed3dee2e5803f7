// What importing a persons file would do, for the preview, and doing it: in
// one transaction, so the database ends with all of the file or none of it.
#ifndef DEMO_EXCHANGE_IMPORTPLAN_H
#define DEMO_EXCHANGE_IMPORTPLAN_H

#include <functional>

#include "demo/data/ContactDatabase.h"
#include "demo/data/DataError.h"
#include "demo/exchange/PersonRows.h"

namespace demo::exchange {

// A row is a duplicate when its e-mail address (ignoring case) belongs to a
// stored person or to an earlier row of the file. Rows without an address
// are never duplicates.
enum class DuplicateChoice {
    Skip,    // the duplicate row is left out, groups and all
    Update,  // the person takes the row's non-blank fields and joins its groups (none are left)
};

struct ImportCounts {
    int newPersons = 0;
    int duplicatesInDatabase = 0;
    int duplicatesInFile = 0;
    int unusable = 0;
    int newGroups = 0;  // groups the file names that do not exist yet
};

struct ImportResult {
    data::DataError error;   // set when nothing was imported because of a failure
    bool cancelled = false;  // nothing was imported because the progress callback said stop
    int added = 0;
    int updated = 0;
    int skipped = 0;
    int groupsCreated = 0;
    int membershipsAdded = 0;
};

class ImportPlan {
public:
    // Called now and then with the rows done so far; returning false stops
    // the import, and everything is rolled back.
    using Progress = std::function<bool(int done, int total)>;

    // Reads the stored addresses and group names to count what the file would
    // change. A file that could not be read gives a plan with no rows.
    static ImportPlan prepare(ParsedPersons parsed, const data::ContactDatabase& db, data::DataError* error);

    const ParsedPersons& parsed() const { return parsed_; }
    const ImportCounts& counts() const { return counts_; }

    // Imports the rows in one transaction on the calling thread's connection.
    // Duplicates are judged again inside it, so a person added since the
    // preview is updated or skipped rather than failing the import.
    ImportResult apply(const data::ContactDatabase& db, DuplicateChoice choice,
                       const Progress& progress = {}) const;

private:
    ParsedPersons parsed_;
    ImportCounts counts_;
};

}  // namespace demo::exchange

#endif
