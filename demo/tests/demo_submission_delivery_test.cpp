// "Send a test to me" through the real library to aiosmtpd on loopback with
// STARTTLS and a required login, on a desktop without a keyring: a password
// the server refuses is asked for again, the right one only once, and both
// sends with it arrive (so both logged in).
#include <QTemporaryDir>
#include <QtTest>

#include "CaptureServerProcess.h"
#include "EmailWindow.h"
#include "GlueText.h"
#include "InMemoryPasswordStore.h"
#include "MailLogin.h"
#include "ProgramState.h"
#include "RecordingHostServices.h"
#include "demo/data/SettingsTable.h"
#include "support/TestCertificates.h"

using namespace demo;

namespace {
const char* const kPassword = "c0rrect horse";
}

class SubmissionDeliveryTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    CaptureServerProcess server;
    QString inbox;
    int port = 0;

    int delivered() const { return QDir(inbox).entryList({QStringLiteral("*.eml")}, QDir::Files).size(); }

private slots:
    void initTestCase()
    {
        useUtf8MailParts();
        const dialoguetest::TestCertificates& certificates = dialoguetest::Certificates();
        QVERIFY2(certificates.ok, "openssl could not make the test certificates");
        qputenv("QUILLNET_TLS_CA_FILE", QByteArray::fromStdString(certificates.caFile));
        qputenv("MAIL_TEMP", dir.path().toUtf8());
        inbox = dir.filePath("inbox");
        QVERIFY(QDir().mkpath(inbox));
        port = server.start(
            QStringLiteral(DEMO_PYTHON), QStringLiteral(DEMO_CAPTURE_SERVER), inbox,
            {"--cert", QString::fromStdString(certificates.localhost), "--key",
             QString::fromStdString(dialoguetest::TestCertificates::KeyOf(certificates.localhost)), "--auth",
             QStringLiteral("ann:") + kPassword});
        QVERIFY2(port > 0, "aiosmtpd (python3-aiosmtpd) did not start");
    }
    void cleanupTestCase() { server.stop(); }

    void aRefusedPasswordIsAskedForAgainTheRightOneOnce()
    {
        data::DatabaseLocation where;
        where.sqliteFile = dir.filePath("contacts.sqlite");
        data::ContactDatabase db(where);
        QVERIFY(!db.open());
        data::SettingsTable settings(db);
        QVERIFY(!settings.insertBlank());
        const data::Settings blank = *settings.first();
        data::Settings s = blank;
        s.mailHost = QStringLiteral("smtp+starttls://localhost:%1").arg(port);
        s.userName = QStringLiteral("ann");
        s.senderName = QStringLiteral("Ann");
        s.senderEmail = QStringLiteral("ann@example.org");
        s.standardSubject = QStringLiteral("Login test");
        s.footer = QStringLiteral("Hello over TLS.");
        QVERIFY(!settings.update(blank, s));

        quillnet::RecordingHostServices host;
        host.answerNextPasswordQuestion("wrong horse");
        host.answerNextPasswordQuestion(kPassword);
        InMemoryPasswordStore keyring;
        keyring.missing = true;
        MailLogin login(keyring, host);
        ProgramState state;
        state.setMailLogin(&login);
        EmailWindow window({db, host, [] { return false; }, {}, &state});

        window.sendTestToMe();
        QTRY_COMPARE_WITH_TIMEOUT(window.lastResult(), 9, 30000);
        QCOMPARE(delivered(), 0);
        window.sendTestToMe();
        QTRY_COMPARE_WITH_TIMEOUT(delivered(), 1, 30000);
        window.sendTestToMe();
        QTRY_COMPARE_WITH_TIMEOUT(delivered(), 2, 30000);

        QCOMPARE(int(host.passwordPrompts().size()), 2);
        QCOMPARE(window.lastResult(), 0);
        int sentOk = 0, keyringNotices = 0;
        for (const auto& box : host.boxes()) {
            sentOk += box.text == "Send Ok..." ? 1 : 0;
            keyringNotices += box.text.find("keyring") != std::string::npos ? 1 : 0;
        }
        QCOMPARE(sentOk, 2);
        QCOMPARE(keyringNotices, 1);
        QFile envelope(QDir(inbox).filePath("1.envelope"));
        QVERIFY(envelope.open(QIODevice::ReadOnly));
        QCOMPARE(envelope.readAll(), QByteArray("ann@example.org\nann@example.org\n"));
    }
};

QTEST_MAIN(SubmissionDeliveryTest)
#include "demo_submission_delivery_test.moc"
