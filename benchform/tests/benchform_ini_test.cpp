// GETINI / PUTINI against real files in a fresh folder per test.
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>

#include "BenchIni.h"

using benchform::BenchValues;

namespace {

// Every field of the form, numbers as text, so whole value sets compare at once.
QStringList fieldsOf(const BenchValues& v)
{
    QStringList fields;
    for (const std::string* text :
         {&v.MAILHOST, &v.MAILER, &v.SENDERNAME, &v.SENDERADDRESS, &v.RETURNPATH, &v.REPLYTO, &v.ORGANIZATION,
          &v.SUBJECT, &v.RECIPIENTNAME, &v.RECIPIENTADDRESS, &v.GROUPNAME, &v.ATTACHFILE, &v.MESSAGETEXT,
          &v.DEBUGFILE}) {
        fields << QString::fromStdString(*text);
    }
    return fields << QString::number(v.MESSAGETYPE) << QString::number(v.PRIORITY);
}

}  // namespace

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

    void firstRunGivesTheDefaultsAndWritesNothing()
    {
        BenchValues values;
        values.SENDERADDRESS = "left over";
        values.MESSAGETEXT = "left over";
        benchform::GETINI(path(), values);
        BenchValues expected;
        expected.SENDERADDRESS = "[my e-mail address]";
        QCOMPARE(fieldsOf(values), fieldsOf(expected));
        QVERIFY(!QFile::exists(QString::fromStdString(path())));
    }

    void roundTripKeepsWhatIsReadAndDropsWhatIsNot()
    {
        BenchValues written;
        int n = 0;
        for (std::string* text :
             {&written.MAILHOST, &written.MAILER, &written.SENDERNAME, &written.SENDERADDRESS,
              &written.RETURNPATH, &written.REPLYTO, &written.ORGANIZATION, &written.SUBJECT,
              &written.RECIPIENTNAME, &written.RECIPIENTADDRESS, &written.GROUPNAME, &written.ATTACHFILE,
              &written.DEBUGFILE}) {
            *text = "value " + std::to_string(++n);
        }
        written.MESSAGETEXT = "Dear Bob,\n\n  indented \\n not a break\r\nC:\\tmp\\x\nend  ";
        written.MESSAGETYPE = 4;
        written.PRIORITY = 1;
        QVERIFY(benchform::PUTINI(path(), written));

        BenchValues read;
        benchform::GETINI(path(), read);
        // Subject, mailer and the two return addresses are written but never read back.
        BenchValues expected = written;
        expected.SUBJECT = BenchValues().SUBJECT;
        expected.MAILER = BenchValues().MAILER;
        expected.RETURNPATH = expected.REPLYTO = "";
        expected.MESSAGETEXT = "Dear Bob,\n\n  indented \\n not a break\r\nC:\\tmp\\x\nend";
        QCOMPARE(fieldsOf(read), fieldsOf(expected));
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
        writeFile(
            "; kept\n[Other]\nMailHost=other\n\n[bench-form 2]\nmailhost=old\nCustom=stays\n\n[Tail]\nX=1\n");
        BenchValues values;
        values.MAILHOST = "new";
        QVERIFY(benchform::PUTINI(path(), values));
        const std::string after = readFile();
        QVERIFY(after.rfind("; kept\n[Other]\nMailHost=other\n\n[bench-form 2]\nmailhost=new\nCustom=stays\n",
                            0) == 0);
        QVERIFY(after.find("Priority=3\n\n[Tail]\nX=1\n") != std::string::npos);
    }

    void numbersAreKeptInOneByte_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("value");
        QTest::newRow("8") << "8" << 8;
        QTest::newRow("300") << "300" << 44;
        QTest::newRow("256") << "256" << 0;
        QTest::newRow("12abc") << "12abc" << 12;
        QTest::newRow("-1") << "-1" << 255;
        QTest::newRow("high") << "high" << 0;
        QTest::newRow("10^20") << "99999999999999999999" << 255;  // a multiple of 256
    }

    void numbersAreKeptInOneByte()
    {
        QFETCH(QString, stored);
        QFETCH(int, value);
        const std::string text = stored.toStdString();
        writeFile("[Bench-Form 2]\nMessageType=" + text + "\nPriority=" + text + "\n");
        BenchValues values;
        benchform::GETINI(path(), values);
        QCOMPARE(int(values.MESSAGETYPE), value);
        QCOMPARE(int(values.PRIORITY), value);
    }

    void textsAreCutToTheirFieldWidth()
    {
        writeFile("[Bench-Form 2]\nMailHost=" + std::string(150, 'h') + "\nGroupName=" +
                  std::string(70, 'g') + "\nSenderName=" + std::string(39, 'n') + "\xC3\xA9" + "overflow\n");
        BenchValues values;
        benchform::GETINI(path(), values);
        QCOMPARE(values.MAILHOST, std::string(127, 'h'));
        QCOMPARE(values.GROUPNAME, std::string(63, 'g'));
        // 40 characters, the last one two bytes.
        QCOMPARE(values.SENDERNAME, std::string(39, 'n') + "\xC3\xA9");
    }
};

QTEST_GUILESS_MAIN(BenchIniTest)
#include "benchform_ini_test.moc"
