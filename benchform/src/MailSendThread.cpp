#include "MailSendThread.h"

#include "MailJobs.h"
#include "quillnet/sendreport.h"

namespace benchform {

MailSendThread::MailSendThread(Kind kind, BenchValues values, quillnet::HostServices& host, QObject* parent)
    : QThread(parent), kind_(kind), values_(std::move(values)), host_(host)
{
    qRegisterMetaType<quillnet::ProgressSnapshot>();
}

MailSendThread::~MailSendThread()
{
    // The windows never let a running send go; this only guards against a
    // thread object destroyed under its thread.
    wait();
}

void MailSendThread::run()
{
    quillnet::WRENPOSTCLASS mail(host_);
    if (entry_ != nullptr) mail.setLibraryEntry(entry_);
    int32_t result = 0;

    if (kind_ == Kind::WithProgress) {
        quillnet::ProgressFigures figures;
        mail.setProgressHandler([&](quillnet::WRENPOSTCLASS& sending) {
            figures.update(sending.BYTESPROCESSED, sending.BYTESTOTAL);
            emit progressed(figures.figures());
        });
        fillExtensionMail(mail, values_);
        figures.start();
        emit progressed(figures.figures());
        result = mail.SENDIT();
        figures.finish();
        emit progressed(figures.figures());
    } else {
        fillCodeMail(mail, values_);
        result = mail.SENDIT();
    }

    quillnet::showSendReport(host_, mail, result);
    mail.KILL();
    result_ = result;
}

}  // namespace benchform
