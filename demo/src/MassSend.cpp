#include "MassSend.h"

#include <QObject>
#include <thread>

#include "MailComposer.h"

namespace demo {

int sendPercentage(qint32 bytesProcessed, qint32 bytesTotal)
{
    const quint64 processed = quint32(bytesProcessed), total = quint32(bytesTotal);
    if (processed == 0 || total == 0) return 0;
    // 100 / (total / processed) == 100 * processed / total exactly.
    return int(100 * processed / total);
}

MassSend::MassSend(quillnet::WRENPOSTCLASS& mail, BatchJournal* journal)
    : mail_(mail), journal_(journal), pause_([](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); })
{
}

std::vector<RecipientList> MassSend::splitIntoBatches(const RecipientList& recipients, int perMessage)
{
    const size_t size = size_t(std::max(perMessage, 1));
    std::vector<RecipientList> batches;
    for (size_t i = 0; i < recipients.size(); i += size)
        batches.emplace_back(recipients.begin() + i, recipients.begin() + std::min(recipients.size(), i + size));
    return batches;
}

RecipientList recipientsToResend(const BatchResult& failed)
{
    std::vector<RefusedRecipient> refused = failed.refused;
    if (refused.empty() && failed.resultCode == RESULT_SOME_RECIPIENTS_REFUSED)
        refused = parseRefusedRecipients(failed.serverReply);
    if (refused.empty()) return failed.recipients;
    RecipientList again;
    for (const Recipient& r : failed.recipients)
        for (const RefusedRecipient& x : refused)
            if (r.address.compare(x.address, Qt::CaseInsensitive) == 0) {
                again.push_back(r);
                break;
            }
    return again.empty() ? failed.recipients : again;
}

void MassSend::keepPace(const SendOptions& options)
{
    const auto now = std::chrono::steady_clock::now();
    if (started_ && options.messagesPerMinute > 0) {
        const auto interval = std::chrono::milliseconds(60000 / options.messagesPerMinute);
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastStart_);
        if (waited < interval) pause_(interval - waited);
    }
    started_ = true;
    lastStart_ = std::chrono::steady_clock::now();
}

BatchResult MassSend::sendBatch(const MailContent& content, int batchNumber, int batchCount,
                                const RecipientList& recipients)
{
    composeMail(mail_, content, recipients);
    if (listener_) listener_({batchNumber, batchCount, 0, 0, 0});
    mail_.setProgressHandler([this, batchNumber, batchCount](quillnet::WRENPOSTCLASS& sending) {
        if (listener_)
            listener_({batchNumber, batchCount, sending.BYTESPROCESSED, sending.BYTESTOTAL,
                       sendPercentage(sending.BYTESPROCESSED, sending.BYTESTOTAL)});
    });
    mail_.SERVERERRORMESSAGE[0] = '\0';  // a reply of an earlier batch must not stick to this one
    BatchResult result;
    result.batchNumber = batchNumber;
    result.recipients = recipients;
    result.resultCode = mail_.SENDIT();
    mail_.setProgressHandler({});
    if (result.resultCode != 0) {
        result.errorText = QString::fromUtf8(mail_.GETMAILERROR(uint32_t(result.resultCode)).c_str());
        result.serverReply = QString::fromUtf8(mail_.SERVERERRORMESSAGE);
        if (result.resultCode == RESULT_SOME_RECIPIENTS_REFUSED)
            result.refused = parseRefusedRecipients(result.serverReply);
    }
    return result;
}

void MassSend::stop(SendOutcome& outcome, JournalFailure::When when, int batchNumber)
{
    outcome.journal = {when, batchNumber, journal_->failure()};
    if (journalListener_) journalListener_(outcome.journal);
}

