// The composer: header list, recipients, address files, the Date text, whole
// composed messages byte for byte, and the writer's failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <regex>
#include <string>
#include <tuple>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "support/ComposerSupport.h"
#include "support/FaultyCalls.h"

using composer_test::Compose;
using composer_test::ComposerFixture;
using composer_test::MaskAddresses;
using composer_test::ScopedEnv;

namespace {

class ComposerHeaders : public ComposerFixture {};

TEST_F(ComposerHeaders, AppendFoldsOnceTheCurrentLinePassesSeventyFiveCharacters)
{
    // After a fold the line counts from its tab, plus one.
    const std::tuple<const char*, int, bool> cases[] = {
        {"", 75, false}, {"", 76, true}, {"a,\r\n\t", 73, false}, {"a,\r\n\t", 74, true}};
    for (const auto& [pszStart, nLength, bFolds] : cases) {
        const std::string value = pszStart + std::string(nLength, 'x');
        CMailUtil session;
        session.SetHeader("To", value.c_str(), 0);
        session.SetHeader("to", "new", 1);
        EXPECT_EQ(session.GetHeader("TO", ""), value + (bFolds ? ",\r\n\tnew" : ",new")) << value;
    }
}

TEST_F(ComposerHeaders, NewsRecipientsAreGroupsWithoutNamesAndRefuseCopies)
{
    CMailUtil news;
    news.m_bNewsMode = 1;
    news.m_pszToText = "Readers";
    news.AddTo("Ignored", "comp.mail.misc");
    news.AddTo(nullptr, "alt.test");
    EXPECT_STREQ(news.GetHeader("Newsgroups", ""), "comp.mail.misc,alt.test");
    EXPECT_EQ(*news.m_pszRecipients, "comp.mail.misc,alt.test");
    EXPECT_THROW(news.AddCc("", "ann@example.com"), CSMTPError);
    EXPECT_EQ(news.m_nError, 1);
}

TEST_F(ComposerHeaders, AddressFilesAreReadLineByLineAndCutAtTheFirstForeignCharacter)
{
    std::string longAddress = std::string(300, 'l') + "@example.com";
    WriteFile("nested.txt", "nested@example.com\n");
    std::string path = WriteFile("list.txt",
                                 "ann@example.com\nbob@example.com; carl@example.com\n"
                                 "dora@example.com eve@example.com\r\n\n@nested.txt\n" +
                                     longAddress + "\n\"Fred\" <fred@example.com>(work)\ngail");
    CMailUtil session;
    session.AddTo("Display names never come from files", ("@" + path).c_str());
    session.AddBcc("@list.txt");

    std::string entries =
        "ann@example.com,bob@example.com,dora@example.com eve@example.com,,nested@example.com," +
        longAddress + ",\"Fred\" <fred@example.com>,gail";
    EXPECT_EQ(std::regex_replace(session.GetHeader("To", ""), std::regex("\r\n\t"), ""), entries);
    EXPECT_EQ(*session.m_pszRecipients, entries + "," + entries);
}

TEST_F(ComposerHeaders, UnreadableOrEndlesslyNestedAddressFilesFailWithResultOne)
{
    EnableLog();
    WriteFile("self.txt", "ann@example.com\n@self.txt\n");
    for (std::string address : {std::string("@missing.txt"), "@" + m_folder, std::string("@self.txt")}) {
        CMailUtil session;
        EXPECT_THROW(session.AddTo(nullptr, address.c_str()), CSMTPError) << address;
        EXPECT_EQ(session.m_nError, 1) << address;
    }
    EXPECT_NE(LogText().find("Address file '@self.txt' is nested too deeply. Aborting.\n"),
              std::string::npos);
}

TEST_F(ComposerHeaders, LineBreaksInJobValuesBecomeSpaces)
{
    CMailUtil session;
    session.SetFrom("Ann\n <ann@example.com>\rX");
    session.AddTo("Evil\r\nName", "to@example.com\r\nRCPT TO:<x@y>");
    EXPECT_STREQ(session.GetHeader("From", ""), "Ann  <ann@example.com> X");
    EXPECT_STREQ(session.GetHeader("To", ""), "\"Evil  Name\" <to@example.com  RCPT TO:<x@y>>");
    EXPECT_EQ(*session.m_pszRecipients, "to@example.com  RCPT TO:<x@y>");
}

TEST_F(ComposerHeaders, DisplayNamesAreEscapedInsideTheirQuotes)
{
    // A bare quote in a name would close the quoted string early and let the
    // rest pose as a second recipient; other names keep every byte.
    const char* cases[][2] = {
        {"Ann Smith, \xE9t\xE9 <x>", "\"Ann Smith, \xE9t\xE9 <x>\" <to@example.com>"},
        {"Eve\" <eve@evil.example>, \"Bob", "\"Eve\\\" <eve@evil.example>, \\\"Bob\" <to@example.com>"},
        {"C:\\Users\\", "\"C:\\\\Users\\\\\" <to@example.com>"},
        {"\\\"", "\"\\\\\\\"\" <to@example.com>"},
    };
    for (const auto& c : cases) {
        CMailUtil session;
        session.AddTo(c[0], "to@example.com");
        EXPECT_STREQ(session.GetHeader("To", ""), c[1]) << c[0];
        EXPECT_EQ(*session.m_pszRecipients, "to@example.com") << c[0];
    }
}

TEST_F(ComposerHeaders, SenderIsTheTextBetweenTheAngleBrackets)
{
    const char* cases[][2] = {{"\"Ann Smith\" <ann@example.com>", "ann@example.com"},
                              {"ann@example.com", "ann@example.com"},
                              {"Ann <ann@example.com", "ann@example.com"},
                              {"Ann ann@example.com>", "Ann ann@example.com"},
                              {"<a@x> <b@y>", "a@x"}};
    for (const auto& c : cases) {
        CMailUtil session;
        session.SetFrom(c[0]);
        session.SetFrom("other@example.com");  // an existing sender stays
        EXPECT_STREQ(session.GetHeader("X-Sender", ""), c[1]) << c[0];
    }
}

TEST_F(ComposerHeaders, ArpadateWritesTheLocalTimeAndItsOffset)
{
    const char* cases[][3] = {
        {"UTC0", "1796650080", "Mon, 07 Dec 2026 13:28:00 GMT"},
        {"IST-5:30", "1796650080", "Mon, 07 Dec 2026 18:58:00 +0530"},
        {"CET-1", "1798759800", "Fri, 01 Jan 2027 00:30:00 +0100"},      // local year ahead of UTC
        {"XXX1", "1798763400", "Thu, 31 Dec 2026 23:30:00 -0100"},       // local year behind UTC
        {"XXX-12:45", "1772407800", "Mon, 02 Mar 2026 12:15:00 +1245"},  // local day ahead
    };
    for (const auto& c : cases) {
        ScopedEnv zone("TZ", c[0]);
        tzset();
        EXPECT_EQ(arpadate(std::atoll(c[1])), c[2]) << c[0];
    }
}

class ComposerWriter : public ComposerFixture {};

TEST_F(ComposerWriter, SinglePartMessagesCarryThePartHeadersInTheMessageHeader)
{
    const std::string library = "MIME-Version: 1.0\r\nX-MailLibrary: quillnet 3.04\r\n";
    const std::string attachment = WriteFile("data.bin", "hello\n");
    struct Case {
        std::function<void(CMailUtil&)> fill;
        std::string expected;
    } cases[] = {
        // A To text stands for the To entries and cannot start a header of its own.
        {[](CMailUtil& s) {
             std::strcpy(g_szMailer, "Bench Form 2");
             std::strcpy(g_szOrganization, "Example Ltd");
             s.SetSubject("Greetings");
             s.SetFrom("\"Ann\" <ann@example.com>");
             s.m_pszToText = "Team <team@example.com>\r\nBcc: spy@example.com";
             s.AddTo("Bob", "bob@example.com");
             s.AddCc("Carl", "carl@example.com");
             s.SetPriority(3);
             s.AddPart("Hello Bob,\r\ncaf\xE9\r\n", 6);
         },
         "Subject: Greetings\r\nFrom: \"Ann\" <ann@example.com>\r\nX-Sender: ann@example.com\r\n"
         "Cc: \"Carl\" <carl@example.com>\r\nX-Priority: 3\r\n"
         "To: Team <team@example.com>  Bcc: spy@example.com\r\n" +
             library + "X-Mailer: Bench Form 2\r\nOrganization: Example Ltd\r\n" +
             "Content-Type: text/plain; charset=iso-8859-1\r\n" +
             "Content-Transfer-Encoding: quoted-printable\r\n\r\nHello Bob,\r\ncaf=E9\r\n"},
        {[&](CMailUtil& s) {
             s.m_bNewsMode = 1;
             s.AddTo(nullptr, "alt.test");
             s.AddPart(attachment.c_str(), 8);
         },
         "Newsgroups: alt.test\r\n" + library +
             "From: (NULL)\r\nX-Sender: (NULL)\r\nContent-Type: unknown/bin\r\n"
             "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\naGVsbG8K\r\n"},
        {[](CMailUtil& s) { s.SetFrom("ann@example.com"); },
         "From: ann@example.com\r\nX-Sender: ann@example.com\r\n" + library + "\r\n"},
    };
    for (const Case& c : cases) {
        ResetLibraryStateForTesting();
        CMailUtil session;
        c.fill(session);
        EXPECT_EQ(Compose(session), c.expected);
    }
}

TEST_F(ComposerWriter, HtmlWithRelatedPartsNestsInsideTheMixedBody)
{
    WriteFile("pic.gif", "GIF89a");
    WriteFile("logo.png", "\x89PNG\r\n");
    WriteFile("report.pdf", "%PDF-1.4\n");
    const std::string html =
        R"(<img src="pic.gif"><IMG SRC="pic.gif"><a href="http://x/"><img src="no.gif"><img src="logo.png">)";
    CMailUtil session;
    session.SetSubject("Pictures");
    session.SetFrom("ann@example.com");
    session.AddTo(nullptr, "bob@example.com");
    session.AddPart("See the pictures below.\r\n", 6);
    EnableLog();
    session.AddPart(html.c_str(), 4);
    session.AddPart("report.pdf", 8);

    EXPECT_EQ(MaskAddresses(Compose(session)), composer_test::Golden("multipart_related.eml"));
    EXPECT_EQ(MaskAddresses(LogText()), "CMailPart::Create: " + html + R"(
GetRelatedParts: Begin HTML parsing
GetRelatedParts: Found Tag <IMG SRC="pic.gif">
GetRelatedParts: Create NEW part for "pic.gif"
CMailPart::Create: pic.gif
GetRelatedParts: Create related part for  "pic.gif" CID:PART.CID.1234.6575A3C0.ABCD.ADDR1!
GetRelatedParts: Found Tag <IMG SRC="pic.gif">
GetRelatedParts: Use old part for "pic.gif"
GetRelatedParts: Found Tag <A HREF="http://x/">
GetRelatedParts: Target not local!
GetRelatedParts: Found Tag <IMG SRC="no.gif">
GetRelatedParts: File "no.gif" does not exist!
GetRelatedParts: Found Tag <IMG SRC="logo.png">
GetRelatedParts: Create NEW part for "logo.png"
CMailPart::Create: logo.png
GetRelatedParts: Create related part for  "logo.png" CID:PART.CID.1234.6575A3C0.ABCD.ADDR2!
CMailPart::Create: report.pdf
_WriteOutMessage: Use MIME multipart...
WriteMimeContent: About to include related parts...
WriteMimeContent: About to include related parts...
WriteMimeContent: Now including related parts...
WriteMimeContent: PART: PART.BOUNDARY.RELATED.1234.6575A3C0.ABCD.ADDR3
WriteMimeContent: About to include related parts...
)");
}

TEST_F(ComposerWriter, ContentTypesAreWrittenWithQuotedParameters)
{
    const char* cases[][2] = {
        {"text/plain;charset=utf-8", "text/plain;\r\n\tcharset=\"utf-8\"\r\n"},
        {"oddtype;a=b", "oddtype/unknown;\r\n\ta=\"b\"\r\n"},
        {"a/b;name=\"q\\\"v\"tail;flag", "a/b;\r\n\tname=\"q\\\"v\";\r\n\tflag\r\n"},
        {"a/b;p=x\"y\\z", "a/b;\r\n\tp=\"x\\\"y\\\\z\"\r\n"},
        {"a/b;p=", "a/b;\r\n\tp=\"\"\r\n"},
        {"a/b;p=\"abc", "a/b;\r\n\tp=\"abc\"\r\n"},
        {"a/b;p=\"ab\\", "a/b;\r\n\tp=\"ab\\\\\"\r\n"},
        {"a/b;p=1=2", "a/b;\r\n\tp=\"1=2\"\r\n"},
    };
    std::string attachment = WriteFile("f.att", "");
    for (const auto& c : cases) {
        WriteFile("mime.types", std::string(c[0]) + " att\n");
        CMailUtil session;
        session.AddPart(attachment.c_str(), 8);
        std::string message = Compose(session);
        size_t nStart = message.find("Content-Type: ") + std::strlen("Content-Type: ");
        EXPECT_EQ(message.substr(nStart, message.find("Content-Disposition: ") - nStart), c[1]) << c[0];
    }
    // Line breaks in a file name cannot start a header of their own.
    CMailUtil session;
    session.AddPart(WriteFile("evil.x\r\nBcc: a@b", "z").c_str(), 8);
    EXPECT_NE(Compose(session).find("Content-Type: unknown/x  Bcc: a@b\r\n"
                                    "Content-Disposition: attachment; filename=\"evil.x  Bcc: a@b\"\r\n"),
              std::string::npos);
    // Nor can a quote in it end the value early.
    CMailUtil quoted;
    quoted.AddPart(WriteFile("say \"hi\".txt", "z").c_str(), 8);
    EXPECT_NE(Compose(quoted).find("Content-Disposition: attachment; filename=\"say \\\"hi\\\".txt\"\r\n"),
              std::string::npos);
}

// The parts before the failure are in the file, nothing after it; only a
// verbose log names the file.
TEST_F(ComposerWriter, UnreadableAttachmentStopsTheMessageWithResultTwelve)
{
    std::string good = WriteFile("good.bin", "good");
    const std::string error = "CMailUtil::WriteOutMessage() - SMTP Error : 12.\n";
    for (bool bVerbose : {false, true}) {
        const std::string bad = bVerbose ? m_folder : m_folder + "/deleted.bin";
        CMailUtil session;
        session.AddPart("text", 1);
        session.AddPart(bad.c_str(), 8);
        session.AddPart(good.c_str(), 8);
        ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));
        g_bVerbose = bVerbose;
        const std::string message = Compose(session, 12);
        std::string log = LogText();
        if (bVerbose) log.erase(0, std::min(log.find("Unable"), log.size()));
        EXPECT_EQ(log, bVerbose ? "Unable to open include file '" + bad + "'. Aborting.\n" + error : error);
        const std::string tail = "Content-Transfer-Encoding: base64\r\n\r\n";
        EXPECT_NE(message.find("\r\ntext\r\n--"), std::string::npos);
        EXPECT_EQ(message.rfind(tail), message.size() - tail.size()) << message;
    }
}

