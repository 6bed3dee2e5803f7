// Gathering the recipients of a mass send from the contact data: every
// person (MailAll) or every member of a group (MailGroup), in batches, with
// the share read so far and a way to stop early. What was gathered before a
// stop is kept: the send goes on with those people.
#ifndef DEMO_RECIPIENTSCAN_H
#define DEMO_RECIPIENTSCAN_H

#include <functional>
#include <memory>

#include "Recipient.h"
#include "demo/data/ContactDatabase.h"

namespace demo {

// Where a scan reads from. Made on the thread that scans (the table handles
// of the data layer belong to one thread).
class RecipientSource {
public:
    virtual ~RecipientSource() = default;
    virtual int total() = 0;  // records to read, for the percentage
    // Appends the recipients of up to `limit` more records and returns how
    // many records it read: 0 at the end.
    virtual int next(int limit, RecipientList& out) = 0;
};

// Every person in number order; persons without an address are read but not added.
std::unique_ptr<RecipientSource> allPersonsSource(const data::ContactDatabase& db, bool lastNameFirst);
// Every member of a group; a membership whose person is missing adds nobody.
std::unique_ptr<RecipientSource> groupMembersSource(const data::ContactDatabase& db, qint16 groupNumber,
                                                    bool lastNameFirst);

using SourceFactory = std::function<std::unique_ptr<RecipientSource>()>;

// Reads `source` to its end. `progress` gets the whole percent read after
// each batch ("0% Completed" before the first) and returns false to stop.
RecipientList gatherRecipients(RecipientSource& source, int batchSize, const std::function<bool(int)>& progress);

}  // namespace demo

#endif
