#pragma once
// The program's defaults: only the first record (in physical order) counts.
#include <optional>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::data {

class SettingsTable {
public:
    explicit SettingsTable(const ContactDatabase& db);
    std::optional<Settings> first() const;  // none when the file is empty
    DataError insertBlank();                // the defaults form adds one to an empty file
    // Writes the first record; ChangedByOther when it no longer equals asRead.
    DataError update(const Settings& asRead, const Settings& changed, Settings* nowStored = nullptr);
    DataError error() const;  // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