void MassSend::sendBatches(const MailContent& content, const std::vector<Batch>& batches,
                           SendOutcome& outcome, const SendOptions& options)
{
    const bool recorded = journal_ && outcome.sendId;
    for (size_t i = 0; i < batches.size(); ++i) {
        const Batch& batch = batches[i];
        keepPace(options);
        if (recorded && !journal_->markSending(outcome.sendId, batch.number)) {
            stop(outcome, JournalFailure::When::BeforeBatch, batch.number);
        } else {
            BatchResult result = sendBatch(content, batch.number, outcome.batchCount, batch.recipients);
            const bool kept = !recorded || journal_->markDone(outcome.sendId, batch.number, result.resultCode,
                                                              result.serverReply);
            if (!kept) outcome.unrecorded.push_back(result);
            if (result.resultCode == 0)
                ++outcome.sentCount;
            else
                outcome.failed.push_back(std::move(result));
            if (kept) continue;
            stop(outcome, JournalFailure::When::AfterBatch, batch.number);
            ++i;
        }
        // Whatever is left has not gone out and is reported as such.
        for (; i < batches.size(); ++i) {
            BatchResult notSent;
            notSent.batchNumber = batches[i].number;
            notSent.recipients = batches[i].recipients;
            notSent.resultCode = -1;
            notSent.errorText = QObject::tr("Not sent");
            outcome.failed.push_back(std::move(notSent));
        }
    }
}

SendOutcome MassSend::send(const MailContent& content, const RecipientList& recipients, const SendOptions& options)
{
    SendOutcome outcome;
    std::vector<RecipientList> lists = splitIntoBatches(recipients, options.recipientsPerMessage);
    if (lists.empty()) {
        outcome.batchCount = 1;
        BatchResult result = sendBatch(content, 1, 1, {});
        if (result.resultCode == 0) ++outcome.sentCount; else outcome.failed.push_back(result);
        return outcome;
    }
    outcome.batchCount = int(lists.size());
    if (journal_) {
        std::vector<QStringList> texts;
        texts.reserve(lists.size());
        for (const RecipientList& batch : lists) {
            QStringList list;
            for (const Recipient& r : batch) list << r.journalText();
            texts.push_back(list);
        }
        outcome.sendId = journal_->begin(content, std::max(options.recipientsPerMessage, 1), texts);
        if (!outcome.sendId) {
            stop(outcome, JournalFailure::When::Begin, 0);
            return outcome;
        }
    }
    std::vector<Batch> batches;
    for (size_t i = 0; i < lists.size(); ++i) batches.push_back({int(i) + 1, std::move(lists[i])});
    sendBatches(content, batches, outcome, options);
    return outcome;
}

SendOutcome MassSend::resend(const MailContent& content, const SendOutcome& earlier,
                             const SendOptions& options)
{
    SendOutcome outcome;
    outcome.sendId = earlier.sendId;
    outcome.batchCount = earlier.batchCount;
    if (journal_ && outcome.sendId) {
        for (size_t i = 0; i < earlier.unrecorded.size(); ++i) {
            const BatchResult& r = earlier.unrecorded[i];
            if (journal_->markDone(outcome.sendId, r.batchNumber, r.resultCode, r.serverReply)) continue;
            // Still no journal: nothing goes out, and the report stays as it was.
            outcome.failed = earlier.failed;
            outcome.unrecorded.assign(earlier.unrecorded.begin() + long(i), earlier.unrecorded.end());
            stop(outcome, JournalFailure::When::AfterBatch, r.batchNumber);
            return outcome;
        }
    }
    std::vector<Batch> batches;
    for (const BatchResult& batch : earlier.failed)
        batches.push_back({batch.batchNumber, recipientsToResend(batch)});
    sendBatches(content, batches, outcome, options);
    return outcome;
}

QString journalFailureText(const JournalFailure& failure)
{
    switch (failure.when) {
        case JournalFailure::When::Never:
            return QString();
        case JournalFailure::When::Begin:
            return QObject::tr("The send could not be recorded in the send journal, so nothing was sent. %1")
                .arg(failure.reason);
        case JournalFailure::When::BeforeBatch:
            return QObject::tr(
                       "The send journal could not record batch %1 before it went out, so batch %1 and "
                       "the batches after it were not sent. %2")
                .arg(failure.batchNumber)
                .arg(failure.reason);
        case JournalFailure::When::AfterBatch:
            return QObject::tr(
                       "The send journal could not record the result of batch %1, so the send stopped "
                       "after it. %2")
                .arg(failure.batchNumber)
                .arg(failure.reason);
    }
    return QString();
}

}  // namespace demo
