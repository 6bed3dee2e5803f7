// The batched send over a scripted library: what each message carries, what
// the journal records, and which people a resend reaches.
#include <QtTest>

#include "GlueText.h"
#include "MailComposer.h"
#include "MassSend.h"
#include "RecordingHostServices.h"
#include "support/ScriptedLibrary.h"

using demo::testing::ScriptedLibrary;

namespace {

struct JournalEntry {
    QString what;
    qint64 sendId;
    int batch;
    int result;
};

class RecordingJournal : public demo::BatchJournal {
public:
    qint64 begin(const demo::MailContent&, int, const std::vector<QStringList>& b) override
    {
        batches = b;
        entries.push_back({QStringLiteral("begin"), 7, int(b.size()), -1});
        return 7;
    }
    bool markSending(qint64 id, int batch) override
    {
        entries.push_back({QStringLiteral("sending"), id, batch, -1});
        return true;
    }
    bool markDone(qint64 id, int batch, int result, const QString&) override
    {
        entries.push_back({QStringLiteral("done"), id, batch, result});
        return true;
    }
    QString failure() const override { return QString(); }
    std::vector<QStringList> batches;
    std::vector<JournalEntry> entries;
};

demo::RecipientList people(int count)
{
    demo::RecipientList list;
    for (int i = 1; i <= count; ++i)
        list.push_back({QStringLiteral("Person %1").arg(i), QStringLiteral("p%1@example.org").arg(i)});
    return list;
}

demo::MailContent content()
{
    demo::MailContent c;
    c.mailHost = QStringLiteral("localhost");
    c.senderName = QStringLiteral("Ann");
    c.senderAddress = QStringLiteral("ann@example.org");
    c.subject = QStringLiteral("News");
    c.messageText = QStringLiteral("line one\nline two");
    c.receiverDescription = QStringLiteral("Friends");
    c.attachments = {QStringLiteral("/tmp/a.pdf")};
    return c;
}

}  // namespace

class MassSendTest : public QObject {
    Q_OBJECT

    quillnet::RecordingHostServices host;
    std::unique_ptr<quillnet::WRENPOSTCLASS> mail;

private slots:
    void init()
    {
        ScriptedLibrary::instance().reset();
        mail = std::make_unique<quillnet::WRENPOSTCLASS>(host);
        mail->setLibraryEntry(&ScriptedLibrary::entry);
    }

