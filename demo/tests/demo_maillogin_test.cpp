// The mail login: where the password comes from for a send (keyring, memory,
// one question per run without a keyring), that the Defaults form keeps it
// out of every file, and that only a URL host gets it in the glue object.
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "DefaultsForm.h"
#include "DemoTestFolders.h"
#include "ErrorManager.h"
#include "InMemoryPasswordStore.h"
#include "MailComposer.h"
#include "MailLogin.h"
#include "RecordingHostServices.h"
#include "demo/data/SettingsTable.h"

using demo::MailLogin;
using quillnet::RecordingHostServices;

namespace {

// The password for one send, waiting for the keyring as the window does;
// "<cancelled>" when the question was cancelled.
QString passwordForSend(MailLogin& login, const QString& user)
{
    QObject context;
    std::optional<QString> answer;
    bool ready = false;
    login.passwordForSend(user, QStringLiteral("smtps://mail.example.org"), &context,
                          [&](const std::optional<QString>& password) {
                              answer = password;
                              ready = true;
                          });
    if (!QTest::qWaitFor([&] { return ready; }, 5000)) return QStringLiteral("<no answer>");
    return answer.value_or(QStringLiteral("<cancelled>"));
}

int boxesMentioning(const RecordingHostServices& host, const char* word)
{
    int count = 0;
    for (const auto& box : host.boxes()) count += box.text.find(word) != std::string::npos ? 1 : 0;
    return count;
}

// Every file below `folder` that holds `secret`, as UTF-8 or UTF-16.
QStringList filesHolding(const QString& folder, const QString& secret)
{
    const QByteArray utf8 = secret.toUtf8();
    const QByteArray utf16(reinterpret_cast<const char*>(secret.utf16()), secret.size() * 2);
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        if (bytes.contains(utf8) || bytes.contains(utf16)) found << file.fileName();
    }
    return found;
}

}  // namespace

class MailLoginTest : public QObject {
    Q_OBJECT

private slots:
    void passwordForTwoSends_data()
    {
        QTest::addColumn<bool>("keyringMissing");
        QTest::addColumn<QString>("stored");        // in the keyring, or empty
        QTest::addColumn<QStringList>("typed");     // answers to password questions
        QTest::addColumn<QStringList>("expected");  // what each of two sends gets
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("keyringNotices");

        QTest::newRow("from the keyring")
            << false << "kept" << QStringList{} << QStringList{"kept", "kept"} << 0 << 0;
        QTest::newRow("no keyring: asked once, said once")
            << true << "" << QStringList{"typed"} << QStringList{"typed", "typed"} << 1 << 1;
        QTest::newRow("keyring without the entry: asked once")
            << false << "" << QStringList{"typed"} << QStringList{"typed", "typed"} << 1 << 0;
        QTest::newRow("cancelled: asked again next time")
            << true << "" << QStringList{} << QStringList{"<cancelled>", "<cancelled>"} << 2 << 1;
        // 100 characters, 200 bytes: one byte more than the glue holds.
        QTest::newRow("too long for the glue: refused, not cut")
            << false << QString(100, QChar(0xE9)) << QStringList{} << QStringList{"<cancelled>", "<cancelled>"}
            << 0 << 0;
    }

    void passwordForTwoSends()
    {
        QFETCH(bool, keyringMissing);
        QFETCH(QString, stored);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, expected);
        QFETCH(int, questions);
        QFETCH(int, keyringNotices);

        InMemoryPasswordStore store;
        store.missing = keyringMissing;
        if (!stored.isEmpty()) store.entries.insert("ann", stored);
        RecordingHostServices host;
        for (const QString& answer : typed) host.answerNextPasswordQuestion(answer.toStdString());
        MailLogin login(store, host);

