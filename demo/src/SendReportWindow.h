// What a mass send achieved: how many of its batches went out, each failed
// batch with its recipients and error text, the persons a server refused
// (by name and address), why the send stopped when its journal could not be
// written, and a button that sends the failed batches again.
#ifndef DEMO_SENDREPORTWINDOW_H
#define DEMO_SENDREPORTWINDOW_H

#include <QDialog>

#include "MassSend.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace demo {

class SendReportWindow : public QDialog {
    Q_OBJECT

public:
    explicit SendReportWindow(QWidget* parent = nullptr);

    // `sentBefore`: batches of the same send that went out in earlier runs.
    void setOutcome(const SendOutcome& outcome, int sentBefore = 0);
    const SendOutcome& outcome() const { return outcome_; }

    QString summaryText() const;
    QStringList lines() const;  // every row of the failure list, children indented by two blanks
    QPushButton* resendButton() const { return resend_; }

signals:
    void resendRequested();

private:
    SendOutcome outcome_;
    QLabel* summary_;
    QTreeWidget* failures_;
    QPushButton* resend_;
};

// Batch numbers as "1-3, 5".
QString batchRanges(const std::vector<int>& numbers);

// "Name <address>" of each refused person of the batch, with the server's reply.
QStringList refusedPersonTexts(const BatchResult& batch);

}  // namespace demo

#endif
