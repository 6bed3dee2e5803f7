// One worker thread for a window's long jobs (reading files, importing,
// exporting), so the window thread never waits on the database. The thread
// lives as long as the object, so its database connection is made once.
#ifndef DEMO_BACKGROUNDWORKER_H
#define DEMO_BACKGROUNDWORKER_H

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>

class QWidget;

namespace demo {

// What a job sees: where to report its progress, and whether to stop.
class JobProgress : public QObject {
    Q_OBJECT
public:
    // Callable from the worker thread; the signal reaches the window queued.
    void report(int done, int total) { emit progressed(done, total); }
    bool stopRequested() const { return stop_.load(); }
    void requestStop() { stop_.store(true); }

signals:
    void progressed(int done, int total);

private:
    std::atomic<bool> stop_{false};
};

class BackgroundWorker {
public:
    // `atEnd` runs on the worker thread as its last act (to give back what
    // the jobs took there, such as a database connection).
    explicit BackgroundWorker(std::function<void()> atEnd = {});
    ~BackgroundWorker();  // waits for a running job
    BackgroundWorker(const BackgroundWorker&) = delete;
    BackgroundWorker& operator=(const BackgroundWorker&) = delete;

    // Runs `job` on the worker thread while a modal progress dialog titled
    // `label` keeps the window responsive; returns when the job has ended.
    // With `cancellable`, the dialog's "Cancel" asks the job to stop.
    void run(QWidget* parent, const QString& label, bool cancellable,
             const std::function<void(JobProgress&)>& job);
    // While a job runs the window still takes input, so a command must not
    // start a second one over it.
    bool isBusy() const { return busy_; }

private:
    QThread thread_;
    QObject* context_;  // lives on the worker thread; jobs are queued to it
    bool busy_ = false;
};

}  // namespace demo

#endif
