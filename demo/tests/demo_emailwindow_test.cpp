// The compose window over a fresh SQLite file, with the recording host
// services and a scripted library: the checks, the receivers each kind of
// send reaches, the journal of a batched send and the resend of a failed batch.
#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include "EmailWindow.h"
#include "ReceiverTreeModel.h"
#include "RecordingHostServices.h"
#include "ScanProgressDialog.h"
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
        data::SendJournal journal(*db);
        data::SendRecord send;
        send.started = QDateTime::currentDateTimeUtc();
        send.subject = QStringLiteral("Old news");
        send.receiverDescription = QStringLiteral("Friends");
        QVERIFY(!journal.begin(send, {{"A <a@x.org>"}, {"B <b@x.org>"}, {"c@x.org"}}));
        QVERIFY(!journal.markDone(send.id, 1, 0, {}));
        QVERIFY(!journal.markDone(send.id, 2, RESULT_SERVER_ERROR, "451 try later"));

        auto w = window();  // a new run of the program: only the journal knows
        w->showLastSendReport();
        QVERIFY(w->reportWindow());
        QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("1 of 3 batches sent"));
        QVERIFY(w->reportWindow()->lines().join('\n').contains("451 try later"));
        w->reportWindow()->resendButton()->click();
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(2));
        QCOMPARE(calls[0].to, (std::vector<std::pair<std::string, std::string>>{{"B", "b@x.org"}}));
        QCOMPARE(calls[1].to, (std::vector<std::pair<std::string, std::string>>{{"", "c@x.org"}}));
        QCOMPARE(calls[0].subject, std::string("Old news"));
        for (const auto& b : journal.batches(send.id)) QVERIFY(b.state == data::BatchRecord::State::Sent);
        QCOMPARE(w->reportWindow()->summaryText(), QStringLiteral("3 of 3 batches sent"));
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