TEST_F(ComposerWriter, WriteErrorIsAFailure)
{
    ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));  // not verbose: the line is written anyway
    for (faults::Call fault : {faults::Call::kWriteFile, faults::Call::kFlushFile}) {
        FILE* pOut = std::tmpfile();
        faults::FaultyCalls calls;
        calls.Fail(fault, 1);
        CMailUtil session;
        session.AddPart(std::string(100000, 'a').c_str(), 0);
        EXPECT_EQ(session.WriteOutMessage(pOut), -1) << faults::NameOf(fault);
        std::fclose(pOut);
    }
    const std::string line = "CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n";
    EXPECT_EQ(LogText(), line + line);
}

TEST_F(ComposerWriter, PartsWithoutContentAreWrittenEmpty)
{
    CMailUtil session;
    session.AddPart((m_folder + "/missing.txt").c_str(), 7);
    session.AddPart("anything", 42);
    session.AddPart("x", 0);
    const std::string message = MaskAddresses(Compose(session));
    const std::string boundary = "\r\n--PART.BOUNDARY.MIXED.1234.6575A3C0.ABCD.ADDR1";
    const std::string text = boundary + "\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    EXPECT_EQ(message.substr(message.find(boundary)), text + text + text + "x" + boundary + "--\r\n");
}

}  // namespace
