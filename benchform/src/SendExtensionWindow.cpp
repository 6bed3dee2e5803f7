#include "SendExtensionWindow.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>

namespace benchform {
namespace {

QLabel* displayField(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString duration(int64_t hundredths)
{
    return QString::fromStdString(quillnet::ProgressFigures::formatDuration(hundredths));
}

}  // namespace

SendExtensionWindow::SendExtensionWindow(const BenchValues& values, quillnet::HostServices& host,
                                         QWidget* parent)
    : SendWindow(MailSendThread::Kind::WithProgress, values, host, parent)
{
    setWindowTitle(QStringLiteral("Larkwire Extension Template"));
    remaining_ = displayField("MAILREMAINING", this);
    auto* recipient = displayField("RECIPIENTADDRESS", this);
    recipient->setText(QString::fromStdString(values.RECIPIENTADDRESS));
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("MAILPROGRESSBAR"));
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);  // the number has its own field below
    processed_ = displayField("MAILPROCESSED", this);
    total_ = displayField("MAILTOTAL", this);
    clock_ = displayField("MAILCLOCK", this);
    expected_ = displayField("MAILEXPECTED", this);
    percent_ = displayField("MAILPROGRESS", this);

    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("time remaining :"), remaining_);
    layout->addRow(QStringLiteral("Sending mail to :"), recipient);
    layout->addRow(progressBar_);
    layout->addRow(QStringLiteral("Processed"), processed_);
    layout->addRow(QStringLiteral("Total"), total_);
    layout->addRow(QStringLiteral("time sending :"), clock_);
    layout->addRow(QStringLiteral("time calculated :"), expected_);
    layout->addRow(percent_);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    showFigures(quillnet::ProgressSnapshot());
    connect(&sendThread(), &MailSendThread::progressed, this, &SendExtensionWindow::showFigures);
}

void SendExtensionWindow::showFigures(const quillnet::ProgressSnapshot& figures)
{
    remaining_->setText(duration(figures.MAILREMAINING));
    progressBar_->setValue(figures.MAILPROGRESS);
    processed_->setText(QString::number(figures.MAILPROCESSED));
    total_->setText(QString::number(figures.MAILTOTAL));
    clock_->setText(duration(figures.MAILCLOCK));
    expected_->setText(duration(figures.MAILEXPECTED));
    percent_->setText(QString::number(figures.MAILPROGRESS));
    emit figuresShown(figures);
}

}  // namespace benchform
