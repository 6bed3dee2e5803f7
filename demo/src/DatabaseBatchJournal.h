// The batch journal of a mass send, kept in the contact database's send
// journal so that a restart can still show and resend failed batches.
#ifndef DEMO_DATABASEBATCHJOURNAL_H
#define DEMO_DATABASEBATCHJOURNAL_H

#include "BatchJournal.h"
#include "demo/data/SendJournal.h"

namespace demo {

// Make it on the thread that sends.
class DatabaseBatchJournal : public BatchJournal {
public:
    explicit DatabaseBatchJournal(const data::ContactDatabase& db) : db_(db), journal_(db) {}
    // Made on the send thread and gone with it: its connection goes too.
    ~DatabaseBatchJournal() override { db_.releaseThreadConnection(); }

    // Keeps the mail with fingerprints of its files (read here, on the send
    // thread) and the charset in effect.
    qint64 begin(const MailContent& mail, int recipientsPerMessage,
                 const std::vector<QStringList>& batches) override;
    bool markSending(qint64 sendId, int batchNumber) override;
    bool markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply) override;
    QString failure() const override { return lastError_.text; }

private:
    bool keep(const data::DataError& error);

    const data::ContactDatabase& db_;
    data::SendJournal journal_;
    data::DataError lastError_;
};

}  // namespace demo

#endif
