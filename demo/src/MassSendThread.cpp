#include "MassSendThread.h"

#include <QDir>

namespace demo {

MassSendThread::MassSendThread(quillnet::WRENPOSTCLASS& mail, JournalFactory journal, Work work, QObject* parent)
    : QThread(parent), mail_(mail), journal_(std::move(journal)), work_(std::move(work))
{
    qRegisterMetaType<demo::SendProgress>();
}

void MassSendThread::run()
{
    std::unique_ptr<BatchJournal> journal = journal_ ? journal_() : nullptr;
    MassSend send(mail_, journal.get());
    send.setProgressListener([this](const SendProgress& progress) { emit progressed(progress); });
    send.setJournalListener(
        [this](const JournalFailure& failure) { emit journalFailed(journalFailureText(failure)); });
    const QString before = QDir::currentPath();
    const bool moved = !workingFolder_.isEmpty() && QDir::setCurrent(workingFolder_);
    const bool hadCharset = qEnvironmentVariableIsSet("MM_CHARSET");
    const QByteArray charsetBefore = qgetenv("MM_CHARSET");
    const bool recharset = !charset_.isEmpty() && charset_ != charsetBefore;
    if (recharset) qputenv("MM_CHARSET", charset_);
    outcome_ = work_(send);
    if (recharset) {
        if (hadCharset)
            qputenv("MM_CHARSET", charsetBefore);
        else
            qunsetenv("MM_CHARSET");
    }
    if (moved) QDir::setCurrent(before);
}

}  // namespace demo