    void batchesCarryOnlyTheirOwnRecipientsAndAreJournaled()
    {
        RecordingJournal journal;
        demo::MassSend send(*mail, &journal);
        auto outcome = send.send(content(), people(250), {100, 0});
        QCOMPARE(outcome.batchCount, 3);
        QCOMPARE(outcome.sentCount, 3);
        QVERIFY(outcome.failed.empty());
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(3));
        const size_t sizes[] = {100, 100, 50};
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(calls[i].to.size(), sizes[i]);
            QCOMPARE(calls[i].to.front().second, "p" + std::to_string(i * 100 + 1) + "@example.org");
            QCOMPARE(calls[i].attachments.size(), size_t(1));  // not one more per batch
            QCOMPARE(calls[i].toName, std::string("Friends: ;"));
            QCOMPARE(calls[i].message, std::string("line one\r\nline two"));
            QCOMPARE(calls[i].messageType, int(PART_TEXT));
            QCOMPARE(calls[i].from, std::string("\"Ann\" <ann@example.org>"));
        }
        QCOMPARE(journal.batches.size(), size_t(3));
        QCOMPARE(journal.batches[2].size(), 50);
        QCOMPARE(journal.batches[0].front(), QStringLiteral("Person 1 <p1@example.org>"));
        QStringList order;
        for (auto& e : journal.entries) order << QStringLiteral("%1 %2").arg(e.what).arg(e.batch);
        QCOMPARE(order, QStringList({"begin 3", "sending 1", "done 1", "sending 2", "done 2", "sending 3", "done 3"}));
    }

    void aFailedBatchIsResentAlone()
    {
        RecordingJournal journal;
        demo::MassSend send(*mail, &journal);
        ScriptedLibrary::instance().answer(RESULT_OK);
        ScriptedLibrary::instance().answer(RESULT_SERVER_ERROR, "452 too many recipients");
        auto first = send.send(content(), people(5), {2, 0});
        QCOMPARE(first.sentCount, 2);
        QCOMPARE(first.failed.size(), size_t(1));
        QCOMPARE(first.failed[0].batchNumber, 2);
        QCOMPARE(first.failed[0].errorText, QStringLiteral("Mail Server Error:\r452 too many recipients"));
        QCOMPARE(journal.entries[4].result, int(RESULT_SERVER_ERROR));

        ScriptedLibrary::instance().reset();
        journal.entries.clear();
        auto again = send.resend(content(), first, {2, 0});
        QCOMPARE(again.sentCount, 1);
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to.size(), size_t(2));
        QCOMPARE(calls[0].to[0].second, std::string("p3@example.org"));
        QCOMPARE(journal.entries.size(), size_t(2));
        QCOMPARE(journal.entries[1].batch, 2);
        QCOMPARE(journal.entries[1].result, 0);
    }

    void refusedPersonsAreNamedAndOnlyTheyGetTheResend()
    {
        demo::MassSend send(*mail, nullptr);
        ScriptedLibrary::instance().answer(
            RESULT_SOME_RECIPIENTS_REFUSED,
            "Refused: <P2@example.org> 550 no such user; here; <p3@example.org> 553 relay denied");
        auto first = send.send(content(), people(3), {100, 0});
        QCOMPARE(first.failed.size(), size_t(1));
        const auto& refused = first.failed[0].refused;
        QCOMPARE(refused.size(), size_t(2));
        QCOMPARE(refused[0].address, QStringLiteral("P2@example.org"));
        QCOMPARE(refused[0].reply, QStringLiteral("550 no such user; here"));
        QCOMPARE(refused[1].reply, QStringLiteral("553 relay denied"));

        ScriptedLibrary::instance().reset();
        send.resend(content(), first, {100, 0});
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0].to.size(), size_t(2));
        QCOMPARE(calls[0].to[0].first, std::string("Person 2"));
        QCOMPARE(calls[0].to[1].second, std::string("p3@example.org"));
    }

    void oneRecipientPerMessageShowsEachTheirOwnAddress()
    {
        demo::MassSend send(*mail, nullptr);
        send.send(content(), people(3), {1, 0});
        const auto calls = ScriptedLibrary::instance().calls();
        QCOMPARE(calls.size(), size_t(3));
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(calls[i].to.size(), size_t(1));
            QCOMPARE(calls[i].toName, std::string());  // To comes from the one record
        }
    }

    void noRecipientsGivesTheLibrarysAnswer()
    {
        RecordingJournal journal;
        demo::MassSend send(*mail, &journal);
        auto outcome = send.send(content(), {}, {100, 0});
        QCOMPARE(outcome.failed.size(), size_t(1));
        QCOMPARE(outcome.failed[0].resultCode, int(RESULT_NO_RECIPIENTS));
        QCOMPARE(outcome.failed[0].errorText, QStringLiteral("No recipiens specified"));
        QVERIFY(journal.entries.empty());
    }

    void batchesArePacedToMessagesPerMinute()
    {
        demo::MassSend send(*mail, nullptr);
        std::vector<std::chrono::milliseconds> pauses;
        send.setPause([&](std::chrono::milliseconds ms) { pauses.push_back(ms); });
        send.send(content(), people(3), {1, 30});
        QCOMPARE(pauses.size(), size_t(2));
        for (auto p : pauses) QVERIFY2(p.count() > 1500 && p.count() <= 2000, qPrintable(QString::number(p.count())));
    }

    void toHeader_data()
    {
        QTest::addColumn<QString>("receiverText");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain group") << "" << "Friends of Art" << 2 << "Friends of Art: ;";
        QTest::newRow("special quoted") << "" << "Club, Inc." << 2 << "\"Club, Inc.\": ;";
        QTest::newRow("quote escaped") << "" << "Say \"hi\"" << 5 << "\"Say \\\"hi\\\"\": ;";
        QTest::newRow("one person") << "" << "Jan van Dijk" << 1 << "";
        QTest::newRow("receiver text wins") << "Members" << "Friends" << 9 << "Members";
    }
    void toHeader()
    {
        QFETCH(QString, receiverText);
        QFETCH(QString, description);
        QFETCH(int, count);
        demo::MailContent c;
        c.receiverText = receiverText;
        c.receiverDescription = description;
        QTEST(demo::toHeaderText(c, size_t(count)), "expected");
    }

    void percentage_data()
    {
        QTest::addColumn<int>("processed");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("expected");
        QTest::newRow("quarter") << 512 << 2048 << 25;
        QTest::newRow("third of one percent") << 1 << 300 << 0;
        QTest::newRow("nothing sent") << 0 << 2048 << 0;
        QTest::newRow("no total") << 1024 << 0 << 0;
        QTest::newRow("all") << 2048 << 2048 << 100;
        QTest::newRow("large") << 2000000000 << 2100000000 << 95;
    }
    void percentage()
    {
        QFETCH(int, processed);
        QFETCH(int, total);
        QTEST(demo::sendPercentage(processed, total), "expected");
    }

    void textsAreCutOnWholeLetters()
    {
        const std::string cut = demo::glueText(QString(120, QChar(0xE9)), 120);
        QCOMPARE(cut.size(), size_t(198));
        QCOMPARE(QString::fromUtf8(cut.c_str()), QString(99, QChar(0xE9)));
        QCOMPARE(demo::glueText(QStringLiteral("abc   "), 2), std::string("ab"));
        QCOMPARE(demo::withCrLf(QStringLiteral("a\nb\r\nc\rd")), QStringLiteral("a\r\nb\r\nc\r\nd"));
    }

    void htmlModeSendsTheFileAsKindFive()
    {
        auto c = content();
        c.html = true;
        c.htmlFile = QStringLiteral("/tmp/page.html");
        demo::composeMail(*mail, c, people(1));
        QCOMPARE(int(mail->MESSAGETYPE), int(PART_HTML_FILE));
        QCOMPARE(mail->SENDIT(), 0);
        QCOMPARE(ScriptedLibrary::instance().calls()[0].message, std::string("/tmp/page.html"));
    }
};

QTEST_GUILESS_MAIN(MassSendTest)
#include "demo_masssend_test.moc"
