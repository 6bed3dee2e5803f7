// The compose window over a fresh SQLite file, with the recording host
// services and a scripted library: the checks, the receivers each kind of
// send reaches, the journal of a batched send and the resend of a failed batch.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "DatabaseBatchJournal.h"
#include "EmailWindow.h"
#include "MassSendThread.h"
#include "ReceiverTreeModel.h"
#include "RecordingHostServices.h"
#include "ScanProgressDialog.h"
#include "SendProgressWindow.h"
#include "SendReportWindow.h"
#include "demo/data/AttachmentsTable.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SendJournal.h"
#include "demo/data/SettingsTable.h"
#include "support/ScriptedLibrary.h"

using namespace demo;
using demo::testing::ScriptedLibrary;
using quillnet::MessageAnswer;

class EmailWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<data::ContactDatabase> db;
    std::unique_ptr<quillnet::RecordingHostServices> host;
    bool lastNameFirst = false;
    qint16 friends = 0, empty = 0;
    QString agenda;

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    qint16 addPerson(const QString& first, const QString& infix, const QString& last, const QString& address)
    {
        data::Person p;
        p.firstName = first;
        p.infix = infix;
        p.lastName = last;
        p.emailAddress = address;
        if (data::DataError e = data::PersonsTable(*db).insert(p)) qFatal("%s", qPrintable(e.text));
        return p.number;
    }
    qint16 addGroup(const QString& name, const std::vector<qint16>& members)
    {
        data::Group g;
        g.name = name;
        if (data::DataError e = data::GroupTable(*db).insert(g)) qFatal("%s", qPrintable(e.text));
        for (qint16 m : members) data::GroupPersonTable(*db).insert({m, g.number});
        return g.number;
    }
    void setBatchSize(int perMessage)
    {
        data::SettingsTable settings(*db);
        const data::Settings asRead = *settings.first();
        data::Settings changed = asRead;
        changed.recipientsPerMessage = perMessage;
        QVERIFY(!settings.update(asRead, changed));
    }
    std::unique_ptr<EmailWindow> window()
    {
        auto w = std::make_unique<EmailWindow>(
            EmailWindow::Services{*db, *host, [this] { return lastNameFirst; }, {}});
        w->setLibraryEntry(&ScriptedLibrary::entry);
        return w;
    }
    static void select(EmailWindow& w, const QString& key)
    {
        const QModelIndex row = w.receiverModel()->find(key);
        QVERIFY2(row.isValid(), qPrintable(key));
        w.receiverTree()->setCurrentIndex(row);
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto& b : host->boxes()) texts << QString::fromStdString(b.text);
        return texts;
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        static int n = 0;
        data::DatabaseLocation where;
        where.sqliteFile = dir.filePath(QStringLiteral("contacts%1.sqlite").arg(++n));
        db = std::make_unique<data::ContactDatabase>(where);
        QVERIFY(!db->open());
        host = std::make_unique<quillnet::RecordingHostServices>();
        ScriptedLibrary::instance().reset();
        lastNameFirst = false;

        data::SettingsTable settings(*db);
        QVERIFY(!settings.insertBlank());
        const data::Settings blank = *settings.first();
        data::Settings s = blank;
        s.mailHost = QStringLiteral("localhost");
        s.senderName = QStringLiteral("Ann Smit");
        s.senderEmail = QStringLiteral("ann@example.org");
        s.standardSubject = QStringLiteral("Club news");
        s.footer = QStringLiteral("Dear all,\nsee you.");
        QVERIFY(!settings.update(blank, s));

        const qint16 jan = addPerson("Jan", "van", "Dijk", "jan@example.org");
        const qint16 noAddress = addPerson("Piet", "", "Bos", "");
        const qint16 eva = addPerson("Eva", "", "Ek", "eva@example.org");
        friends = addGroup("Friends", {jan, noAddress, eva});
        empty = addGroup("Nobody", {});
        agenda = dir.filePath(QStringLiteral("agenda.pdf"));
        writeFile(agenda, "agenda, first draft");
        data::Attachment a;
        a.fileName = agenda;
        QVERIFY(!data::AttachmentsTable(*db).insert(a));
    }
    void cleanup()
    {
        db.reset();
    }

    void everyoneAnsweredNoSendsNothing()
    {
        auto w = window();
        QVERIFY(w->everyone());
        host->answerNextQuestion(MessageAnswer::No);
        w->send();
        QVERIFY(ScriptedLibrary::instance().calls().empty());
        const auto boxes = host->boxes();
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].text, std::string("Send mail to everyone?"));
        QCOMPARE(boxes[0].caption, std::string("Message"));
        QVERIFY(boxes[0].defaultAnswer == MessageAnswer::No);
        QVERIFY(boxes[0].icon == quillnet::MessageIcon::Exclamation);
    }

    void everyoneYesReachesEveryAddressOnce()
    {
        auto w = window();
        w->send();
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to.size(), size_t(2));  // Piet has no address
        QCOMPARE(calls[0].to[0].first, std::string("Jan van Dijk"));
        QCOMPARE(calls[0].toName, std::string("All: ;"));
        QCOMPARE(calls[0].attachments, std::vector<std::string>{agenda.toStdString()});
        QCOMPARE(calls[0].message, std::string("Dear all,\r\nsee you."));
        QCOMPARE(boxTexts().last(), QStringLiteral("Send Ok..."));
        QCOMPARE(db->connectionCount(), 1);  // the scan and send threads gave theirs back
    }

    void checksStopTheSendInOrder_data()
    {
        QTest::addColumn<QString>("blank");
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("focus");
        QTest::newRow("name") << "senderName" << false << "No name" << "senderName";
        QTest::newRow("subject") << "subject" << false << "No subject" << "subject";
        QTest::newRow("message") << "message" << false << "No message" << "message";
        QTest::newRow("message in html mode") << "message" << true << "No message" << "html";
    }
    void checksStopTheSendInOrder()
    {
        QFETCH(QString, blank);
        QFETCH(bool, html);
        auto w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        if (auto* line = w->findChild<QLineEdit*>(blank)) line->clear();
        if (auto* text = w->findChild<QPlainTextEdit*>(blank)) text->clear();
        if (html) {
            w->findChild<QCheckBox*>()->setChecked(true);
            w->findChild<QLineEdit*>("htmlFile")->setText("/tmp/page.html");
        }
        w->send();
        QVERIFY(ScriptedLibrary::instance().calls().empty());
        const auto boxes = host->boxes();
        QCOMPARE(boxes.size(), size_t(1));
        QTEST(QString::fromStdString(boxes[0].text), "text");
        QCOMPARE(boxes[0].caption, std::string("Message"));
        QVERIFY(boxes[0].icon == quillnet::MessageIcon::Question);
        QFETCH(QString, focus);
        QWidget* focused = w->findChild<QWidget*>(focus);
        QTRY_VERIFY(focused->hasFocus());
    }

    void htmlFlagGreysWhatIsOff()
    {
        auto w = window();
        auto* message = w->findChild<QPlainTextEdit*>("message");
        auto* file = w->findChild<QLineEdit*>("htmlFile");
        const QColor grey(192, 192, 192);
        QVERIFY(message->isEnabled() && !file->isEnabled());
        QCOMPARE(file->palette().color(QPalette::Disabled, QPalette::Base), grey);
        w->findChild<QCheckBox*>()->setChecked(true);
        QVERIFY(!message->isEnabled() && file->isEnabled());
        QCOMPARE(message->palette().color(QPalette::Disabled, QPalette::Base), grey);
        QVERIFY(file->palette().color(QPalette::Active, QPalette::Base) != grey);
    }

    void aGroupWithoutMembersGetsTheLibrarysAnswer()
    {
        auto w = window();
        const QModelIndex nobody = w->receiverModel()->find(QStringLiteral("1:%1").arg(empty));
        QCOMPARE(w->receiverModel()->rowCount(nobody), 0);  // no expand mark
        QCOMPARE(nobody.data(ReceiverTreeModel::LevelRole).toInt(), 1);
        QCOMPARE(w->receiverModel()->find(QStringLiteral("1:%1").arg(friends)).data(ReceiverTreeModel::LevelRole).toInt(), -1);
        select(*w, QStringLiteral("1:%1").arg(empty));
        w->send();
        QVERIFY(ScriptedLibrary::instance().calls().empty());
        QCOMPARE(boxTexts(), QStringList{"Error 15 ;|No recipiens specified"});
    }

    void membersShowAndGetMailByTheDisplayNameOption()
    {
        lastNameFirst = true;
        auto w = window();
        const QModelIndex group = w->receiverModel()->find(QStringLiteral("1:%1").arg(friends));
        w->receiverTree()->expand(group);
        QCOMPARE(w->receiverModel()->rowCount(group), 3);  // Piet is listed, though he gets no mail
        QCOMPARE(w->receiverModel()->index(0, 0, group).data().toString(), QStringLiteral("Dijk, Jan van"));
        select(*w, QStringLiteral("1:%1").arg(friends));
        w->send();
        w->send();  // the second carries nothing of the first
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(2));
        for (const auto& call : calls) {
            QCOMPARE(call.to.size(), size_t(2));
            QCOMPARE(call.to[0].first, std::string("Dijk, Jan van"));
            QCOMPARE(call.attachments.size(), size_t(1));
            QCOMPARE(call.toName, std::string("Friends: ;"));
        }
    }

    void onePersonGetsTheirOwnAddressInTo()
    {
        auto w = window();
        const QModelIndex group = w->receiverModel()->find(QStringLiteral("1:%1").arg(friends));
        w->receiverTree()->expand(group);
        w->receiverTree()->setCurrentIndex(w->receiverModel()->index(2, 0, group));
        QCOMPARE(w->receiverDescription(), QStringLiteral("Eva Ek"));
        w->send();
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to.size(), size_t(1));
        QCOMPARE(calls[0].to[0].second, std::string("eva@example.org"));
        QCOMPARE(calls[0].toName, std::string());
    }

    void expansionAndSelectionSurviveARebuild()
    {
        auto w = window();
        const QString member = QStringLiteral("2:%1:%2").arg(friends).arg(3);
        w->receiverTree()->expand(w->receiverModel()->find(QStringLiteral("1:%1").arg(friends)));
        select(*w, member);
        addGroup("Later", {});
        w->rebuildReceiverTree();
        QVERIFY(w->receiverModel()->find(QStringLiteral("1:%1").arg(empty + 1)).isValid());
        QCOMPARE(ReceiverTreeModel::positionKey(w->receiverTree()->currentIndex()), member);
        QVERIFY(w->receiverTree()->isExpanded(w->receiverModel()->find(QStringLiteral("1:%1").arg(friends))));
    }

    void ctrlArrowsExpandAndContractTheSelectedGroup()
    {
        auto w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const QString key = QStringLiteral("1:%1").arg(friends);
        select(*w, key);
        w->receiverTree()->setFocus();
        QTest::keyClick(w->receiverTree(), Qt::Key_Right, Qt::ControlModifier);
        QModelIndex group = w->receiverModel()->find(key);
        QVERIFY(w->receiverTree()->isExpanded(group));
        QCOMPARE(w->receiverModel()->rowCount(group), 3);
        QCOMPARE(group.data(ReceiverTreeModel::LevelRole).toInt(), 1);
        QTest::keyClick(w->receiverTree(), Qt::Key_Left, Qt::ControlModifier);
        group = w->receiverModel()->find(key);
        QVERIFY(!w->receiverTree()->isExpanded(group));
        QCOMPARE(group.data(ReceiverTreeModel::LevelRole).toInt(), -1);
    }

    void aTestGoesToTheSenderOnlyAndIsNotRecorded()
    {
        auto w = window();
        w->sendTestToMe();
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to, (std::vector<std::pair<std::string, std::string>>{{"Ann Smit", "ann@example.org"}}));
        QCOMPARE(boxTexts(), QStringList{"Send Ok..."});  // no question: it goes to nobody else
        QVERIFY(data::SendJournal(*db).sends().empty());
    }

    void batchesAreJournaledAndAFailedOneIsResentAlone()
    {
        std::vector<qint16> many;
        for (int i = 0; i < 5; ++i) many.push_back(addPerson("P", "", QString::number(i), QStringLiteral("p%1@x.org").arg(i)));
        const qint16 big = addGroup("Big", many);
        setBatchSize(2);
        ScriptedLibrary::instance().answer(RESULT_OK);
        ScriptedLibrary::instance().answer(RESULT_SOME_RECIPIENTS_REFUSED, "Refused: <p3@x.org> 550 unknown user");
        auto w = window();
        select(*w, QStringLiteral("1:%1").arg(big));
        w->send();
        QCOMPARE(ScriptedLibrary::instance().calls().size(), size_t(3));
        SendReportWindow* report = w->reportWindow();
        QVERIFY(report);
        QCOMPARE(report->summaryText(), QStringLiteral("2 of 3 batches sent"));
        QVERIFY2(report->lines().join('\n').contains("P 3 <p3@x.org>: 550 unknown user"),
                 qPrintable(report->lines().join('\n')));

        data::SendJournal journal(*db);
        const auto sends = journal.sends();
        QCOMPARE(sends.size(), size_t(1));
        QCOMPARE(sends[0].receiverDescription, QStringLiteral("Big"));
        auto batches = journal.batches(sends[0].id);
        QCOMPARE(batches.size(), size_t(3));
        QCOMPARE(batches[1].recipients, QStringList({"P 2 <p2@x.org>", "P 3 <p3@x.org>"}));
        QVERIFY(batches[1].state == data::BatchRecord::State::Failed);
        QCOMPARE(batches[1].resultCode, 16);

        ScriptedLibrary::instance().reset();
        report->resendButton()->click();
        const auto again = ScriptedLibrary::instance().calls();
        QCOMPARE(again.size(), size_t(1));
        QCOMPARE(again[0].to.size(), size_t(1));  // p2 has it already
        QCOMPARE(again[0].to[0].second, std::string("p3@x.org"));
        QCOMPARE(report->summaryText(), QStringLiteral("3 of 3 batches sent"));
        batches = journal.batches(sends[0].id);
        QVERIFY(batches[1].state == data::BatchRecord::State::Sent);
        QCOMPARE(journal.sends().size(), size_t(1));
    }

    void aSendCutOffEarlierCanBeFinishedAfterARestart()
    {
        // Recorded by an earlier program that kept no mail; batch 3 was on its way when it stopped.
        data::SendJournal journal(*db);
        data::SendRecord send;
        send.started = QDateTime::currentDateTimeUtc();
        send.subject = QStringLiteral("Old news");
        send.receiverDescription = QStringLiteral("Friends");
        QVERIFY(!journal.begin(send, {{"A <a@x.org>"}, {"B <b@x.org>"}, {"c@x.org"}}));
        QVERIFY(!journal.markDone(send.id, 1, 0, {}));
        QVERIFY(!journal.markDone(send.id, 2, RESULT_SERVER_ERROR, "451 try later"));
        QVERIFY(!journal.markSending(send.id, 3));

        auto w = window();  // a new run of the program: only the journal knows
        w->showLastSendReport();
        QVERIFY(w->reportWindow());
        QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("1 of 3 batches sent"));
        QVERIFY(w->reportWindow()->lines().join('\n').contains("451 try later"));
        host->answerNextQuestion(MessageAnswer::Yes);  // use the window's mail
        host->answerNextQuestion(MessageAnswer::No);   // but not batch 3 again
        w->reportWindow()->resendButton()->click();
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to, (std::vector<std::pair<std::string, std::string>>{{"B", "b@x.org"}}));
        QCOMPARE(calls[0].subject, std::string("Old news"));
        QCOMPARE(host->boxes().size(), size_t(2));
        QVERIFY(host->boxes()[1].text.find("Batch 3 was cut off") != std::string::npos);
        QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("2 of 3 batches sent"));
        QVERIFY(w->reportWindow()->lines().join('\n').contains("Batch 3: Interrupted while sending"));
        const auto batches = journal.batches(send.id);
        QVERIFY(batches[1].state == data::BatchRecord::State::Sent);
        QVERIFY(batches[2].state == data::BatchRecord::State::Sending);
    }

    // The journal refuses a write through a trigger on the real database file;
    // the send stops there, and the resend after the database is back sends
    // only what never went out.
    void journalFailuresStopTheSend_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("refusal");  // the server refuses one person of batch 2
        QTest::addColumn<int>("calls");
        QTest::addColumn<QStringList>("summary");
        QTest::addColumn<QStringList>("notSent");
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<int>("resendCalls");
        using S = data::BatchRecord::State;
        QTest::newRow("before the send")
            << "BEFORE INSERT ON sends" << false << 0 << QStringList{"nothing was sent", "disk is full"}
            << QStringList{} << QList<int>{} << -1;
        QTest::newRow("before batch 2")
            << "BEFORE UPDATE ON sendbatches WHEN NEW.batchnumber = 2 AND NEW.state = 1" << false << 1
            << QStringList{"1 of 3 batches sent", "batch 2 and the batches after it were not sent",
                           "disk is full", "Batches that went out: 1"}
            << QStringList{"Batch 2: Not sent", "Batch 3: Not sent"}
            << QList<int>{int(S::Sent), int(S::Pending), int(S::Pending)} << 2;
        QTest::newRow("after batch 2")
            << "BEFORE UPDATE ON sendbatches WHEN NEW.batchnumber = 2 AND NEW.state = 2" << false << 2
            << QStringList{"2 of 3 batches sent", "result of batch 2", "disk is full",
                           "Batches that went out: 1-2"}
            << QStringList{"Batch 3: Not sent"} << QList<int>{int(S::Sent), int(S::Sending), int(S::Pending)}
            << 1;
        QTest::newRow("after a refusal in batch 2")
            << "BEFORE UPDATE ON sendbatches WHEN NEW.batchnumber = 2 AND NEW.state = 3" << true << 2
            << QStringList{"1 of 3 batches sent", "Batches that went out: 1",
                           "went out to all but the refused persons: 2"}
            << QStringList{"Batch 2: Error 16 ;", "Batch 3: Not sent"}
            << QList<int>{int(S::Sent), int(S::Sending), int(S::Pending)} << 2;
    }
    void journalFailuresStopTheSend()
    {
        QFETCH(QString, trigger);
        std::vector<qint16> many;
        for (int i = 0; i < 5; ++i)
            many.push_back(addPerson("P", "", QString::number(i), QStringLiteral("p%1@x.org").arg(i)));
        const qint16 big = addGroup("Big", many);
        setBatchSize(2);
        QSqlQuery sql(db->connection());
        QFETCH(bool, refusal);
        if (refusal) {
            ScriptedLibrary::instance().answer(RESULT_OK);
            ScriptedLibrary::instance().answer(RESULT_SOME_RECIPIENTS_REFUSED,
                                               "Refused: <p3@x.org> 550 unknown user");
        }
        QVERIFY2(
            sql.exec("CREATE TRIGGER refuse " + trigger + " BEGIN SELECT RAISE(ABORT, 'disk is full'); END"),
            qPrintable(sql.lastError().text()));
        auto w = window();
        select(*w, QStringLiteral("1:%1").arg(big));
        w->send();

        QTEST(int(ScriptedLibrary::instance().calls().size()), "calls");
        SendReportWindow* report = w->reportWindow();
        QVERIFY(report);
        QFETCH(QStringList, summary);
        for (const QString& part : summary)
            QVERIFY2(report->summaryText().contains(part), qPrintable(report->summaryText()));
        QStringList topLines;
        for (const QString& line : report->lines())
            if (line.startsWith("Batch")) topLines << line;
        QFETCH(QStringList, notSent);
        QCOMPARE(topLines.size(), notSent.size());
        for (int i = 0; i < notSent.size(); ++i)
            QVERIFY2(topLines[i].startsWith(notSent[i]), qPrintable(topLines[i]));
        data::SendJournal journal(*db);
        const auto sends = journal.sends();
        QList<int> states;
        if (!sends.empty())
            for (const auto& b : journal.batches(sends[0].id)) states << int(b.state);
        QTEST(states, "states");

        QFETCH(int, resendCalls);
        QCOMPARE(report->resendButton()->isEnabled(), resendCalls >= 0);
        if (resendCalls < 0) return;
        QVERIFY(sql.exec("DROP TRIGGER refuse"));
        ScriptedLibrary::instance().reset();
        report->resendButton()->click();
        const auto again = ScriptedLibrary::instance().calls();
        QCOMPARE(int(again.size()), resendCalls);
        QCOMPARE(again.back().to.back().second, std::string("p4@x.org"));  // batch 3, once
        QCOMPARE(report->summaryText(), QStringLiteral("3 of 3 batches sent"));
        for (const auto& b : journal.batches(sends[0].id)) QVERIFY(b.state == data::BatchRecord::State::Sent);
    }

    void theProgressWindowSaysWhyTheSendStopped()
    {
        QSqlQuery sql(db->connection());
        QVERIFY(
            sql.exec("CREATE TRIGGER refuse BEFORE UPDATE ON sendbatches WHEN NEW.state = 1 "
                     "BEGIN SELECT RAISE(ABORT, 'database is locked'); END"));
        quillnet::WRENPOSTCLASS mail(*host);
        mail.setLibraryEntry(&ScriptedLibrary::entry);
        const data::ContactDatabase& database = *db;
        MassSendThread thread(
            mail, [&database] { return std::make_unique<DatabaseBatchJournal>(database); },
            [](MassSend& s) {
                return s.send(MailContent{}, {{"A", "a@x.org"}, {"B", "b@x.org"}}, {1, 0});
            });
        SendProgressWindow progress;
        const SendOutcome outcome = progress.run(thread);
        QVERIFY(ScriptedLibrary::instance().calls().empty());
        QCOMPARE(outcome.failed.size(), size_t(2));
        QVERIFY2(progress.journalText().contains("batch 1 and the batches after it were not sent"),
                 qPrintable(progress.journalText()));
        QVERIFY(progress.journalText().contains("database is locked"));
    }

    // After a restart, with other text in the window, a resend sends the mail
    // as it was sent, in its charset, unless a file of it changed or went.
    void aResendSendsTheRecordedMail_data()
    {
        QTest::addColumn<QString>("file");  // what happens to the attachment
        QTest::addColumn<int>("answer");    // to a question about it
        QTest::addColumn<int>("calls");
        QTest::addColumn<QString>("box");
        QTest::newRow("unchanged") << "keep" << int(MessageAnswer::Yes) << 1 << "";
        QTest::newRow("changed, keep it back") << "change" << int(MessageAnswer::No) << 0 << "have changed";
        QTest::newRow("changed, send anyway") << "change" << int(MessageAnswer::Yes) << 1 << "have changed";
        QTest::newRow("gone") << "remove" << int(MessageAnswer::Yes) << 0 << "are gone";
    }
    void aResendSendsTheRecordedMail()
    {
        QFETCH(QString, file);
        QFETCH(int, answer);
        const qint16 club =
            addGroup("Club", {addPerson("A", "", "A", "a@x.org"), addPerson("B", "", "B", "b@x.org"),
                              addPerson("C", "", "C", "c@x.org")});
        setBatchSize(2);
        ScriptedLibrary::instance().answer(RESULT_OK);
        ScriptedLibrary::instance().answer(RESULT_SERVER_ERROR, "451 try later");
        const QByteArray charsetBefore = qgetenv("MM_CHARSET");
        qputenv("MM_CHARSET", "iso-8859-1");
        {
            auto first = window();
            select(*first, QStringLiteral("1:%1").arg(club));
            first->send();
        }
        qputenv("MM_CHARSET", "utf-8");
        if (file == "change") writeFile(agenda, "agenda, second draft");
        if (file == "remove") QVERIFY(QFile::remove(agenda));
        ScriptedLibrary::instance().reset();
        host = std::make_unique<quillnet::RecordingHostServices>();

        auto w = window();
        w->findChild<QLineEdit*>("subject")->setText("Something else");
        w->findChild<QPlainTextEdit*>("message")->setPlainText("Another text");
        w->showLastSendReport();
        QVERIFY(w->reportWindow());
        host->answerNextQuestion(MessageAnswer(answer));
        w->reportWindow()->resendButton()->click();

        QFETCH(QString, box);
        QCOMPARE(host->boxes().empty(), box.isEmpty());
        if (!box.isEmpty()) QVERIFY2(boxTexts().join('\n').contains(box), qPrintable(boxTexts().join('\n')));
        const auto calls = ScriptedLibrary::instance().calls();
        QTEST(int(calls.size()), "calls");
        QCOMPARE(qgetenv("MM_CHARSET"), QByteArray("utf-8"));
        if (charsetBefore.isNull())
            qunsetenv("MM_CHARSET");
        else
            qputenv("MM_CHARSET", charsetBefore);
        if (calls.empty()) {
            QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("1 of 2 batches sent"));
            return;
        }
        QCOMPARE(calls[0].subject, std::string("Club news"));
        QCOMPARE(calls[0].message, std::string("Dear all,\r\nsee you."));
        QCOMPARE(calls[0].from, std::string("\"Ann Smit\" <ann@example.org>"));
        QCOMPARE(calls[0].attachments, std::vector<std::string>{agenda.toStdString()});
        QCOMPARE(calls[0].to, (std::vector<std::pair<std::string, std::string>>{{"C C", "c@x.org"}}));
        QCOMPARE(calls[0].charset, std::string("iso-8859-1"));
        QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("2 of 2 batches sent"));
    }

    void aCancelledScanKeepsWhatItGathered()
    {
        // A source of ten people in batches of two; the user cancels while the second batch is read.
        struct Source : RecipientSource {
            ScanProgressDialog* dialog;
            int given = 0;
            int total() override { return 10; }
            int next(int, RecipientList& out) override
            {
                if (given == 10) return 0;
                if (given == 2) QMetaObject::invokeMethod(dialog, "cancel", Qt::BlockingQueuedConnection);
                for (int i = 0; i < 2; ++i, ++given) out.push_back({QString(), QStringLiteral("p%1@x.org").arg(given)});
                return 2;
            }
        };
        ScanProgressDialog dialog;
        const RecipientList got = dialog.gather([&] {
            auto s = std::make_unique<Source>();
            s->dialog = &dialog;
            return s;
        }, 2);
        QCOMPARE(got.size(), size_t(4));
        QCOMPARE(got.back().address, QStringLiteral("p3@x.org"));
    }
};

QTEST_MAIN(EmailWindowTest)
#include "demo_emailwindow_test.moc"
