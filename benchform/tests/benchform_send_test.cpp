// The two send windows: what each gives the library, the figures the progress
// window shows, the report, and that two sends never share an object.
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <mutex>
#include <vector>

#include "RecordingHostServices.h"
#include "SendCodeWindow.h"
#include "SendExtensionWindow.h"

using benchform::BenchValues;
using quillnet::ProgressSnapshot;
using quillnet::RecordingHostServices;

namespace {

// What the library stand-in saw of one job.
struct SeenJob {
    std::string from, returnPath, subject, toName, debugFile, message;
    int priority = 0, messageType = 0;
    bool hasCallback = false;
    int32_t* bytesProcessed = nullptr;
};

std::mutex gSeenMutex;
std::vector<SeenJob> gSeen;

std::string text(const char* value)
{
    return value != nullptr ? value : "";
}

SeenJob record(WRENPOSTDATA* job)
{
    SeenJob seen;
    seen.from = text(job->FROM);
    seen.returnPath = text(job->RETURNPATH);
    seen.subject = text(job->SUBJECT);
    seen.toName = text(job->TONAME);
    seen.debugFile = text(job->DEBUGFILE);
    if (job->MESSAGETEXTHANDLE != nullptr) {
        seen.message = static_cast<const char*>(GlobalLock(job->MESSAGETEXTHANDLE));
        GlobalUnlock(job->MESSAGETEXTHANDLE);
    }
    seen.priority = job->PRIORITY;
    seen.messageType = job->MESSAGETYPE;
    seen.hasCallback = job->WRENPOSTCALLBACK != nullptr;
    seen.bytesProcessed = job->BYTESPROCESSED;
    std::lock_guard<std::mutex> lock(gSeenMutex);
    gSeen.push_back(seen);
    return seen;
}

// Reports progress as the library does: before the transfer, then after each
// full 1024-byte block. The total is 1000 bytes per character of the subject,
// so concurrent sends show figures of their own.
int32_t steppedSend(WRENPOSTDATA* job)
{
    const SeenJob seen = record(job);
    const int32_t total = static_cast<int32_t>(1000 * seen.subject.size());
    if (job->WRENPOSTCALLBACK != nullptr) {
        for (int32_t sent = 0; sent < total; sent += 1024) {
            *job->BYTESTOTAL = total;
            *job->BYTESPROCESSED = sent;
            job->WRENPOSTCALLBACK();
            QThread::msleep(10);
        }
    }
    return 0;
}

BenchValues filledValues()
{
    BenchValues values;
    values.MAILHOST = "127.0.0.1";
    values.SENDERNAME = "[my name]";
    values.SENDERADDRESS = "ann@example.org";
    values.RETURNPATH = "bounce@example.org";
    values.REPLYTO = "reply@example.org";
    values.SUBJECT = "four";
    values.RECIPIENTADDRESS = "bob@example.org";
    values.GROUPNAME = "Friends";
    values.MESSAGETEXT = "hello";
    values.MESSAGETYPE = 4;
    values.PRIORITY = 1;
    values.DEBUGFILE = "/tmp/should-not-be-used.log";
    return values;
}

template <typename Window>
void runToTheEnd(Window& window)
{
    QSignalSpy finished(&window.sendThread(), &QThread::finished);
    window.show();
    QVERIFY(finished.wait(10000));
    QTRY_VERIFY(!window.isVisible());
}

}  // namespace

class BenchSendTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        std::lock_guard<std::mutex> lock(gSeenMutex);
        gSeen.clear();
    }

    void plainSendUsesItsOwnPartOfTheForm()
    {
        RecordingHostServices host;
        benchform::SendCodeWindow window(filledValues(), host);
        window.sendThread().setLibraryEntry(&steppedSend);
        QCOMPARE(window.windowTitle(), QStringLiteral("Larkwire Code Template"));
        runToTheEnd(window);

        QCOMPARE(int(gSeen.size()), 1);
        const SeenJob& job = gSeen[0];
        QCOMPARE(job.from, std::string("[my name]"));
        QCOMPARE(job.returnPath, std::string("reply@example.org"));
        QCOMPARE(job.messageType, 6);
        QCOMPARE(job.priority, 3);
        QCOMPARE(job.debugFile, std::string());
        QCOMPARE(job.toName, std::string("Friends"));
        QCOMPARE(job.message, std::string("hello"));
        QVERIFY(!job.hasCallback);
        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(host.boxes()[0].text, std::string("Mail Send OK!"));
    }

    void progressSendUsesEveryValue_data()
    {
        QTest::addColumn<QString>("replyTo");
        QTest::addColumn<QString>("returnPath");
        QTest::newRow("reply to replaces the return path") << "reply@example.org"
                                                           << "reply@example.org";
        QTest::newRow("an empty reply to empties it") << ""
                                                      << "";
    }
    void progressSendUsesEveryValue()
    {
        QFETCH(QString, replyTo);
        QFETCH(QString, returnPath);
        BenchValues values = filledValues();
        values.SENDERNAME = "Ann";
        values.REPLYTO = replyTo.toStdString();
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        window.sendThread().setLibraryEntry(&steppedSend);
        runToTheEnd(window);

        QCOMPARE(int(gSeen.size()), 1);
        const SeenJob& job = gSeen[0];
        QCOMPARE(job.from, std::string("\"Ann\" <ann@example.org>"));
        QCOMPARE(QString::fromStdString(job.returnPath), returnPath);
        QCOMPARE(job.messageType, 4);
        QCOMPARE(job.priority, 1);
        QCOMPARE(job.debugFile, std::string("/tmp/should-not-be-used.log"));
        QVERIFY(job.hasCallback);
    }

    void progressWindowShowsLiveAndFinishedFigures()
    {
        BenchValues values = filledValues();
        values.SUBJECT = "four";  // 4000 bytes: progress calls at 0, 1024, 2048 and 3072
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        QCOMPARE(window.windowTitle(), QStringLiteral("Larkwire Extension Template"));
        window.sendThread().setLibraryEntry(&steppedSend);
        std::vector<ProgressSnapshot> shown;
        connect(&window, &benchform::SendExtensionWindow::figuresShown, this,
                [&](const ProgressSnapshot& figures) { shown.push_back(figures); });
        runToTheEnd(window);

        // Before the send, one per progress call, the finished state.
        QCOMPARE(int(shown.size()), 6);
        QCOMPARE(shown[0].MAILTOTAL, 0u);
        const int percents[] = {0, 25, 51, 76};
        for (int call = 0; call < 4; ++call) {
            QCOMPARE(shown[call + 1].MAILPROCESSED, uint32_t(1024 * call));
            QCOMPARE(shown[call + 1].MAILTOTAL, 4000u);
            QCOMPARE(shown[call + 1].MAILPROGRESS, percents[call]);
        }
        const ProgressSnapshot& done = shown.back();
        QCOMPARE(done.MAILPROGRESS, 100);
        QCOMPARE(done.MAILPROCESSED, 4000u);
        QCOMPARE(done.MAILEXPECTED, done.MAILCLOCK);
        QCOMPARE(done.MAILREMAINING, int64_t(0));

        const auto label = [&](const char* name) { return window.findChild<QLabel*>(name)->text(); };
        QCOMPARE(label("MAILPROGRESS"), QStringLiteral("100"));
        QCOMPARE(label("MAILPROCESSED"), QStringLiteral("4000"));
        QCOMPARE(label("MAILTOTAL"), QStringLiteral("4000"));
        QCOMPARE(label("MAILREMAINING"), QStringLiteral("0:00:00"));
        QCOMPARE(label("MAILEXPECTED"), label("MAILCLOCK"));
        QCOMPARE(label("RECIPIENTADDRESS"), QStringLiteral("bob@example.org"));
        QCOMPARE(window.findChild<QProgressBar*>()->value(), 100);
    }

    void sendsStartedTogetherKeepTheirOwnObjectAndFigures()
    {
        RecordingHostServices host;
        BenchValues shortMail = filledValues();
        shortMail.SUBJECT = "ab";  // 2000 bytes
        BenchValues longMail = filledValues();
        longMail.SUBJECT = "abcdefgh";  // 8000 bytes
        benchform::SendExtensionWindow first(shortMail, host);
        benchform::SendExtensionWindow second(longMail, host);
        std::vector<ProgressSnapshot> firstShown, secondShown;
        connect(&first, &benchform::SendExtensionWindow::figuresShown, this,
                [&](const ProgressSnapshot& f) { firstShown.push_back(f); });
        connect(&second, &benchform::SendExtensionWindow::figuresShown, this,
                [&](const ProgressSnapshot& f) { secondShown.push_back(f); });
        first.sendThread().setLibraryEntry(&steppedSend);
        second.sendThread().setLibraryEntry(&steppedSend);
        QSignalSpy firstDone(&first.sendThread(), &QThread::finished);
        QSignalSpy secondDone(&second.sendThread(), &QThread::finished);
        first.show();
        second.show();
        QTRY_VERIFY_WITH_TIMEOUT(firstDone.count() == 1 && secondDone.count() == 1, 10000);
        QCoreApplication::processEvents();

        QCOMPARE(int(gSeen.size()), 2);
        QVERIFY(gSeen[0].bytesProcessed != gSeen[1].bytesProcessed);
        for (const ProgressSnapshot& f : firstShown) QVERIFY(f.MAILTOTAL == 0 || f.MAILTOTAL == 2000);
        for (const ProgressSnapshot& f : secondShown) QVERIFY(f.MAILTOTAL == 0 || f.MAILTOTAL == 8000);
        QCOMPARE(firstShown.back().MAILPROCESSED, 2000u);
        QCOMPARE(secondShown.back().MAILPROCESSED, 8000u);
        QCOMPARE(int(secondShown.size()), 2 + 8);
    }
};

QTEST_MAIN(BenchSendTest)
#include "benchform_send_test.moc"
