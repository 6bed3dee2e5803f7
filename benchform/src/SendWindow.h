// What both send windows share: the send thread each owns, started when the
// window is first shown, and a close that waits until the mail has gone (a
// send cannot be cancelled from these windows). A window closes itself once
// its send is over and the report box has been answered.
#ifndef BENCHFORM_SENDWINDOW_H
#define BENCHFORM_SENDWINDOW_H

#include <QWidget>

#include "MailSendThread.h"

namespace benchform {

class SendWindow : public QWidget {
    Q_OBJECT

public:
    MailSendThread& sendThread() { return *thread_; }

protected:
    SendWindow(MailSendThread::Kind kind, const BenchValues& values, quillnet::HostServices& host,
               QWidget* parent);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    MailSendThread* thread_;
    bool started_ = false;
};

}  // namespace benchform

#endif
