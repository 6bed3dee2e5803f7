#pragma once
// The files attached to every mail; the same file may be listed twice.
#include <vector>

#include "demo/data/ContactDatabase.h"
#include "demo/data/Records.h"

namespace demo::data {

class AttachmentsTable {
public:
    explicit AttachmentsTable(const ContactDatabase& db);
    DataError insert(Attachment& a);  // fills a.id; icon stays as given (0)
    DataError remove(qint64 id);
    // By file name (case-insensitive), then id; blank names left out, as the file-name key does.
    std::vector<Attachment> all() const;
    DataError error() const;  // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
