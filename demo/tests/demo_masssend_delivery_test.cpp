// One mass send from the compose window through the real library to a local
// SMTP server: 1,000 persons in batches of 100, an attachment and an HTML
// file with a picture, checked at the server with Python's email parser.
#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "CaptureServerProcess.h"
#include "EmailWindow.h"
#include "GlueText.h"
#include "RecordingHostServices.h"
#include "SendReportWindow.h"
#include "demo/data/AttachmentsTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SendJournal.h"
#include "demo/data/SettingsTable.h"

using namespace demo;

class MassSendDeliveryTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    CaptureServerProcess server;
    QString inbox;
    int port = 0;

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void initTestCase()
    {
        useUtf8MailParts();
        inbox = dir.filePath("inbox");
        QVERIFY(QDir().mkpath(inbox));
        port = server.start(QStringLiteral(DEMO_PYTHON), QStringLiteral(DEMO_CAPTURE_SERVER), inbox);
        QVERIFY2(port > 0, "aiosmtpd (python3-aiosmtpd) did not start");
    }
    void cleanupTestCase() { server.stop(); }

    void everyPersonIsReachedOnceWithAttachmentAndPicture()
    {
        data::DatabaseLocation where;
        where.sqliteFile = dir.filePath("contacts.sqlite");
        data::ContactDatabase db(where);
        QVERIFY(!db.open());
        const int persons = 1000;
        QVERIFY(!db.inTransaction([&]() -> data::DataError {
            data::PersonsTable table(db);
            for (int n = 1; n <= persons; ++n) {
                data::Person p;
                p.firstName = n == 7 ? QStringLiteral("Zo\u00EB") : QStringLiteral("Person");
                p.lastName = QString::number(n);
                p.emailAddress = QStringLiteral("p%1@example.org").arg(n, 4, 10, QLatin1Char('0'));
                if (data::DataError e = table.insert(p)) return e;
            }
            return {};
        }));
        data::Person noAddress;
        noAddress.lastName = QStringLiteral("Nomail");
        QVERIFY(!data::PersonsTable(db).insert(noAddress));

        QByteArray attachment(70000, '\0');
        for (char& c : attachment) c = char(QRandomGenerator::global()->bounded(256));
        const QString attachmentPath = dir.filePath("agenda.bin");
        write(attachmentPath, attachment);
        const QString picturePath = dir.filePath("logo.png");
        write(picturePath, QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(300, 'x'));
        const QString htmlPath = dir.filePath("letter.html");
        // The picture is named relative to the HTML file, the process runs elsewhere.
        write(htmlPath, "<html><body><p>Hello</p><img src=\"logo.png\"></body></html>");
        QVERIFY(QDir::setCurrent(QDir::rootPath()));
        data::Attachment a;
        a.fileName = attachmentPath;
        QVERIFY(!data::AttachmentsTable(db).insert(a));

        data::SettingsTable settings(db);
        QVERIFY(!settings.insertBlank());
        const data::Settings blank = *settings.first();
        data::Settings s = blank;
        s.mailHost = QStringLiteral("127.0.0.1:%1").arg(port);
        s.senderName = QStringLiteral("Ann");
        s.senderEmail = QStringLiteral("ann@example.org");
        s.standardSubject = QStringLiteral("Club news");
        s.footer = QStringLiteral("See the letter.");
        s.recipientsPerMessage = 100;
        QVERIFY(!settings.update(blank, s));

        quillnet::RecordingHostServices host;
        EmailWindow window({db, host, [] { return false; }, {}});
        window.findChild<QCheckBox*>("html")->setChecked(true);
        window.findChild<QLineEdit*>("htmlFile")->setText(htmlPath);
        window.send();

        QCOMPARE(QDir::currentPath(), QDir::rootPath());
        QVERIFY(window.reportWindow());
        QCOMPARE(window.reportWindow()->summaryText(), QStringLiteral("10 of 10 batches sent"));
        data::SendJournal journal(db);
        QCOMPARE(journal.sends().size(), size_t(1));
        for (const auto& batch : journal.batches(journal.sends()[0].id))
            QVERIFY(batch.state == data::BatchRecord::State::Sent);

        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(QStringLiteral(DEMO_PYTHON), {QStringLiteral(DEMO_CHECK_SCRIPT), inbox, QString::number(persons),
                                                  attachmentPath, picturePath});
        QVERIFY(check.waitForFinished(120000));
        const QByteArray said = check.readAll();
        QVERIFY2(check.exitCode() == 0, said.constData());
        QVERIFY(said.contains("10 messages"));
    }
};

QTEST_MAIN(MassSendDeliveryTest)
#include "demo_masssend_delivery_test.moc"
