// A mail to many people, sent as batches of at most N recipients per
// message (servers refuse more recipients than they allow, and one refused
// RCPT fails the whole message). Every batch is one SENDIT of the same mail,
// recorded in the journal before and after, and paced to a number of
// messages per minute. Runs on the thread that calls it: the program calls it
// from its send thread.
#ifndef DEMO_MASSSEND_H
#define DEMO_MASSSEND_H

#include <chrono>
#include <functional>
#include <vector>

#include "BatchJournal.h"
#include "MailContent.h"
#include "Recipient.h"
#include "RefusedRecipients.h"
#include "quillnet/wrenpostclass.h"

namespace demo {

struct SendOptions {
    int recipientsPerMessage = 100;  // below 1 counts as 1
    int messagesPerMinute = 0;       // 0: no pacing
};

struct BatchResult {
    int batchNumber = 0;  // from 1
    RecipientList recipients;
    int resultCode = 0;
    QString errorText;    // GETMAILERROR of the code, empty for 0
    QString serverReply;  // SERVERERRORMESSAGE as the library left it
    // Result 16: the batch went to everyone else; these were refused.
    std::vector<RefusedRecipient> refused;
};

struct SendOutcome {
    qint64 sendId = 0;   // journal id, 0 when not recorded
    int batchCount = 0;  // batches of the whole send
    int sentCount = 0;   // batches of this run that went out
    std::vector<BatchResult> failed;  // in batch order; result 16 counts as failed
    bool notRecorded = false;         // the journal refused the send: nothing went out
};

struct SendProgress {
    int batch = 0;  // from 1
    int batchCount = 0;
    qint32 bytesProcessed = 0;
    qint32 bytesTotal = 0;
    int percent = 0;
};

// 100 / (total / processed) in exact decimal arithmetic, whole number with
// the fraction dropped; 0 when either count is 0 (a division by zero).
int sendPercentage(qint32 bytesProcessed, qint32 bytesTotal);

class MassSend {
public:
    using ProgressListener = std::function<void(const SendProgress&)>;
    using Pause = std::function<void(std::chrono::milliseconds)>;

    // `journal` may be null: the send is then not recorded.
    MassSend(quillnet::WRENPOSTCLASS& mail, BatchJournal* journal);

    // Called on the sending thread before each batch and at each progress call.
    void setProgressListener(ProgressListener listener) { listener_ = std::move(listener); }
    // How the send waits between batches (a sleep of the calling thread by default).
    void setPause(Pause pause) { pause_ = std::move(pause); }

    static std::vector<RecipientList> splitIntoBatches(const RecipientList& recipients, int perMessage);

    // No recipients at all still calls SENDIT once, so the user sees the
    // library's "no recipients" answer.
    SendOutcome send(const MailContent& content, const RecipientList& recipients, const SendOptions& options);

    // Sends failed batches of send `sendId` again under their own numbers.
    // A batch that failed with result 16 goes only to its refused
    // recipients: the others have it already.
    SendOutcome resend(const MailContent& content, qint64 sendId, int batchCount,
                       const std::vector<BatchResult>& failed, const SendOptions& options);

private:
    BatchResult sendBatch(const MailContent& content, qint64 sendId, int batchNumber, int batchCount,
                          const RecipientList& recipients);
    void keepPace(const SendOptions& options);

    quillnet::WRENPOSTCLASS& mail_;
    BatchJournal* journal_;
    ProgressListener listener_;
    Pause pause_;
    std::chrono::steady_clock::time_point lastStart_{};
    bool started_ = false;
};

// The recipients of a failed batch that a resend must reach.
RecipientList recipientsToResend(const BatchResult& failed);

}  // namespace demo

#endif