        QStringList got;
        for (int send = 0; send < 2; ++send) got << passwordForSend(login, "ann");
        QCOMPARE(got, expected);
        QCOMPARE(int(host.passwordPrompts().size()), questions);
        QCOMPARE(boxesMentioning(host, "keyring"), keyringNotices);
        QCOMPARE(boxesMentioning(host, "longer than"), stored.toUtf8().size() > 199 ? 2 : 0);
        // A typed password is never put into a keyring by a send.
        QCOMPARE(store.entries.value("ann"), stored);
    }

    void aWindowClosedWhileTheKeyringAnswersIsNotCalledBack()
    {
        InMemoryPasswordStore store;
        store.entries.insert("ann", "kept");
        RecordingHostServices host;
        MailLogin login(store, host);
        bool called = false;
        auto context = std::make_unique<QObject>();
        login.passwordForSend("ann", "smtps://mail.example.org", context.get(),
                              [&](const std::optional<QString>&) { called = true; });
        context.reset();
        // The password itself still arrives, so the next send need not wait.
        QCOMPARE(passwordForSend(login, "ann"), QStringLiteral("kept"));
        QVERIFY(!called);
    }

    void defaultsKeepThePasswordOutOfEveryFile_data()
    {
        QTest::addColumn<bool>("keyringMissing");
        QTest::newRow("keyring") << false;
        QTest::newRow("no keyring") << true;
    }

    void defaultsKeepThePasswordOutOfEveryFile()
    {
        QFETCH(bool, keyringMissing);
        const QString secret = QStringLiteral("Zq7-unmistakable-secret");
        DemoTestFolders folders;
        RecordingHostServices host;
        demo::ErrorManager errors(host);
        auto database = folders.openDatabase();
        QVERIFY(database);
        InMemoryPasswordStore store;
        store.missing = keyringMissing;
        MailLogin login(store, host);
        {
            auto* form = new demo::DefaultsForm(*database, errors, &login);
            QCOMPARE(form->password()->echoMode(), QLineEdit::Password);
            form->mailHost()->setText("smtp+starttls://mail.example.org");
            form->user()->setText("ann");
            form->password()->setText(secret);
            form->password()->setModified(true);  // as typing leaves it
            form->okButton()->click();
            QTRY_COMPARE(store.calls, 1);
        }
        QCOMPARE(demo::data::SettingsTable(*database).first()->userName, QStringLiteral("ann"));
        QTRY_COMPARE(store.entries.value("ann"), keyringMissing ? QString() : secret);
        // Either way this run's sends get it without asking.
        QCOMPARE(passwordForSend(login, "ann"), secret);
        QVERIFY(host.passwordPrompts().empty());
        QTRY_COMPARE(boxesMentioning(host, "keyring"), keyringMissing ? 1 : 0);

        // The next run: the keyring gives it back, without one it is gone;
        // "OK" without touching the field leaves the keyring as it was.
        MailLogin nextRun(store, host);
        auto* again = new demo::DefaultsForm(*database, errors, &nextRun);
        if (keyringMissing) {
            QTRY_VERIFY(!again->password()->placeholderText().isEmpty());
            QCOMPARE(again->password()->text(), QString());
        } else {
            QTRY_COMPARE(again->password()->text(), secret);
        }
        again->okButton()->click();
        QTest::qWait(20);
        QCOMPARE(store.entries.value("ann"), keyringMissing ? QString() : secret);

        database.reset();  // closed, so everything is on disk
        QCOMPARE(filesHolding(folders.root.path(), secret), QStringList());
        QVERIFY(!filesHolding(folders.root.path(), QStringLiteral("mail.example.org")).isEmpty());
    }

    void onlyAUrlHostGetsTheLoginInTheGlueObject()
    {
        demo::MailContent content;
        content.userName = QStringLiteral("ann");
        content.password = QStringLiteral("pw with blank ");
        const demo::RecipientList to{{QStringLiteral("Bob"), QStringLiteral("bob@example.org")}};
        quillnet::WRENPOSTCLASS mail;

        content.mailHost = QStringLiteral("smtps://mail.example.org");
        demo::composeMail(mail, content, to);
        QCOMPARE(QByteArray(mail.USERNAME), QByteArray("ann"));
        QCOMPARE(QByteArray(mail.USERPASSWORD), QByteArray("pw with blank "));

        // The same object's next mail to a plain host carries no login left over.
        content.mailHost = QStringLiteral("mail.example.org:25");
        demo::composeMail(mail, content, to);
        QCOMPARE(QByteArray(mail.USERNAME), QByteArray());
        QCOMPARE(QByteArray(mail.USERPASSWORD), QByteArray());
        mail.KILL();
    }
};

QTEST_MAIN(MailLoginTest)
#include "demo_maillogin_test.moc"
