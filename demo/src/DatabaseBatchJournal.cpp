#include "DatabaseBatchJournal.h"

namespace demo {

void DatabaseBatchJournal::keep(const data::DataError& error)
{
    if (error && !firstError_) firstError_ = error;
}

qint64 DatabaseBatchJournal::begin(const QString& subject, const QString& receiverDescription,
                                   int recipientsPerMessage, const std::vector<QStringList>& batches)
{
    data::SendRecord send;
    send.started = QDateTime::currentDateTimeUtc();
    send.subject = subject;
    send.receiverDescription = receiverDescription;
    send.recipientsPerMessage = recipientsPerMessage;
    send.batchCount = int(batches.size());
    const data::DataError error = journal_.begin(send, batches);
    keep(error);
    return error ? 0 : send.id;
}

void DatabaseBatchJournal::markSending(qint64 sendId, int batchNumber)
{
    keep(journal_.markSending(sendId, batchNumber));
}

void DatabaseBatchJournal::markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply)
{
    keep(journal_.markDone(sendId, batchNumber, resultCode, serverReply));
}

}  // namespace demo
