// The progress window of a recipient scan ("Processing Records"): the scan
// runs on a thread of its own while the window shows the percent read and
// offers "Cancel". A cancel keeps what was gathered until then.
#ifndef DEMO_SCANPROGRESSDIALOG_H
#define DEMO_SCANPROGRESSDIALOG_H

#include <QDialog>
#include <atomic>

#include "RecipientScan.h"

class QLabel;
class QProgressBar;

namespace demo {

class ScanProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit ScanProgressDialog(QWidget* parent = nullptr);

    // Shows the window until the scan has ended; the window thread keeps
    // handling events meanwhile. `batchSize` records are read per step.
    RecipientList gather(const SourceFactory& source, int batchSize = 500);

    int percent() const { return percent_; }

public slots:
    void cancel();  // the scan stops after the batch it is reading

protected:
    void reject() override { cancel(); }  // Escape or the close box cancel too; the scan closes the window

private:
    void showPercent(int percent);

    QLabel* text_;
    QProgressBar* bar_;
    std::atomic<bool> cancelled_{false};
    int percent_ = 0;
};

}  // namespace demo

#endif
