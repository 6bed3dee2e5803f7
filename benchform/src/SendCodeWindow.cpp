#include "SendCodeWindow.h"

#include <QFormLayout>
#include <QLabel>

namespace benchform {

SendCodeWindow::SendCodeWindow(const BenchValues& values, quillnet::HostServices& host, QWidget* parent)
    : SendWindow(MailSendThread::Kind::Plain, values, host, parent)
{
    setWindowTitle(QStringLiteral("Larkwire Code Template"));
    auto* recipient = new QLabel(QString::fromStdString(values.RECIPIENTADDRESS), this);
    recipient->setObjectName(QStringLiteral("RECIPIENTADDRESS"));
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Sending mail to :"), recipient);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
}

}  // namespace benchform
