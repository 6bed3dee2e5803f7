#include "SendWindow.h"

#include <QCloseEvent>

namespace benchform {

SendWindow::SendWindow(MailSendThread::Kind kind, const BenchValues& values, quillnet::HostServices& host,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), thread_(new MailSendThread(kind, values, host, this))
{
    connect(thread_, &QThread::finished, this, &QWidget::close);
}

void SendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!started_) {
        started_ = true;
        thread_->start();
    }
}

void SendWindow::closeEvent(QCloseEvent* event)
{
    if (thread_->isRunning()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace benchform
