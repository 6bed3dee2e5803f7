// One send of the test form: the form's values put into the mail on the send
// thread, and the report box once SENDIT has returned.
#ifndef BENCHFORM_MAILSENDTHREAD_H
#define BENCHFORM_MAILSENDTHREAD_H

#include "BenchValues.h"
#include "quillnet/qt/SendThread.h"

namespace benchform {

class MailSendThread : public quillnet::qt::SendThread {
    Q_OBJECT

public:
    enum class Kind {
        WithProgress,  // every form value, a progress procedure, figures
        Plain          // part of the values, no progress, message type 6
    };

    // `values` are copied: the send uses the form's values as they were when
    // it started. `host` must outlive the thread.
    MailSendThread(Kind kind, BenchValues values, quillnet::HostServices& host, QObject* parent = nullptr);
};

}  // namespace benchform

#endif
