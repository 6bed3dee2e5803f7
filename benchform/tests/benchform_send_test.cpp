// The two send windows: what each sends through the real library to a real
// SMTP server on loopback, the figures the progress window shows, the report,
// and that two sends never share an object.
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
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
    std::string subject, returnPath;
    int32_t* bytesProcessed;
};

std::mutex gSeenMutex;
std::vector<SeenJob> gSeen;

// Reports progress as the library does: before the transfer, then after each
// full 1024-byte block. The total is 1000 bytes per character of the subject,
// so concurrent sends show figures of their own.
int32_t steppedSend(WRENPOSTDATA* job)
{
    const std::string subject = job->SUBJECT;
    {
        std::lock_guard<std::mutex> lock(gSeenMutex);
        gSeen.push_back({subject, job->RETURNPATH, job->BYTESPROCESSED});
    }
    const int32_t total = static_cast<int32_t>(1000 * subject.size());
    for (int32_t sent = 0; job->WRENPOSTCALLBACK != nullptr && sent < total; sent += 1024) {
        *job->BYTESTOTAL = total;
        *job->BYTESPROCESSED = sent;
        job->WRENPOSTCALLBACK();
        QThread::msleep(10);
    }
    return 0;
}

}  // namespace

class BenchSendTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString inbox_;
    QProcess server_;
    int port_ = 0;

    BenchValues mail(const std::string& subject) const
    {
        BenchValues values;
        values.MAILHOST = "127.0.0.1:" + std::to_string(port_);
        values.SENDERNAME = "Ann Example";
        values.SENDERADDRESS = "ann@example.org";
        values.RETURNPATH = "bounce@example.org";
        values.REPLYTO = "reply@example.org";
        values.SUBJECT = subject;
        values.RECIPIENTNAME = "Bob";
        values.RECIPIENTADDRESS = "bob@example.org";
        values.GROUPNAME = "Friends";
        values.MESSAGETEXT = "Hello Bob,\nthis is " + subject + ".";
        values.MESSAGETYPE = 4;
        values.PRIORITY = 1;
        values.DEBUGFILE = (dir_.path() + "/debug.log").toStdString();
        return values;
    }

    int receivedCount() const { return QDir(inbox_).entryList({"*.eml"}, QDir::Files).size(); }
    QByteArray received(int n) const
    {
        QFile file(QStringLiteral("%1/%2.eml").arg(inbox_).arg(n));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    template <typename Window>
    static void send(Window& window, const RecordingHostServices& host, const char* report = "Mail Send OK!")
    {
        QSignalSpy finished(&window.sendThread(), &QThread::finished);
        window.show();
        // The thread starts in showEvent and may already have finished by
        // now (a closed port fails in microseconds): count what the spy
        // holds instead of waiting for a signal still to come.
        QTRY_VERIFY_WITH_TIMEOUT(finished.count() > 0, 60000);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(host.boxes()[0].text, std::string(report));
    }
    void record(benchform::SendExtensionWindow& window, std::vector<ProgressSnapshot>& shown)
    {
        connect(&window, &benchform::SendExtensionWindow::figuresShown, this,
                [&shown](const ProgressSnapshot& figures) { shown.push_back(figures); });
    }

private slots:
    void initTestCase()
    {
        inbox_ = dir_.path() + "/inbox";
        QVERIFY(QDir().mkpath(inbox_));
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(QStringLiteral(BENCHFORM_PYTHON), {QStringLiteral(BENCHFORM_CAPTURE_SERVER), inbox_});
        QVERIFY(server_.waitForStarted(10000));
        QVERIFY(server_.waitForReadyRead(20000));
        const QByteArray line = server_.readLine().trimmed();  // "PORT <n>"
        QVERIFY2(line.startsWith("PORT "), line.constData());
        port_ = line.mid(5).toInt();
        QVERIFY(port_ > 0);
    }
    void cleanupTestCase()
    {
        server_.closeWriteChannel();
        if (!server_.waitForFinished(10000)) server_.kill();
    }
    void init()
    {
        QFile::remove(dir_.path() + "/debug.log");
        std::lock_guard<std::mutex> lock(gSeenMutex);
        gSeen.clear();
    }

    void plainSendDeliversItsOwnPartOfTheForm()
    {
        RecordingHostServices host;
        benchform::SendCodeWindow window(mail("the plain send"), host);
        QCOMPARE(window.windowTitle(), QStringLiteral("Larkwire Code Template"));
        const int before = receivedCount();
        send(window, host);
        QCOMPARE(window.sendThread().result(), 0);
        QTRY_COMPARE(receivedCount(), before + 1);
        const QByteArray message = received(before + 1);
        // The sender by its name alone, Reply To as the return path, the
        // plain-text type and priority 3 whatever the form says, no debug file.
        for (const char* part : {"\r\nSubject: the plain send\r\n", "\r\nFrom: Ann Example\r\n",
                                 "\r\nReturn-Path: reply@example.org\r\n", "\r\nTo: Friends\r\n",
                                 "\r\nX-Priority: 3\r\n", "Content-Type: text/plain", "Hello Bob,"}) {
            QVERIFY2(message.contains(part), message.constData());
        }
        QVERIFY(!QFile::exists(dir_.path() + "/debug.log"));
    }

    void progressSendDeliversEveryValueWithLiveFigures()
    {
        // An attachment large enough for many 1024-byte blocks.
        QByteArray content(40000, '\0');
        for (int i = 0; i < content.size(); ++i) content[i] = char(i * 7919 % 251);
        const QString attachment = dir_.path() + "/payload.bin";
        QFile file(attachment);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();

        BenchValues values = mail("the progress send");
        values.ATTACHFILE = attachment.toStdString();
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        std::vector<ProgressSnapshot> shown;
        record(window, shown);
        const int before = receivedCount();
        send(window, host);
        QTRY_COMPARE(receivedCount(), before + 1);
        const QByteArray message = received(before + 1);
        for (const char* part :
             {"\r\nFrom: \"Ann Example\" <ann@example.org>\r\n", "\r\nReturn-Path: reply@example.org\r\n",
              "\r\nX-Priority: 1\r\n", "Content-Type: text/html"}) {
            QVERIFY2(message.contains(part), message.constData());
        }
        QVERIFY(message.contains(content.left(3000).toBase64().left(60)));
        QVERIFY(QFile::exists(dir_.path() + "/debug.log"));

        // Before the send, a call before the transfer, one per 1024-byte
        // block, the finished state.
        QVERIFY2(shown.size() > 40, qPrintable(QString::number(shown.size())));
        QCOMPARE(shown[1].MAILPROCESSED, 0u);
        const uint32_t total = shown[1].MAILTOTAL;
        QVERIFY(total > uint32_t(content.size()));
        for (size_t i = 2; i + 1 < shown.size(); ++i) {
            QCOMPARE(shown[i].MAILTOTAL, total);
            if (i > 2) QCOMPARE(shown[i].MAILPROCESSED - shown[i - 1].MAILPROCESSED, 1024u);
        }
        QCOMPARE(shown.back().MAILPROCESSED, total);
    }

    void unreachableServerIsReported()
    {
        BenchValues values = mail("nobody listens");
        values.MAILHOST = "127.0.0.1:1";
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        send(window, host, "Error sending E-Mail!|Failed to connect. Mail Server not found!");
    }

    void sendsSideBySideShowTheirOwnLiveAndFinishedFigures()
    {
        RecordingHostServices host;
        BenchValues longMail = mail("abcdefgh");  // 8000 bytes
        longMail.REPLYTO = "";                    // an empty Reply To empties the return path
        // 4000 bytes: progress calls at 0, 1024, 2048 and 3072.
        benchform::SendExtensionWindow first(mail("four"), host);
        benchform::SendExtensionWindow second(longMail, host);
        QCOMPARE(first.windowTitle(), QStringLiteral("Larkwire Extension Template"));
        std::vector<ProgressSnapshot> firstShown, secondShown;
        record(first, firstShown);
        record(second, secondShown);
        first.sendThread().setLibraryEntry(&steppedSend);
        second.sendThread().setLibraryEntry(&steppedSend);
        QSignalSpy firstDone(&first.sendThread(), &QThread::finished);
        QSignalSpy secondDone(&second.sendThread(), &QThread::finished);
        first.show();
        second.show();
        QTRY_VERIFY_WITH_TIMEOUT(firstDone.count() == 1 && secondDone.count() == 1, 10000);
        QTRY_VERIFY(!first.isVisible() && !second.isVisible());

        QCOMPARE(int(gSeen.size()), 2);
        QVERIFY(gSeen[0].bytesProcessed != gSeen[1].bytesProcessed);
        for (const SeenJob& job : gSeen)
            QCOMPARE(job.returnPath, std::string(job.subject == "four" ? "reply@example.org" : ""));
        for (const ProgressSnapshot& f : secondShown) QVERIFY(f.MAILTOTAL == 0 || f.MAILTOTAL == 8000);
        QCOMPARE(secondShown.back().MAILPROCESSED, 8000u);
        QCOMPARE(int(secondShown.size()), 2 + 8);

        // Before the send, one per progress call, the finished state.
        QCOMPARE(int(firstShown.size()), 6);
        QCOMPARE(firstShown[0].MAILTOTAL, 0u);
        const int percents[] = {0, 25, 51, 76};
        for (int call = 0; call < 4; ++call) {
            QCOMPARE(firstShown[call + 1].MAILPROCESSED, uint32_t(1024 * call));
            QCOMPARE(firstShown[call + 1].MAILTOTAL, 4000u);
            QCOMPARE(firstShown[call + 1].MAILPROGRESS, percents[call]);
        }
        const ProgressSnapshot& done = firstShown.back();
        QCOMPARE(done.MAILPROGRESS, 100);
        QCOMPARE(done.MAILPROCESSED, 4000u);
        QCOMPARE(done.MAILEXPECTED, done.MAILCLOCK);
        QCOMPARE(done.MAILREMAINING, int64_t(0));
        const auto label = [&](const char* name) { return first.findChild<QLabel*>(name)->text(); };
        QCOMPARE(QStringList({label("MAILPROGRESS"), label("MAILPROCESSED"), label("MAILTOTAL"),
                              label("MAILREMAINING"), label("RECIPIENTADDRESS")}),
                 QStringList({"100", "4000", "4000", "0:00:00", "bob@example.org"}));
        QCOMPARE(label("MAILEXPECTED"), label("MAILCLOCK"));
        QCOMPARE(first.findChild<QProgressBar*>()->value(), 100);
    }
};

QTEST_MAIN(BenchSendTest)
#include "benchform_send_test.moc"
