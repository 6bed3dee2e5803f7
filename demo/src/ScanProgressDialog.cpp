#include "ScanProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace demo {

ScanProgressDialog::ScanProgressDialog(QWidget* parent)
    : QDialog(parent), text_(new QLabel(this)), bar_(new QProgressBar(this))
{
    setWindowTitle(tr("Processing Records"));
    setModal(true);
    bar_->setRange(0, 100);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    connect(cancelButton, &QPushButton::clicked, this, &ScanProgressDialog::cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(text_);
    layout->addWidget(cancelButton, 0, Qt::AlignCenter);
    showPercent(0);
}

void ScanProgressDialog::showPercent(int percent)
{
    percent_ = percent;
    bar_->setValue(percent);
    text_->setText(tr("%1% Completed").arg(percent));
}

void ScanProgressDialog::cancel()
{
    cancelled_ = true;
}

RecipientList ScanProgressDialog::gather(const SourceFactory& source, int batchSize)
{
    cancelled_ = false;
    showPercent(0);
    RecipientList gathered;
    QThread* scan = QThread::create([&] {
        auto reader = source();
        gathered = gatherRecipients(*reader, batchSize, [this](int percent) {
            QMetaObject::invokeMethod(this, [this, percent] { showPercent(percent); }, Qt::QueuedConnection);
            return !cancelled_.load();
        });
    });
    connect(scan, &QThread::finished, this, &QDialog::accept);
    scan->start();
    exec();
    scan->wait();
    delete scan;
    return gathered;
}

}  // namespace demo
