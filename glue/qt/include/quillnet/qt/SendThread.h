// One mail sent on a thread of its own. The thread owns the send's
// WRENPOSTCLASS object and its progress figures, so sends started one after
// the other never share them; the figures reach the window through queued
// signals, and whatever the send shows (its report box) goes through the host
// services, which hold the thread until the user has answered.
#ifndef QUILLNET_QT_SENDTHREAD_H
#define QUILLNET_QT_SENDTHREAD_H

#include <QMetaType>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>

#include "quillnet/hostservices.h"
#include "quillnet/progressfigures.h"
#include "quillnet/wrenpostclass.h"

Q_DECLARE_METATYPE(quillnet::ProgressSnapshot)

namespace quillnet::qt {

class SendThread : public QThread {
    Q_OBJECT

public:
    // Fills the object with one mail's values, calls its SENDIT and returns
    // the result. Runs on the send thread.
    using Send = std::function<int32_t(WRENPOSTCLASS& mail)>;
    // Runs on the send thread after Send, before the object is KILLed: the
    // place for the report box.
    using Report = std::function<void(WRENPOSTCLASS& mail, int32_t result)>;

    enum class Progress {
        Figures,  // a progress procedure and the progressed() signal
        None      // neither: the library sends without reporting
    };

    // `host` must outlive the thread.
    SendThread(HostServices& host, Send send, Progress progress, QObject* parent = nullptr);
    ~SendThread() override;

    void setReport(Report report) { report_ = std::move(report); }
    // Another entry point than the library's, for checks that deliver nothing.
    void setLibraryEntry(WRENPOSTCLASS::LibraryEntry entry) { entry_ = entry; }

    // Asks the running send to stop at its next progress call (only sends
    // with Progress::Figures have one).
    void requestCancel() { cancel_ = true; }

    // The result of the send once the thread has finished, else -1.
    int result() const { return result_; }

signals:
    // With Progress::Figures: all 0 before the send, the live figures at each
    // progress call, the finished state after it.
    void progressed(const quillnet::ProgressSnapshot& figures);

protected:
    void run() override;

private:
    HostServices& host_;
    Send send_;
    Progress progress_;
    Report report_;
    WRENPOSTCLASS::LibraryEntry entry_ = nullptr;
    std::atomic<bool> cancel_{false};
    std::atomic<int> result_{-1};
};

}  // namespace quillnet::qt

#endif
