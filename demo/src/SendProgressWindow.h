// "Progress sending email": the bar, the byte counters and the batch of a
// mass send while it runs on its send thread, and why it stopped when the
// send journal could not be written. No cancel: the send runs to its end, and
// the window closes itself then.
#ifndef DEMO_SENDPROGRESSWINDOW_H
#define DEMO_SENDPROGRESSWINDOW_H

#include <QDialog>

#include "MassSendThread.h"

class QLabel;
class QProgressBar;

namespace demo {

class SendProgressWindow : public QDialog {
    Q_OBJECT

public:
    explicit SendProgressWindow(QWidget* parent = nullptr);

    // Starts `send`, shows the window until it has finished and returns its outcome.
    SendOutcome run(MassSendThread& send);

    int percent() const;
    QString totalBytesText() const;
    QString processedBytesText() const;
    QString batchText() const;
    QString journalText() const;  // empty unless the journal failed

public slots:
    void show(const demo::SendProgress& progress);
    void showJournalFailure(const QString& text);

protected:
    void reject() override {}  // the close box and Escape do nothing while the mail goes out

private:
    QProgressBar* bar_;
    QLabel* total_;
    QLabel* processed_;
    QLabel* batch_;
    QLabel* journal_;
};

}  // namespace demo

#endif
