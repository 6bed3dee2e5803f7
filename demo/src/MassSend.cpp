#include "MassSend.h"

#include "MailComposer.h"

#include <thread>

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

BatchResult MassSend::sendBatch(const MailContent& content, qint64 sendId, int batchNumber, int batchCount,
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
    if (journal_ && sendId) journal_->markSending(sendId, batchNumber);
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
    if (journal_ && sendId) journal_->markDone(sendId, batchNumber, result.resultCode, result.serverReply);
    return result;
}

SendOutcome MassSend::send(const MailContent& content, const RecipientList& recipients, const SendOptions& options)
{
    SendOutcome outcome;
    std::vector<RecipientList> batches = splitIntoBatches(recipients, options.recipientsPerMessage);
    if (batches.empty()) {
        outcome.batchCount = 1;
        BatchResult result = sendBatch(content, 0, 1, 1, {});
        if (result.resultCode == 0) ++outcome.sentCount; else outcome.failed.push_back(result);
        return outcome;
    }
    outcome.batchCount = int(batches.size());
    if (journal_) {
        std::vector<QStringList> texts;
        texts.reserve(batches.size());
        for (const RecipientList& batch : batches) {
            QStringList list;
            for (const Recipient& r : batch) list << r.journalText();
            texts.push_back(list);
        }
        outcome.sendId = journal_->begin(content.subject, content.receiverDescription,
                                         std::max(options.recipientsPerMessage, 1), texts);
        if (!outcome.sendId) {
            outcome.notRecorded = true;
            return outcome;
        }
    }
    for (size_t i = 0; i < batches.size(); ++i) {
        keepPace(options);
        BatchResult result = sendBatch(content, outcome.sendId, int(i) + 1, outcome.batchCount, batches[i]);
        if (result.resultCode == 0) ++outcome.sentCount; else outcome.failed.push_back(std::move(result));
    }
    return outcome;
}

SendOutcome MassSend::resend(const MailContent& content, qint64 sendId, int batchCount,
                             const std::vector<BatchResult>& failed, const SendOptions& options)
{
    SendOutcome outcome;
    outcome.sendId = sendId;
    outcome.batchCount = batchCount;
    for (const BatchResult& batch : failed) {
        keepPace(options);
        BatchResult result =
            sendBatch(content, sendId, batch.batchNumber, batchCount, recipientsToResend(batch));
        if (result.resultCode == 0) ++outcome.sentCount; else outcome.failed.push_back(std::move(result));
    }
    return outcome;
}

}  // namespace demo
