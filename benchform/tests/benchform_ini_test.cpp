// GETINI / PUTINI against real files in a fresh folder per test.
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>

#include "BenchIni.h"

using benchform::BenchValues;

class BenchIniTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string path() const { return (dir_.path() + "/BENCHFORM.ini").toStdString(); }
    void writeFile(const std::string& bytes) const { std::ofstream(path(), std::ios::binary) << bytes; }
    std::string readFile() const
    {
        std::ifstream in(path(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private slots:
    void init() { QFile::remove(QString::fromStdString(path())); }

    void firstRunGivesTheDefaults()
    {
        BenchValues values;
        values.SENDERADDRESS = "left over";
        benchform::GETINI(path(), values);
        QCOMPARE(values.MAILHOST, std::string("[my mailhost]"));
        QCOMPARE(values.SENDERNAME, std::string("[my name]"));
        QCOMPARE(values.SENDERADDRESS, std::string("[my e-mail address]"));
        QCOMPARE(values.ORGANIZATION, std::string("[my organization]"));
        QCOMPARE(values.RECIPIENTNAME, std::string("[receivers name]"));
        QCOMPARE(values.RECIPIENTADDRESS, std::string("[receivers e-mail address]"));
        QCOMPARE(values.GROUPNAME, std::string());
        QCOMPARE(values.ATTACHFILE, std::string());
        QCOMPARE(values.MESSAGETEXT, std::string());
        QCOMPARE(values.DEBUGFILE, std::string());
        QCOMPARE(int(values.MESSAGETYPE), 6);
        QCOMPARE(int(values.PRIORITY), 3);
        // Never read, so still the built-in values.
        QCOMPARE(values.SUBJECT, std::string("Testmessage C5"));
        QCOMPARE(values.MAILER, std::string("Larkwire Template 3.04"));
        QVERIFY(!QFile::exists(QString::fromStdString(path())));
    }

    void roundTripKeepsWhatIsReadAndDropsWhatIsNot()
    {
        BenchValues written;
        written.MAILHOST = "127.0.0.1:2525";
        written.MAILER = "my mailer";
        written.SENDERNAME = "Ann Example";
        written.SENDERADDRESS = "ann@example.org";
        written.RETURNPATH = "bounce@example.org";
        written.REPLYTO = "reply@example.org";
        written.ORGANIZATION = "Example Ltd";
        written.SUBJECT = "typed by the user";
        written.RECIPIENTNAME = "Bob";
        written.RECIPIENTADDRESS = "bob@example.org";
        written.GROUPNAME = "Friends";
        written.ATTACHFILE = "/tmp/mdi.bmp";
        written.MESSAGETEXT = "Dear Bob,\n\n  indented \\n not a break\r\nC:\\tmp\\x\nend  ";
        written.MESSAGETYPE = 4;
        written.DEBUGFILE = "/tmp/debug.log";
        written.PRIORITY = 1;
        QVERIFY(benchform::PUTINI(path(), written));

        BenchValues read;
        benchform::GETINI(path(), read);
        QCOMPARE(read.MAILHOST, written.MAILHOST);
        QCOMPARE(read.SENDERNAME, written.SENDERNAME);
        QCOMPARE(read.SENDERADDRESS, written.SENDERADDRESS);
        QCOMPARE(read.ORGANIZATION, written.ORGANIZATION);
        QCOMPARE(read.RECIPIENTNAME, written.RECIPIENTNAME);
        QCOMPARE(read.RECIPIENTADDRESS, written.RECIPIENTADDRESS);
        QCOMPARE(read.GROUPNAME, written.GROUPNAME);
        QCOMPARE(read.ATTACHFILE, written.ATTACHFILE);
        QCOMPARE(read.MESSAGETEXT, std::string("Dear Bob,\n\n  indented \\n not a break\r\nC:\\tmp\\x\nend"));
        QCOMPARE(int(read.MESSAGETYPE), 4);
        QCOMPARE(read.DEBUGFILE, written.DEBUGFILE);
        QCOMPARE(int(read.PRIORITY), 1);
        QCOMPARE(read.SUBJECT, std::string("Testmessage C5"));
        QCOMPARE(read.MAILER, std::string("Larkwire Template 3.04"));
        QCOMPARE(read.RETURNPATH, std::string());
        QCOMPARE(read.REPLYTO, std::string());
    }

    void writesSixteenKeysInOrderAsPlainLines()
    {
        BenchValues values;
        values.MESSAGETEXT = "one\ntwo";
        QVERIFY(benchform::PUTINI(path(), values));
        QCOMPARE(readFile(), std::string("[Bench-Form 2]\r\n"
                                         "MailHost=[my mailhost]\r\n"
                                         "Mailer=Larkwire Template 3.04\r\n"
                                         "SenderName=[my name]\r\n"
                                         "SenderAddress=\r\n"
                                         "ReturnPath=\r\n"
                                         "ReplyTo=\r\n"
                                         "Organization=[my organization]\r\n"
                                         "Subject=Testmessage C5\r\n"
                                         "RecipientName=[receivers name]\r\n"
                                         "RecipientAddress=[receivers e-mail address]\r\n"
                                         "GroupName=\r\n"
                                         "AttachFile=\r\n"
                                         "MessageText=one\\ntwo\r\n"
                                         "MessageType=6\r\n"
                                         "DebugFile=\r\n"
                                         "Priority=3\r\n"));
    }

    void otherSectionsAndKeysSurviveAWrite()
    {
        const std::string before =
            "; kept\n[Other]\nMailHost=other\n\n[bench-form 2]\nmailhost=old\nCustom=stays\n\n[Tail]\nX=1\n";
        writeFile(before);
        BenchValues values;
        values.MAILHOST = "new";
        QVERIFY(benchform::PUTINI(path(), values));
        const std::string after = readFile();
        QVERIFY(after.rfind("; kept\n[Other]\nMailHost=other\n\n[bench-form 2]\nmailhost=new\nCustom=stays\n",
                            0) == 0);
        QVERIFY(after.find("\n\n[Tail]\nX=1\n") != std::string::npos);
        QVERIFY(after.find("Priority=3\n\n[Tail]") != std::string::npos);
    }

    void numbersAreKeptInOneByte_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "8" << 8;
        QTest::newRow("300 wraps") << "300" << 44;
        QTest::newRow("256 wraps to 0") << "256" << 0;
        QTest::newRow("digits then text") << "12abc" << 12;
        QTest::newRow("no digits") << "high" << 0;
        QTest::newRow("negative") << "-1" << 255;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << 255;  // 10^20 is a multiple of 256
    }
    void numbersAreKeptInOneByte()
    {
        QFETCH(QString, stored);
        QFETCH(int, value);
        writeFile("[Bench-Form 2]\nMessageType=" + stored.toStdString() +
                  "\nPriority=" + stored.toStdString() + "\n");
        BenchValues values;
        benchform::GETINI(path(), values);
        QCOMPARE(int(values.MESSAGETYPE), value);
        QCOMPARE(int(values.PRIORITY), value);
    }

    void textsAreCutToTheirFieldWidth()
    {
        writeFile("[Bench-Form 2]\nMailHost=" + std::string(50, 'h') + "\nGroupName=" + std::string(70, 'g') +
                  "\nSenderName=" + std::string(39, 'n') + "\xC3\xA9" + "overflow\n");
        BenchValues values;
        benchform::GETINI(path(), values);
        QCOMPARE(values.MAILHOST, std::string(40, 'h'));
        QCOMPARE(values.GROUPNAME, std::string(63, 'g'));
        QCOMPARE(values.SENDERNAME,
                 std::string(39, 'n') + "\xC3\xA9");  // 40 characters, the last one two bytes
    }

    void configFolderFollowsTheEnvironment()
    {
        const QByteArray saved = qgetenv("QUILLNET_CONFIG_DIR");
        const QString folder = dir_.path() + "/made/for/test";
        qputenv("QUILLNET_CONFIG_DIR", folder.toUtf8());
        QCOMPARE(QString::fromStdString(benchform::benchIniPath()), folder + "/BENCHFORM.ini");
        QVERIFY(QFileInfo(folder).isDir());

        qunsetenv("QUILLNET_CONFIG_DIR");
        const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (dir_.path() + "/xdg").toUtf8());
        QCOMPARE(QString::fromStdString(benchform::benchIniPath()),
                 dir_.path() + "/xdg/quillnet/BENCHFORM.ini");
        qputenv("XDG_CONFIG_HOME", savedXdg);
        if (savedXdg.isNull()) qunsetenv("XDG_CONFIG_HOME");
        if (!saved.isNull()) qputenv("QUILLNET_CONFIG_DIR", saved);
    }
};

QTEST_GUILESS_MAIN(BenchIniTest)
#include "benchform_ini_test.moc"
