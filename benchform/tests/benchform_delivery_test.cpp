// Both sends through the real library to a real SMTP server on loopback.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <random>
#include <vector>

#include "RecordingHostServices.h"
#include "SendCodeWindow.h"
#include "SendExtensionWindow.h"

using benchform::BenchValues;
using quillnet::ProgressSnapshot;
using quillnet::RecordingHostServices;

class BenchDeliveryTest : public QObject {
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
        values.REPLYTO = "ann@example.org";
        values.SUBJECT = subject;
        values.RECIPIENTNAME = "Bob";
        values.RECIPIENTADDRESS = "bob@example.org";
        values.MESSAGETEXT = "Hello Bob,\nthis is " + subject + ".";
        return values;
    }

    // The message the server stored for the n-th delivery.
    QByteArray received(int n) const
    {
        QFile file(QStringLiteral("%1/%2.eml").arg(inbox_).arg(n));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int receivedCount() const { return QDir(inbox_).entryList({"*.eml"}, QDir::Files).size(); }

    template <typename Window>
    static void sendAndWait(Window& window)
    {
        QSignalSpy finished(&window.sendThread(), &QThread::finished);
        window.show();
        QVERIFY(finished.wait(60000));
        QTRY_VERIFY(!window.isVisible());
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

    void plainSendIsDelivered()
    {
        const int before = receivedCount();
        RecordingHostServices host;
        benchform::SendCodeWindow window(mail("the plain send"), host);
        sendAndWait(window);

        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(host.boxes()[0].text, std::string("Mail Send OK!"));
        QCOMPARE(window.sendThread().result(), 0);
        QTRY_COMPARE(receivedCount(), before + 1);
        const QByteArray message = received(before + 1);
        QVERIFY2(message.contains("Subject: the plain send"), message.constData());
        QVERIFY2(message.contains("Hello Bob,"), message.constData());
        QVERIFY2(message.contains("bob@example.org"), message.constData());
        // The plain send names the sender by the name alone, with Reply To as the return path.
        QVERIFY2(message.contains("\r\nFrom: Ann Example\r\n"), message.constData());
        QVERIFY2(message.contains("\r\nReturn-Path: ann@example.org\r\n"), message.constData());
    }

    void progressSendIsDeliveredWithLiveFigures()
    {
        // An attachment large enough for many 1024-byte blocks.
        QByteArray content(40000, '\0');
        std::mt19937 random(7);
        for (char& byte : content) byte = static_cast<char>(random() & 0xFF);
        const QString attachment = dir_.path() + "/payload.bin";
        QFile file(attachment);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        BenchValues values = mail("the progress send");
        values.ATTACHFILE = attachment.toStdString();
        values.MESSAGETYPE = 6;
        const int before = receivedCount();
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        std::vector<ProgressSnapshot> shown;
        connect(&window, &benchform::SendExtensionWindow::figuresShown, this,
                [&](const ProgressSnapshot& figures) { shown.push_back(figures); });
        sendAndWait(window);

        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(host.boxes()[0].text, std::string("Mail Send OK!"));
        QTRY_COMPARE(receivedCount(), before + 1);
        const QByteArray message = received(before + 1);
        QVERIFY(message.contains("Subject: the progress send"));
        QVERIFY(message.contains(content.left(3000).toBase64().left(60)));

        // Before the send, a call before the transfer, one per 1024-byte
        // block, the finished state.
        QVERIFY2(shown.size() > 40, qPrintable(QString::number(shown.size())));
        QCOMPARE(shown[0].MAILTOTAL, 0u);
        QCOMPARE(shown[1].MAILPROCESSED, 0u);
        const uint32_t total = shown[1].MAILTOTAL;
        QVERIFY(total > uint32_t(content.size()));
        for (size_t i = 2; i + 1 < shown.size(); ++i) {
            QCOMPARE(shown[i].MAILTOTAL, total);
            if (i > 2) QCOMPARE(shown[i].MAILPROCESSED - shown[i - 1].MAILPROCESSED, 1024u);
            QCOMPARE(shown[i].MAILPROGRESS, int(uint64_t(100) * shown[i].MAILPROCESSED / total));
        }
        const ProgressSnapshot& done = shown.back();
        QCOMPARE(done.MAILPROGRESS, 100);
        QCOMPARE(done.MAILPROCESSED, total);
        QCOMPARE(done.MAILEXPECTED, done.MAILCLOCK);
        QCOMPARE(done.MAILREMAINING, int64_t(0));
    }

    void unreachableServerIsReported()
    {
        BenchValues values = mail("nobody listens");
        values.MAILHOST = "127.0.0.1:1";
        RecordingHostServices host;
        benchform::SendExtensionWindow window(values, host);
        sendAndWait(window);
        QCOMPARE(int(host.boxes().size()), 1);
        QCOMPARE(host.boxes()[0].text,
                 std::string("Error sending E-Mail!|Failed to connect. Mail Server not found!"));
    }
};

QTEST_MAIN(BenchDeliveryTest)
#include "benchform_delivery_test.moc"
