// SENDEXTENSION: the window "Larkwire Extension Template" that sends one mail
// with every value of the form and shows the bytes sent, the percentage, the
// time taken and the estimate of the whole and of the rest while it goes.
// The send starts when the window is first shown; the window closes itself
// after the report box and cannot be closed while the mail is travelling.
#ifndef BENCHFORM_SENDEXTENSIONWINDOW_H
#define BENCHFORM_SENDEXTENSIONWINDOW_H

#include <QWidget>

#include "MailSendThread.h"

class QLabel;
class QProgressBar;

namespace benchform {

class SendExtensionWindow : public QWidget {
    Q_OBJECT

public:
    SendExtensionWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent = nullptr);

    MailSendThread& sendThread() { return *thread_; }
    bool isSending() const { return thread_->isRunning(); }

signals:
    // The window has shown these figures.
    void figuresShown(const quillnet::ProgressSnapshot& figures);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showFigures(const quillnet::ProgressSnapshot& figures);

    MailSendThread* thread_;
    bool started_ = false;
    QLabel* remaining_;
    QProgressBar* progressBar_;
    QLabel* processed_;
    QLabel* total_;
    QLabel* clock_;
    QLabel* expected_;
    QLabel* percent_;
};

}  // namespace benchform

#endif
