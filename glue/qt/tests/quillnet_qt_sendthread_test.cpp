// The send thread: figures reach the window thread in order, the report sees
// the result before the object is emptied, and a cancel reaches the library.
#include <QSignalSpy>
#include <QTest>
#include <atomic>

#include "RecordingHostServices.h"
#include "quillnet/qt/SendThread.h"

using quillnet::ProgressSnapshot;
using quillnet::qt::SendThread;

namespace {

std::atomic<bool> gCancelSeen{false};

// A 4096-byte transfer in four blocks that stops when the host cancels.
int32_t blockSend(WRENPOSTDATA* job)
{
    *job->BYTESTOTAL = 4096;
    for (int32_t sent = 0; sent <= 4096; sent += 1024) {
        *job->BYTESPROCESSED = sent;
        if (job->WRENPOSTCALLBACK != nullptr) job->WRENPOSTCALLBACK();
        if (*job->USERCANCEL != 0) {
            gCancelSeen = true;
            return RESULT_CANCELLED;
        }
    }
    return RESULT_OK;
}

SendThread::Send oneRecipient()
{
    return [](quillnet::WRENPOSTCLASS& mail) {
        mail.ADDTO("Bob", "bob@example.org");
        return mail.SENDIT();
    };
}

}  // namespace

class SendThreadTest : public QObject {
    Q_OBJECT

private slots:
    void figuresArriveOnTheWindowThreadAndTheReportSeesTheMail()
    {
        quillnet::RecordingHostServices host;
        SendThread thread(host, oneRecipient(), SendThread::Progress::Figures);
        thread.setLibraryEntry(&blockSend);
        std::vector<int> percents;
        bool queued = true;
        connect(&thread, &SendThread::progressed, this, [&](const ProgressSnapshot& figures) {
            queued = queued && QThread::currentThread() == thread.thread();
            percents.push_back(figures.MAILPROGRESS);
        });
        int reported = -1;
        size_t recipientsAtReport = 0;
        thread.setReport([&](quillnet::WRENPOSTCLASS& mail, int32_t result) {
            reported = result;
            recipientsAtReport = mail.TOADR.size();
        });
        thread.start();
        QTRY_VERIFY(thread.isFinished());
        QTRY_COMPARE(percents.size(), size_t(7));
        // The start, five progress calls (0..4096), the finish.
        QCOMPARE(percents, (std::vector<int>{0, 0, 25, 50, 75, 100, 100}));
        QVERIFY(queued);
        QCOMPARE(reported, 0);
        QCOMPARE(recipientsAtReport, size_t(1));
        QCOMPARE(thread.result(), 0);
    }

    void cancelReachesTheLibrary()
    {
        quillnet::RecordingHostServices host;
        SendThread thread(host, oneRecipient(), SendThread::Progress::Figures);
        thread.setLibraryEntry(&blockSend);
        thread.requestCancel();
        thread.start();
        QVERIFY(thread.wait(10000));
        QVERIFY(gCancelSeen);
        QCOMPARE(thread.result(), int(RESULT_CANCELLED));
    }

    void plainSendReportsNoFigures()
    {
        quillnet::RecordingHostServices host;
        SendThread thread(host, oneRecipient(), SendThread::Progress::None);
        thread.setLibraryEntry(&blockSend);
        QSignalSpy figures(&thread, &SendThread::progressed);
        thread.start();
        QVERIFY(thread.wait(10000));
        QCoreApplication::processEvents();
        QCOMPARE(figures.count(), 0);
        QCOMPARE(thread.result(), 0);
    }
};

QTEST_GUILESS_MAIN(SendThreadTest)
#include "quillnet_qt_sendthread_test.moc"
