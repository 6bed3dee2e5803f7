#pragma once
// The mass-send journal: what went out, written before and after each batch, so that after a
// crash nothing is lost or sent twice.
#include <QDateTime>
#include <QStringList>
#include <vector>

#include "demo/data/ContactDatabase.h"

namespace demo::data {

struct SendRecord {
    qint64 id = 0;
    QDateTime started;
    QString subject, receiverDescription;
    int recipientsPerMessage = 100;
    int batchCount = 0;
    // The mail itself as the program encoded it, so that a resend after a restart sends the
    // same mail; empty for sends recorded before the journal kept it.
    QString mail;
};

struct BatchRecord {
    qint64 sendId = 0;
    int batchNumber = 0;     // 1, 2, ...
    QStringList recipients;  // "Name <address>" or address
    enum class State { Pending, Sending, Sent, Failed } state = State::Pending;
    int resultCode = -1;  // -1 until done
    QString serverReply;
    QDateTime finished;  // invalid until done
};

class SendJournal {
public:
    explicit SendJournal(const ContactDatabase& db);
    // The send with all its batches Pending, in one transaction; fills send.id and send.batchCount.
    DataError begin(SendRecord& send, const std::vector<QStringList>& batches);
    DataError markSending(qint64 sendId, int batchNumber);
    // Sent when resultCode is 0, else Failed.
    DataError markDone(qint64 sendId, int batchNumber, int resultCode, const QString& serverReply);
    std::vector<SendRecord> sends() const;                  // newest first
    std::vector<BatchRecord> batches(qint64 sendId) const;  // in batch order
    DataError error() const;                                // failure of the last read, if any

private:
    const ContactDatabase& db_;
    mutable DataError lastError_;
};

}  // namespace demo::data
