// Header list, recipients, address files and the Date text of the composer.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "MailUtil.h"
#include "SMTPError.h"
#include "support/ComposerSupport.h"

using composer_test::ComposerFixture;
using composer_test::ScopedCurrentFolder;
using composer_test::ScopedEnv;

namespace {

// All header lines as "Name: value" in list order.
std::vector<std::string> HeaderLines(const CMailUtil& session)
{
    std::vector<std::string> lines;
    for (HeaderLine* pLine = session.m_pHeaders; pLine; pLine = pLine->pNext)
        lines.push_back(std::string(pLine->pszName) + ": " + pLine->value);
    return lines;
}

// Runs `action` and returns the code of the CSMTPError it raised, or -999.
template <typename Action>
int RaisedCode(Action action)
{
    try {
        action();
    } catch (const CSMTPError& error) {
        return error.nCode;
    }
    return -999;
}

class ComposerHeaders : public ComposerFixture {};

TEST_F(ComposerHeaders, StoreKeepsFirstOrderAndFindsNamesWithoutCase)
{
    CMailUtil session;
    session.SetHeader("Subject", "one", 0);
    session.SetHeader("From", "ann@example.com", 0);
    session.SetHeader("SUBJECT", "two", 0);           // replaces in place
    session.SetHeader("X-Priority", "3", 1);          // append flag on a new name adds it
    session.SetHeader("from", "bob@example.com", 1);  // appends to the existing From

    EXPECT_EQ(
        HeaderLines(session),
        (std::vector<std::string>{"Subject: two", "From: ann@example.com,bob@example.com", "X-Priority: 3"}));
    EXPECT_STREQ(session.GetHeader("x-priority", "none"), "3");
    EXPECT_STREQ(session.GetHeader("Date", "none"), "none");
    EXPECT_EQ(session.FindHeader("Reply-To"), nullptr);
}

TEST_F(ComposerHeaders, AppendFoldsOnceTheCurrentLinePassesSeventyFiveCharacters)
{
    struct Case {
        std::string value;
        std::string expected;
    } cases[] = {
        {std::string(75, 'x'), std::string(75, 'x') + ",new"},
        {std::string(76, 'x'), std::string(76, 'x') + ",\r\n\tnew"},
        // After a fold the line counts from its tab, plus one.
        {"a,\r\n\t" + std::string(73, 'b'), "a,\r\n\t" + std::string(73, 'b') + ",new"},
        {"a,\r\n\t" + std::string(74, 'b'), "a,\r\n\t" + std::string(74, 'b') + ",\r\n\tnew"},
        {"", ",new"},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.SetHeader("To", c.value.c_str(), 0);
        session.AppendHeaderValue(session.FindHeader("To"), "new");
        EXPECT_EQ(session.GetHeader("To", ""), c.expected) << "value of length " << c.value.size();
    }
}

TEST_F(ComposerHeaders, RecipientsBecomeEntriesAndEnvelope)
{
    CMailUtil session;
    session.AddTo("Ann Smith", "ann@example.com");
    session.AddTo("", "bob@example.com");
    session.AddCc("Carl", "carl@example.com");
    session.AddBcc("dora@example.com");
    session.AddTo(nullptr, "eve@example.com");

    EXPECT_STREQ(session.GetHeader("To", ""),
                 "\"Ann Smith\" <ann@example.com>,bob@example.com,eve@example.com");
    EXPECT_STREQ(session.GetHeader("Cc", ""), "\"Carl\" <carl@example.com>");
    EXPECT_EQ(session.m_pszRecipients.value(),
              "ann@example.com,bob@example.com,carl@example.com,dora@example.com,eve@example.com");
    EXPECT_EQ(HeaderLines(session).size(), 2u);  // Bcc never becomes a header
}

TEST_F(ComposerHeaders, LongToHeaderFoldsBetweenEntries)
{
    CMailUtil session;
    const char* addresses[] = {"recipient1@example.org.uk", "recipient2@example.org.uk",
                               "recipient3@example.org.uk", "recipient4@example.org.uk",
                               "recipient5@example.org.uk", "recipient6@example.org.uk"};
    for (const char* pszAddress : addresses) session.AddTo(nullptr, pszAddress);
    // 25-character entries: the line reaches 77 characters after three
    // entries, so the fourth starts a continuation line.
    EXPECT_STREQ(session.GetHeader("To", ""),
                 "recipient1@example.org.uk,recipient2@example.org.uk,recipient3@example.org.uk,\r\n"
                 "\trecipient4@example.org.uk,recipient5@example.org.uk,recipient6@example.org.uk");
}

TEST_F(ComposerHeaders, ExplicitToTextSuppressesToEntriesButNotRecipients)
{
    CMailUtil session;
    session.m_pszToText = "Friends";
    session.AddTo("Ann", "ann@example.com");
    session.AddCc("Bob", "bob@example.com");
    EXPECT_EQ(session.FindHeader("To"), nullptr);
    EXPECT_STREQ(session.GetHeader("Cc", ""), "\"Bob\" <bob@example.com>");
    EXPECT_EQ(session.m_pszRecipients.value(), "ann@example.com,bob@example.com");
}

TEST_F(ComposerHeaders, NewsModeNamesGroupsAndRefusesCopies)
{
    EnableLog();
    CMailUtil session;
    session.m_bNewsMode = 1;
    session.AddTo("Ignored Name", "comp.mail.misc");
    session.AddTo(nullptr, "alt.test");
    EXPECT_STREQ(session.GetHeader("Newsgroups", ""), "comp.mail.misc,alt.test");
    EXPECT_EQ(session.FindHeader("To"), nullptr);
    EXPECT_EQ(session.m_pszRecipients.value(), "comp.mail.misc,alt.test");

    EXPECT_EQ(RaisedCode([&] { session.AddCc("Ann", "ann@example.com"); }), 1);
    EXPECT_EQ(session.m_nError, 1);
    EXPECT_EQ(RaisedCode([&] { session.AddBcc("bob@example.com"); }), 1);
    EXPECT_EQ(LogText(),
              "Cc (Carbon Copy) is not legal in News posting mode. Aborting.\n"
              "Bcc (Blind Carbon Copy) is not legal in News posting mode. Aborting.\n");
    EXPECT_EQ(session.m_pszRecipients.value(), "comp.mail.misc,alt.test");
}

TEST_F(ComposerHeaders, AddressFilesAreReadLineByLineAndCutAtTheFirstForeignCharacter)
{
    std::string longAddress = std::string(300, 'l') + "@example.com";
    m_folder.WriteFile("nested.txt", "nested@example.com\n");
    std::string path = m_folder.WriteFile("list.txt",
                                          "ann@example.com\n"
                                          "bob@example.com; carl@example.com\n"
                                          "dora@example.com eve@example.com\r\n"
                                          "\n"
                                          "@nested.txt\n" +
                                              longAddress +
                                              "\n"
                                              "\"Fred\" <fred@example.com>(work)\n"
                                              "gail@example.com");
    ScopedCurrentFolder here(m_folder.Path());
    CMailUtil session;
    session.AddTo("Display names never come from files", ("@" + path).c_str());
    session.AddBcc("@list.txt");

    std::string entries =
        "ann@example.com,bob@example.com,dora@example.com eve@example.com,,"
        "nested@example.com," +
        longAddress + ",\"Fred\" <fred@example.com>,gail@example.com";
    std::string to = session.GetHeader("To", "");
    std::string unfolded;
    for (char c : to)
        if (c != '\r' && c != '\n' && c != '\t') unfolded += c;
    EXPECT_EQ(unfolded, entries);
    EXPECT_EQ(session.m_pszRecipients.value(), entries + "," + entries);
}

TEST_F(ComposerHeaders, UnreadableOrEndlesslyNestedAddressFilesFailWithResultOne)
{
    EnableLog();
    m_folder.WriteFile("self.txt", "ann@example.com\n@self.txt\n");
    ScopedCurrentFolder here(m_folder.Path());

    CMailUtil missing;
    EXPECT_EQ(RaisedCode([&] { missing.AddTo(nullptr, "@no-such-file.txt"); }), 1);
    EXPECT_EQ(LogText(), "Failed to open address file '@no-such-file.txt'. Aborting.\n");

    CMailUtil folder;
    EXPECT_EQ(RaisedCode([&] { folder.AddCc(nullptr, ("@" + m_folder.Path()).c_str()); }), 1);

    CMailUtil endless;
    EXPECT_EQ(RaisedCode([&] { endless.AddTo(nullptr, "@self.txt"); }), 1);
    EXPECT_NE(LogText().find("Address file '@self.txt' is nested too deeply. Aborting.\n"),
              std::string::npos);
}

TEST_F(ComposerHeaders, LineBreaksInJobValuesBecomeSpaces)
{
    CMailUtil session;
    session.SetSubject("Hello\r\nBcc: victim@example.com");
    session.SetFrom("Ann\n <ann@example.com>\rX");
    session.AddTo("Evil\r\nName", "to@example.com\r\nRCPT TO:<x@y>");
    EXPECT_STREQ(session.GetHeader("Subject", ""), "Hello  Bcc: victim@example.com");
    EXPECT_STREQ(session.GetHeader("From", ""), "Ann  <ann@example.com> X");
    EXPECT_STREQ(session.GetHeader("X-Sender", ""), "ann@example.com");
    EXPECT_STREQ(session.GetHeader("To", ""), "\"Evil  Name\" <to@example.com  RCPT TO:<x@y>>");
    EXPECT_EQ(session.m_pszRecipients.value(), "to@example.com  RCPT TO:<x@y>");
}

TEST_F(ComposerHeaders, SenderIsTheTextBetweenTheAngleBrackets)
{
    struct Case {
        const char* pszText;
        const char* pszSender;
    } cases[] = {
        {"\"Ann Smith\" <ann@example.com>", "ann@example.com"},
        {"ann@example.com", "ann@example.com"},
        {"Ann <ann@example.com", "ann@example.com"},
        {"Ann ann@example.com>", "Ann ann@example.com"},
        {"<a@x> <b@y>", "a@x"},
        {"", ""},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.SetSender(c.pszText);
        EXPECT_STREQ(session.GetHeader("X-Sender", "(none)"), c.pszSender) << c.pszText;
    }
}

TEST_F(ComposerHeaders, FromSetsTheSenderOnlyWhenThereIsNone)
{
    CMailUtil fromOnly;
    fromOnly.SetFrom("\"Ann\" <ann@example.com>");
    EXPECT_EQ(HeaderLines(fromOnly),
              (std::vector<std::string>{"From: \"Ann\" <ann@example.com>", "X-Sender: ann@example.com"}));

    CMailUtil withReturnPath;
    withReturnPath.SetSender("bounce@example.com");
    withReturnPath.SetSubject("Hi");
    withReturnPath.SetFrom("\"Ann\" <ann@example.com>");
    EXPECT_EQ(HeaderLines(withReturnPath),
              (std::vector<std::string>{"X-Sender: bounce@example.com", "Subject: Hi",
                                        "From: \"Ann\" <ann@example.com>"}));
}

TEST_F(ComposerHeaders, PriorityOnlyFromOneToFive)
{
    struct Case {
        int priority;
        const char* pszExpected;
    } cases[] = {{0, nullptr}, {1, "1"}, {3, "3"}, {5, "5"}, {6, nullptr}, {-1, nullptr}, {127, nullptr}};
    for (const Case& c : cases) {
        CMailUtil session;
        session.SetPriority(static_cast<int8_t>(c.priority));
        HeaderLine* pLine = session.FindHeader("X-Priority");
        if (c.pszExpected) {
            ASSERT_NE(pLine, nullptr) << c.priority;
            EXPECT_EQ(pLine->value, c.pszExpected);
        } else {
            EXPECT_EQ(pLine, nullptr) << c.priority;
        }
    }
}

TEST_F(ComposerHeaders, DateIsSetOnceFromTheClock)
{
    ScopedEnv zone("TZ", "UTC0");
    tzset();
    CMailUtil session;
    session.SetDate();
    EXPECT_STREQ(session.GetHeader("Date", ""), "Sun, 10 Dec 2023 11:40:48 GMT");
    session.SetHeader("Date", "kept", 0);
    session.SetDate();
    EXPECT_STREQ(session.GetHeader("Date", ""), "kept");
}

TEST_F(ComposerHeaders, ArpadateWritesTheLocalTimeAndItsOffset)
{
    struct Case {
        const char* pszZone;
        time_t when;
        const char* pszExpected;
    } cases[] = {
        {"UTC0", 1796650080, "Mon, 07 Dec 2026 13:28:00 GMT"},
        {"CET-1", 1796650080, "Mon, 07 Dec 2026 14:28:00 +0100"},
        {"EST5", 1796650080, "Mon, 07 Dec 2026 08:28:00 -0500"},
        {"IST-5:30", 1796650080, "Mon, 07 Dec 2026 18:58:00 +0530"},
        // Local year ahead of UTC: 2026-12-31 23:30 UTC is New Year one hour east.
        {"CET-1", 1798759800, "Fri, 01 Jan 2027 00:30:00 +0100"},
        // Local year behind UTC: 2027-01-01 00:30 UTC, one hour west.
        {"XXX1", 1798763400, "Thu, 31 Dec 2026 23:30:00 -0100"},
        // Same year, local day ahead: 2026-03-01 23:30 UTC at +12:45.
        {"XXX-12:45", 1772407800, "Mon, 02 Mar 2026 12:15:00 +1245"},
    };
    for (const Case& c : cases) {
        ScopedEnv zone("TZ", c.pszZone);
        tzset();
        EXPECT_EQ(arpadate(c.when), c.pszExpected) << c.pszZone;
    }
    tzset();
}

TEST_F(ComposerHeaders, TenThousandRecipientsBuildOneWellFormedHeader)
{
    CMailUtil session;
    std::string expectedEnvelope;
    for (int i = 0; i < 10000; ++i) {
        std::string address = "user" + std::to_string(i) + "@example.com";
        session.AddTo(nullptr, address.c_str());
        expectedEnvelope += (i ? "," : "") + address;
    }
    EXPECT_EQ(session.m_pszRecipients.value(), expectedEnvelope);
    // Every physical line of the folded value stays short.
    std::string to = session.GetHeader("To", "");
    size_t nStart = 0;
    while (nStart < to.size()) {
        size_t nEnd = to.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = to.size();
        EXPECT_LE(nEnd - nStart, 100u);
        nStart = nEnd + 1;
    }
}

}  // namespace
