#include "SendCodeWindow.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>

namespace benchform {

SendCodeWindow::SendCodeWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent)
    : QWidget(parent, Qt::Window),
      thread_(new MailSendThread(MailSendThread::Kind::Plain, values, host, this))
{
    setWindowTitle(QStringLiteral("Larkwire Code Template"));
    auto* recipient = new QLabel(QString::fromStdString(values.RECIPIENTADDRESS), this);
    recipient->setObjectName(QStringLiteral("RECIPIENTADDRESS"));
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Sending mail to :"), recipient);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    connect(thread_, &QThread::finished, this, &QWidget::close);
}

void SendCodeWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!started_) {
        started_ = true;
        thread_->start();
    }
}

void SendCodeWindow::closeEvent(QCloseEvent* event)
{
    if (thread_->isRunning()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace benchform
