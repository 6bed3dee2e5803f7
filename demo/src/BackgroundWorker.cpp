#include "BackgroundWorker.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

namespace demo {

BackgroundWorker::BackgroundWorker(std::function<void()> atEnd) : context_(new QObject)
{
    context_->moveToThread(&thread_);
    if (atEnd)
        QObject::connect(&thread_, &QThread::finished, context_, std::move(atEnd), Qt::DirectConnection);
    QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("persons exchange"));
    thread_.start();
}

BackgroundWorker::~BackgroundWorker()
{
    thread_.quit();
    thread_.wait();
}

void BackgroundWorker::run(QWidget* parent, const QString& label, bool cancellable,
                           const std::function<void(JobProgress&)>& job)
{
    JobProgress progress;
    QProgressDialog dialog(label, cancellable ? QObject::tr("Cancel") : QString(), 0, 0, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // Short jobs end before the dialog would flash up.
    QTimer::singleShot(300, &dialog, [&dialog] { dialog.show(); });
    QObject::connect(&progress, &JobProgress::progressed, &dialog, [&dialog](int done, int total) {
        dialog.setMaximum(total);
        dialog.setValue(done);
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&progress] { progress.requestStop(); });

    QEventLoop loop;
    busy_ = true;
    QMetaObject::invokeMethod(context_, [&] {
        job(progress);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    busy_ = false;
}

}  // namespace demo
