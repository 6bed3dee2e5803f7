#include "SendReportWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace demo {

QStringList refusedPersonTexts(const BatchResult& batch)
{
    QStringList texts;
    for (const RefusedRecipient& refused : batch.refused) {
        Recipient person{QString(), refused.address};
        for (const Recipient& r : batch.recipients)
            if (r.address.compare(refused.address, Qt::CaseInsensitive) == 0) person = r;
        texts << person.journalText() + QStringLiteral(": ") + refused.reply;
    }
    return texts;
}

SendReportWindow::SendReportWindow(QWidget* parent)
    : QDialog(parent), summary_(new QLabel(this)), failures_(new QTreeWidget(this)),
      resend_(new QPushButton(tr("Send the failed batches again"), this))
{
    summary_->setWordWrap(true);
    setWindowTitle(tr("Send report"));
    failures_->setHeaderHidden(true);
    failures_->setColumnCount(1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(resend_, QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(tr("&Close"), QDialogButtonBox::RejectRole);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(resend_, &QPushButton::clicked, this, &SendReportWindow::resendRequested);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(failures_);
    layout->addWidget(buttons);
    resize(560, 380);
}

QString batchRanges(const std::vector<int>& numbers)
{
    QStringList parts;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        parts << (i == j ? QString::number(numbers[i])
                         : QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

void SendReportWindow::setOutcome(const SendOutcome& outcome, int sentBefore)
{
    outcome_ = outcome;
    const int sent = sentBefore + outcome.sentCount;
    QString summary;
    if (outcome.journal.when == JournalFailure::When::Begin) {
        summary = journalFailureText(outcome.journal);
    } else {
        summary = tr("%1 of %2 batches sent").arg(sent).arg(outcome.batchCount);
        if (outcome.journal) {
            // Say exactly which went out: every batch not listed as failed or unsent, and apart
            // from those the batches that reached all but the persons the server refused.
            std::vector<int> wentOut, partly;
            for (int n = 1; n <= outcome.batchCount; ++n) {
                const BatchResult* listed = nullptr;
                for (const BatchResult& b : outcome.failed)
                    if (b.batchNumber == n) listed = &b;
                if (!listed)
                    wentOut.push_back(n);
                else if (listed->resultCode == RESULT_SOME_RECIPIENTS_REFUSED)
                    partly.push_back(n);
            }
            summary += QLatin1Char('\n') + journalFailureText(outcome.journal);
            if (!wentOut.empty())
                summary += QLatin1Char('\n') + tr("Batches that went out: %1").arg(batchRanges(wentOut));
            if (!partly.empty())
                summary +=
                    QLatin1Char('\n') +
                    tr("Batches that went out to all but the refused persons: %1").arg(batchRanges(partly));
        }
    }
    summary_->setText(summary);
    failures_->clear();
    for (const BatchResult& batch : outcome.failed) {
        auto* item = new QTreeWidgetItem(failures_);
        if (batch.resultCode < 0)
            item->setText(0, tr("Batch %1: %2").arg(batch.batchNumber).arg(batch.errorText));
        else
            item->setText(0, tr("Batch %1: Error %2 ; %3")
                                 .arg(batch.batchNumber)
                                 .arg(batch.resultCode)
                                 .arg(QString(batch.errorText).replace(QLatin1Char('\r'), QLatin1Char(' '))));
        const QStringList refused = refusedPersonTexts(batch);
        if (!refused.isEmpty()) {
            auto* group = new QTreeWidgetItem(item, {tr("Refused by the server:")});
            for (const QString& text : refused) new QTreeWidgetItem(group, {text});
            group->setExpanded(true);
        } else {
            for (const Recipient& r : batch.recipients) new QTreeWidgetItem(item, {r.journalText()});
        }
        item->setExpanded(true);
    }
    resend_->setEnabled((!outcome.failed.empty() || !outcome.unrecorded.empty()) && outcome.sendId != 0);
}

QString SendReportWindow::summaryText() const
{
    return summary_->text();
}

QStringList SendReportWindow::lines() const
{
    QStringList all;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        all << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < failures_->topLevelItemCount(); ++i) walk(failures_->topLevelItem(i), 0);
    return all;
}

}  // namespace demo
