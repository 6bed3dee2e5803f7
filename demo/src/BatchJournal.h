// Where a mass send records its batches as it goes: before the first batch
// the mail and every batch as pending, then each one as sending and as done.
// The program writes to the database's send journal; a send without a
// journal (the test to the sender) records nothing.
#ifndef DEMO_BATCHJOURNAL_H
#define DEMO_BATCHJOURNAL_H

#include <QString>
#include <QStringList>
#include <vector>

#include "MailContent.h"

namespace demo {

class BatchJournal {
public:
    virtual ~BatchJournal() = default;
    // Returns the new send's id, or 0 when it could not be recorded (the
    // send then does not start: nothing may go out unrecorded).
    virtual qint64 begin(const MailContent& mail, int recipientsPerMessage,
                         const std::vector<QStringList>& batches) = 0;
    // Each returns false when its row could not be written.
    virtual bool markSending(qint64 sendId, int batchNumber) = 0;
    virtual bool markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply) = 0;
    // Why the last write failed, in the database's words.
    virtual QString failure() const = 0;
};

}  // namespace demo

#endif
