// One send of the test form on a thread of its own: it owns the send's
// WRENPOSTCLASS object and progress figures, so sends started one after the
// other never share them. The figures reach the window through queued
// signals; the report box is shown from this thread through the host
// services, which hold the thread until the user has answered.
#ifndef BENCHFORM_MAILSENDTHREAD_H
#define BENCHFORM_MAILSENDTHREAD_H

#include <QThread>
#include <atomic>

#include "BenchValues.h"
#include "quillnet/hostservices.h"
#include "quillnet/progressfigures.h"
#include "quillnet/wrenpostclass.h"

Q_DECLARE_METATYPE(quillnet::ProgressSnapshot)

namespace benchform {

class MailSendThread : public QThread {
    Q_OBJECT

public:
    enum class Kind {
        WithProgress,  // every form value, a progress procedure, figures
        Plain          // part of the values, no progress, message type 6
    };

    // `values` are copied: the send uses the form's values as they were when
    // it started. `host` must outlive the thread.
    MailSendThread(Kind kind, BenchValues values, quillnet::HostServices& host, QObject* parent = nullptr);
    ~MailSendThread() override;

    // Another entry point than the library's, for checks that deliver nothing.
    void setLibraryEntry(quillnet::WRENPOSTCLASS::LibraryEntry entry) { entry_ = entry; }

    // The result of SENDIT once the thread has finished, else -1.
    int result() const { return result_; }

signals:
    // New figures of a send with progress: all 0 before SENDIT, the live
    // figures at each progress call, the finished state after it.
    void progressed(const quillnet::ProgressSnapshot& figures);

protected:
    void run() override;

private:
    Kind kind_;
    BenchValues values_;
    quillnet::HostServices& host_;
    quillnet::WRENPOSTCLASS::LibraryEntry entry_ = nullptr;
    std::atomic<int> result_{-1};
};

}  // namespace benchform

#endif
