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
    int resultCode = 0;   // -1: not sent at all
    QString errorText;    // GETMAILERROR of the code, empty for 0
    QString serverReply;  // SERVERERRORMESSAGE as the library left it
    // Result 16: the batch went to everyone else; these were refused.
    std::vector<RefusedRecipient> refused;
    // Cut off while it was being sent (a crash or a lost journal): the
    // server may have taken it, so a resend must ask first.
    bool mayHaveGoneOut = false;
};

// Where the journal let a send down. The send stops there: no batch goes
// out that the journal has not recorded as going out, and after a result the
// journal could not take, nothing more is sent.
struct JournalFailure {
    enum class When { Never, Begin, BeforeBatch, AfterBatch };
    When when = When::Never;
    int batchNumber = 0;  // the batch whose row could not be written
    QString reason;       // the database's words
    explicit operator bool() const { return when != When::Never; }
};

// One or two sentences for the user: what could not be written, what was
// therefore not sent, and the database's reason.
QString journalFailureText(const JournalFailure& failure);

struct SendOutcome {
    qint64 sendId = 0;   // journal id, 0 when not recorded
    int batchCount = 0;  // batches of the whole send
    int sentCount = 0;   // batches of this run that went out
    // In batch order: batches that failed (result 16 counts as failed) and
    // batches not sent at all (result -1), for instance after the journal failed.
    std::vector<BatchResult> failed;
    // Results, sent or failed, that the journal could not take; a resend
    // writes them before it sends anything.
    std::vector<BatchResult> unrecorded;
    JournalFailure journal;
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
    using JournalListener = std::function<void(const JournalFailure&)>;

    // `journal` may be null: the send is then not recorded.
    MassSend(quillnet::WRENPOSTCLASS& mail, BatchJournal* journal);

    // Called on the sending thread before each batch and at each progress call.
    void setProgressListener(ProgressListener listener) { listener_ = std::move(listener); }
    // Called on the sending thread when the journal fails and the send stops.
    void setJournalListener(JournalListener listener) { journalListener_ = std::move(listener); }
    // How the send waits between batches (a sleep of the calling thread by default).
    void setPause(Pause pause) { pause_ = std::move(pause); }

    static std::vector<RecipientList> splitIntoBatches(const RecipientList& recipients, int perMessage);

    // No recipients at all still calls SENDIT once, so the user sees the
    // library's "no recipients" answer.
    SendOutcome send(const MailContent& content, const RecipientList& recipients, const SendOptions& options);

    // Sends the failed batches of `earlier` again under their own numbers,
    // after recording the results the journal could not take then. A batch
    // that failed with result 16 goes only to its refused recipients: the
    // others have it already.
    SendOutcome resend(const MailContent& content, const SendOutcome& earlier, const SendOptions& options);

private:
    struct Batch {
        int number;
        RecipientList recipients;
    };
    void sendBatches(const MailContent& content, const std::vector<Batch>& batches, SendOutcome& outcome,
                     const SendOptions& options);
    BatchResult sendBatch(const MailContent& content, int batchNumber, int batchCount,
                          const RecipientList& recipients);
    void keepPace(const SendOptions& options);
    void stop(SendOutcome& outcome, JournalFailure::When when, int batchNumber);

    quillnet::WRENPOSTCLASS& mail_;
    BatchJournal* journal_;
    ProgressListener listener_;
    JournalListener journalListener_;
    Pause pause_;
    std::chrono::steady_clock::time_point lastStart_{};
    bool started_ = false;
};

// The recipients of a failed batch that a resend must reach.
RecipientList recipientsToResend(const BatchResult& failed);

}  // namespace demo

#endif
