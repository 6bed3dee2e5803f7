#include "SendProgressWindow.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>

namespace demo {

namespace {

// The counters have room for 14 digits.
QString counterText(qint32 value)
{
    return QString::number(quint32(value)).right(14);
}

}  // namespace

SendProgressWindow::SendProgressWindow(QWidget* parent)
    : QDialog(parent),
      bar_(new QProgressBar(this)),
      total_(new QLabel(this)),
      processed_(new QLabel(this)),
      batch_(new QLabel(this)),
      journal_(new QLabel(this))
{
    setWindowTitle(tr("Progress sending email"));
    setModal(true);
    bar_->setRange(0, 100);
    const int digits = fontMetrics().horizontalAdvance(QStringLiteral("00000000000000"));
    for (QLabel* counter : {total_, processed_}) {
        counter->setMinimumWidth(digits);
        counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    auto* layout = new QFormLayout(this);
    layout->addRow(bar_);
    layout->addRow(tr("Total bytes:"), total_);
    layout->addRow(tr("Processed bytes:"), processed_);
    layout->addRow(batch_);
    journal_->setWordWrap(true);
    journal_->setStyleSheet(QStringLiteral("color: #b00000"));
    journal_->hide();
    layout->addRow(journal_);
    show(SendProgress{});
}

void SendProgressWindow::show(const SendProgress& progress)
{
    bar_->setValue(progress.percent);
    total_->setText(counterText(progress.bytesTotal));
    processed_->setText(counterText(progress.bytesProcessed));
    batch_->setText(progress.batchCount > 1 ? tr("Batch %1 of %2").arg(progress.batch).arg(progress.batchCount)
                                            : QString());
}

SendOutcome SendProgressWindow::run(MassSendThread& send)
{
    connect(&send, &MassSendThread::progressed, this, &SendProgressWindow::show, Qt::QueuedConnection);
    connect(&send, &MassSendThread::journalFailed, this, &SendProgressWindow::showJournalFailure,
            Qt::QueuedConnection);
    connect(&send, &QThread::finished, this, &QDialog::accept);
    send.start();
    exec();
    send.wait();
    disconnect(&send, nullptr, this, nullptr);
    return send.outcome();
}

int SendProgressWindow::percent() const
{
    return bar_->value();
}
QString SendProgressWindow::totalBytesText() const
{
    return total_->text();
}
QString SendProgressWindow::processedBytesText() const
{
    return processed_->text();
}
QString SendProgressWindow::batchText() const
{
    return batch_->text();
}
QString SendProgressWindow::journalText() const
{
    return journal_->text();
}

void SendProgressWindow::showJournalFailure(const QString& text)
{
    journal_->setText(text);
    journal_->show();
}

}  // namespace demo
