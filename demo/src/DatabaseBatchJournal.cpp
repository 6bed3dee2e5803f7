#include "DatabaseBatchJournal.h"

#include "StoredMail.h"

namespace demo {

bool DatabaseBatchJournal::keep(const data::DataError& error)
{
    if (error) lastError_ = error;
    return !error;
}

qint64 DatabaseBatchJournal::begin(const MailContent& mail, int recipientsPerMessage,
                                   const std::vector<QStringList>& batches)
{
    data::SendRecord send;
    send.started = QDateTime::currentDateTimeUtc();
    send.subject = mail.subject;
    send.receiverDescription = mail.receiverDescription;
    send.recipientsPerMessage = recipientsPerMessage;
    send.batchCount = int(batches.size());
    send.mail = storedMailText(storedMailOf(mail));
    return keep(journal_.begin(send, batches)) ? send.id : 0;
}

bool DatabaseBatchJournal::markSending(qint64 sendId, int batchNumber)
{
    return keep(journal_.markSending(sendId, batchNumber));
}

bool DatabaseBatchJournal::markDone(qint64 sendId, int batchNumber, int resultCode,
                                    const QString& serverReply)
{
    return keep(journal_.markDone(sendId, batchNumber, resultCode, serverReply));
}

}  // namespace demo
