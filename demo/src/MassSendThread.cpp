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
    const QString before = QDir::currentPath();
    const bool moved = !workingFolder_.isEmpty() && QDir::setCurrent(workingFolder_);
    outcome_ = work_(send);
    if (moved) QDir::setCurrent(before);
}

}  // namespace demo
