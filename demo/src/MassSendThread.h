// A mass send on a thread of its own, so the window never waits on the
// library. The glue object is lent to the thread for the send; the journal
// is made on the thread, as the data layer's handles belong to one thread.
#ifndef DEMO_MASSSENDTHREAD_H
#define DEMO_MASSSENDTHREAD_H

#include <QThread>
#include <functional>
#include <memory>

#include "MassSend.h"

Q_DECLARE_METATYPE(demo::SendProgress)

namespace demo {

class MassSendThread : public QThread {
    Q_OBJECT

public:
    using JournalFactory = std::function<std::unique_ptr<BatchJournal>()>;
    using Work = std::function<SendOutcome(MassSend&)>;

    // `mail` must not be used elsewhere until the thread has finished.
    // `journal` may be empty: the send is then not recorded.
    MassSendThread(quillnet::WRENPOSTCLASS& mail, JournalFactory journal, Work work, QObject* parent = nullptr);

    // The current folder of the process during the send, when not empty.
    // The library finds an HTML file's pictures relative to the current
    // folder, and a user keeps them beside the HTML file.
    void setWorkingFolder(const QString& folder) { workingFolder_ = folder; }
    // MM_CHARSET during the send, when not empty (a resend writes the mail in
    // the charset it was first sent in); the earlier value comes back after.
    void setCharset(const QByteArray& charset) { charset_ = charset; }

    // Valid once the thread has finished.
    const SendOutcome& outcome() const { return outcome_; }

signals:
    void progressed(const demo::SendProgress& progress);
    // The journal could not be written and the send stopped: why, for the user.
    void journalFailed(const QString& text);

protected:
    void run() override;

private:
    quillnet::WRENPOSTCLASS& mail_;
    JournalFactory journal_;
    Work work_;
    QString workingFolder_;
    QByteArray charset_;
    SendOutcome outcome_;
};

}  // namespace demo

#endif
