// SENDCODE: the window "Larkwire Code Template" that sends one mail with part
// of the form's values and no progress display. The send starts when the
// window is first shown; the window closes itself after the report box.
#ifndef BENCHFORM_SENDCODEWINDOW_H
#define BENCHFORM_SENDCODEWINDOW_H

#include <QWidget>

#include "MailSendThread.h"

namespace benchform {

class SendCodeWindow : public QWidget {
    Q_OBJECT

public:
    SendCodeWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent = nullptr);

    MailSendThread& sendThread() { return *thread_; }
    bool isSending() const { return thread_->isRunning(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    MailSendThread* thread_;
    bool started_ = false;
};

}  // namespace benchform

#endif
