// Header list, recipients, address files and the Date text of the composer.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "MailUtil.h"
#include "SMTPError.h"
#include "support/ComposerSupport.h"

using composer_test::ComposerFixture;
using composer_test::ScopedCurrentFolder;
using composer_test::ScopedEnv;

namespace {

// The code of the CSMTPError that `action` raised, or -999.
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

TEST_F(ComposerHeaders, AppendFoldsOnceTheCurrentLinePassesSeventyFiveCharacters)
{
    struct Case {
        std::string value, expected;
    } cases[] = {
        {std::string(75, 'x'), std::string(75, 'x') + ",new"},
        {std::string(76, 'x'), std::string(76, 'x') + ",\r\n\tnew"},
        // After a fold the line counts from its tab, plus one.
        {"a,\r\n\t" + std::string(73, 'b'), "a,\r\n\t" + std::string(73, 'b') + ",new"},
        {"a,\r\n\t" + std::string(74, 'b'), "a,\r\n\t" + std::string(74, 'b') + ",\r\n\tnew"},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.SetHeader("To", c.value.c_str(), 0);
        session.SetHeader("to", "new", 1);
        EXPECT_EQ(session.GetHeader("TO", ""), c.expected) << "value of length " << c.value.size();
    }
}

TEST_F(ComposerHeaders, RecipientsBecomeEntriesAndEnvelope)
{
    CMailUtil mail;
    mail.AddTo("Ann Smith", "ann@example.com");
    mail.AddTo("", "bob@example.com");
    mail.AddCc("Carl", "carl@example.com");
    mail.AddBcc("dora@example.com");
    EXPECT_STREQ(mail.GetHeader("To", ""), "\"Ann Smith\" <ann@example.com>,bob@example.com");
    EXPECT_STREQ(mail.GetHeader("Cc", ""), "\"Carl\" <carl@example.com>");
    EXPECT_EQ(*mail.m_pszRecipients, "ann@example.com,bob@example.com,carl@example.com,dora@example.com");

    CMailUtil news;
    news.m_bNewsMode = 1;
    news.m_pszToText = "Readers";
    news.AddTo("Ignored", "comp.mail.misc");
    news.AddTo(nullptr, "alt.test");
    EXPECT_STREQ(news.GetHeader("Newsgroups", ""), "comp.mail.misc,alt.test");
    EXPECT_EQ(*news.m_pszRecipients, "comp.mail.misc,alt.test");
    EXPECT_EQ(RaisedCode([&] { news.AddCc("", "ann@example.com"); }), 1);
    EXPECT_EQ(RaisedCode([&] { news.AddBcc("ann@example.com"); }), 1);
    EXPECT_EQ(news.m_nError, 1);
}

TEST_F(ComposerHeaders, AddressFilesAreReadLineByLineAndCutAtTheFirstForeignCharacter)
{
    std::string longAddress = std::string(300, 'l') + "@example.com";
    m_folder.WriteFile("nested.txt", "nested@example.com\n");
    std::string path = m_folder.WriteFile("list.txt",
                                          "ann@example.com\nbob@example.com; carl@example.com\n"
                                          "dora@example.com eve@example.com\r\n\n@nested.txt\n" +
                                              longAddress + "\n\"Fred\" <fred@example.com>(work)\ngail");
    ScopedCurrentFolder here(m_folder.Path());
    CMailUtil session;
    session.AddTo("Display names never come from files", ("@" + path).c_str());
    session.AddBcc("@list.txt");

    std::string entries =
        "ann@example.com,bob@example.com,dora@example.com eve@example.com,,nested@example.com," +
        longAddress + ",\"Fred\" <fred@example.com>,gail";
    std::string unfolded;
    for (char c : std::string(session.GetHeader("To", "")))
        if (c != '\r' && c != '\n' && c != '\t') unfolded += c;
    EXPECT_EQ(unfolded, entries);
    EXPECT_EQ(*session.m_pszRecipients, entries + "," + entries);
}

TEST_F(ComposerHeaders, UnreadableOrEndlesslyNestedAddressFilesFailWithResultOne)
{
    EnableLog();
    m_folder.WriteFile("self.txt", "ann@example.com\n@self.txt\n");
    ScopedCurrentFolder here(m_folder.Path());
    for (std::string address :
         {std::string("@missing.txt"), "@" + m_folder.Path(), std::string("@self.txt")}) {
        CMailUtil session;
        EXPECT_EQ(RaisedCode([&] { session.AddTo(nullptr, address.c_str()); }), 1) << address;
    }
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
    EXPECT_STREQ(session.GetHeader("To", ""), "\"Evil  Name\" <to@example.com  RCPT TO:<x@y>>");
    EXPECT_EQ(*session.m_pszRecipients, "to@example.com  RCPT TO:<x@y>");
}

TEST_F(ComposerHeaders, SenderIsTheTextBetweenTheAngleBrackets)
{
    struct Case {
        const char *pszText, *pszSender;
    } cases[] = {
        {"\"Ann Smith\" <ann@example.com>", "ann@example.com"},
        {"ann@example.com", "ann@example.com"},
        {"Ann <ann@example.com", "ann@example.com"},
        {"Ann ann@example.com>", "Ann ann@example.com"},
        {"<a@x> <b@y>", "a@x"},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.SetFrom(c.pszText);
        EXPECT_STREQ(session.GetHeader("X-Sender", ""), c.pszSender) << c.pszText;
        session.SetFrom("other@example.com");  // an existing sender stays
        EXPECT_STREQ(session.GetHeader("X-Sender", ""), c.pszSender) << c.pszText;
    }
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
        {"CET-1", 1798759800, "Fri, 01 Jan 2027 00:30:00 +0100"},      // local year ahead of UTC
        {"XXX1", 1798763400, "Thu, 31 Dec 2026 23:30:00 -0100"},       // local year behind UTC
        {"XXX-12:45", 1772407800, "Mon, 02 Mar 2026 12:15:00 +1245"},  // local day ahead
    };
    for (const Case& c : cases) {
        ScopedEnv zone("TZ", c.pszZone);
        tzset();
        EXPECT_EQ(arpadate(c.when), c.pszExpected) << c.pszZone;
    }
    tzset();
}

}  // namespace
