// SENDEXTENSION: the window "Larkwire Extension Template" that sends one mail
// with every value of the form and shows the bytes sent, the percentage, the
// time taken and the estimate of the whole and of the rest while it goes.
#ifndef BENCHFORM_SENDEXTENSIONWINDOW_H
#define BENCHFORM_SENDEXTENSIONWINDOW_H

#include "SendWindow.h"

class QLabel;
class QProgressBar;

namespace benchform {

class SendExtensionWindow : public SendWindow {
    Q_OBJECT

public:
    SendExtensionWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent = nullptr);

signals:
    // The window has shown these figures.
    void figuresShown(const quillnet::ProgressSnapshot& figures);

private:
    void showFigures(const quillnet::ProgressSnapshot& figures);

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
