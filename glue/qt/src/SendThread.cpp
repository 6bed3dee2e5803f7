#include "quillnet/qt/SendThread.h"

namespace quillnet::qt {

SendThread::SendThread(HostServices& host, Send send, Progress progress, QObject* parent)
    : QThread(parent), host_(host), send_(std::move(send)), progress_(progress)
{
    qRegisterMetaType<quillnet::ProgressSnapshot>();
}

SendThread::~SendThread()
{
    // The windows never let a running send go; this only guards against a
    // thread object destroyed under its thread.
    wait();
}

void SendThread::run()
{
    WRENPOSTCLASS mail(host_);
    if (entry_ != nullptr) mail.setLibraryEntry(entry_);
    int32_t result = 0;

    if (progress_ == Progress::Figures) {
        ProgressFigures figures;
        mail.setProgressHandler([&](WRENPOSTCLASS& sending) {
            figures.update(sending.BYTESPROCESSED, sending.BYTESTOTAL);
            if (cancel_) sending.USERCANCEL = 1;
            emit progressed(figures.figures());
        });
        figures.start();
        emit progressed(figures.figures());
        result = send_(mail);
        figures.finish();
        emit progressed(figures.figures());
    } else {
        result = send_(mail);
    }

    if (report_) report_(mail, result);
    mail.KILL();
    result_ = result;
}

}  // namespace quillnet::qt
