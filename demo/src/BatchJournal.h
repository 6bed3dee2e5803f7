// Where a mass send records its batches as it goes: before the first batch
// every batch as pending, then each one as sending and as done. The program
// writes to the database's send journal; a send without a journal (the test
// to the sender) records nothing.
#ifndef DEMO_BATCHJOURNAL_H
#define DEMO_BATCHJOURNAL_H

#include <QString>
#include <QStringList>
#include <vector>

namespace demo {

class BatchJournal {
public:
    virtual ~BatchJournal() = default;
    // Returns the new send's id, or 0 when it could not be recorded (the
    // send then does not start: nothing may go out unrecorded).
    virtual qint64 begin(const QString& subject, const QString& receiverDescription, int recipientsPerMessage,
                         const std::vector<QStringList>& batches) = 0;
    virtual void markSending(qint64 sendId, int batchNumber) = 0;
    virtual void markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply) = 0;
};

}  // namespace demo

#endif
