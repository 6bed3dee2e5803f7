// Whole composed messages, byte for byte, and the writer's failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "support/ComposerSupport.h"

using composer_test::Compose;
using composer_test::ComposerFixture;
using composer_test::MaskAddresses;
using composer_test::ScopedCurrentFolder;
using composer_test::ScopedEnv;

namespace {

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class ComposerWriter : public ComposerFixture {
protected:
    void SetUp() override
    {
        ComposerFixture::SetUp();
        tzset();
    }
    // The lines the dialogue adds before the writer runs.
    static void AddDialogueHeaders(CMailUtil& session)
    {
        std::string sender = session.GetHeader("X-Sender", "(NULL)");
        if (!session.m_bNewsMode) session.SetHeader("Return-Path", sender.c_str(), 0);
        session.SetHeader("Reply-To", sender.c_str(), 0);
        session.SetDate();
    }
    ScopedEnv m_zone{"TZ", "UTC0"};
};

TEST_F(ComposerWriter, SinglePartMessagesCarryThePartHeadersInTheMessageHeader)
{
    const std::string date = "Date: Sun, 10 Dec 2023 11:40:48 GMT\r\n";
    const std::string library = "MIME-Version: 1.0\r\nX-MailLibrary: quillnet 3.04\r\n";
    const std::string attachment = m_folder.WriteFile("data.bin", "hello\n");
    struct Case {
        const char* pszName;
        std::function<void(CMailUtil&)> fill;
        std::string expected;
    } cases[] = {
        {"plain text",
         [](CMailUtil& s) {
             std::strcpy(g_szMailer, "Bench Form 2");
             std::strcpy(g_szOrganization, "Example Ltd");
             s.SetSubject("Greetings");
             s.SetFrom("\"Ann\" <ann@example.com>");
             s.AddTo("Bob", "bob@example.com");
             s.AddTo(nullptr, "carl@example.com");
             s.SetPriority(3);
             s.AddPart("Hello Bob,\r\nsee you.\r\n", 6);
         },
         "Subject: Greetings\r\nFrom: \"Ann\" <ann@example.com>\r\nX-Sender: ann@example.com\r\n"
         "To: \"Bob\" <bob@example.com>,carl@example.com\r\nX-Priority: 3\r\n"
         "Return-Path: ann@example.com\r\nReply-To: ann@example.com\r\n" +
             date + library +
             "X-Mailer: Bench Form 2\r\nOrganization: Example Ltd\r\n"
             "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
             "Hello Bob,\r\nsee you.\r\n"},
        {"no sender",
         [](CMailUtil& s) {
             s.AddTo(nullptr, "bob@example.com");
             s.AddPart("caf\xE9", 6);
         },
         "To: bob@example.com\r\nReturn-Path: (NULL)\r\nReply-To: (NULL)\r\n" + date + library +
             "From: (NULL)\r\nX-Sender: (NULL)\r\n"
             "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: "
             "quoted-printable\r\n\r\n"
             "caf=E9=\r\n"},
        {"explicit To text",
         [](CMailUtil& s) {
             s.m_pszToText = "Team <team@example.com>\r\nBcc: spy@example.com";
             s.SetFrom("ann@example.com");
             s.AddTo("Bob", "bob@example.com");
             s.AddPart("x", 0);
         },
         "From: ann@example.com\r\nX-Sender: ann@example.com\r\nReturn-Path: ann@example.com\r\n"
         "Reply-To: ann@example.com\r\n" +
             date + "To: Team <team@example.com>  Bcc: spy@example.com\r\n" + library +
             "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nx"},
        {"attachment",
         [&](CMailUtil& s) {
             s.m_bNewsMode = 1;
             s.AddTo(nullptr, "alt.test");
             s.AddPart(attachment.c_str(), 8);
         },
         "Newsgroups: alt.test\r\nReply-To: (NULL)\r\n" + date + library +
             "From: (NULL)\r\nX-Sender: (NULL)\r\nContent-Type: unknown/bin\r\n"
             "Content-Disposition: attachment; filename=\"data.bin\"\r\nContent-Transfer-Encoding: "
             "base64\r\n\r\n"
             "aGVsbG8K\r\n"},
        {"no part", [](CMailUtil& s) { s.SetFrom("ann@example.com"); },
         "From: ann@example.com\r\nX-Sender: ann@example.com\r\nReturn-Path: ann@example.com\r\n"
         "Reply-To: ann@example.com\r\n" +
             date + library + "\r\n"},
    };
    for (const Case& c : cases) {
        ResetLibraryStateForTesting();
        CMailUtil session;
        c.fill(session);
        AddDialogueHeaders(session);
        int result = -999;
        EXPECT_EQ(Compose(session, &result), c.expected) << c.pszName;
        EXPECT_EQ(result, 0) << c.pszName;
    }
}

TEST_F(ComposerWriter, HtmlWithRelatedPartsNestsInsideTheMixedBody)
{
    m_folder.WriteFile("pic.gif", "GIF89a");
    m_folder.WriteFile("logo.png", "\x89PNG\r\n");
    m_folder.WriteFile("report.pdf", "%PDF-1.4\n");
    ScopedCurrentFolder here(m_folder.Path());
    CMailUtil session;
    session.SetSubject("Pictures");
    session.SetFrom("ann@example.com");
    session.AddTo(nullptr, "bob@example.com");
    session.AddPart("See the pictures below.\r\n", 6);
    session.AddPart("<p>Hi</p>", 4);
    CMailPart* pHtml = session.m_pFirstPart->m_pNext;
    (new CMailPart(&session, pHtml))->Create("pic.gif", 8, 0);
    (new CMailPart(&session, pHtml))->Create("logo.png", 8, 0);
    session.AddPart("report.pdf", 8);
    AddDialogueHeaders(session);
    EnableLog();

    int result = -999;
    std::string message = Compose(session, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(MaskAddresses(message), composer_test::Golden("multipart_related.eml"));
    EXPECT_EQ(MaskAddresses(LogText()),
              "_WriteOutMessage: Use MIME multipart...\n"
              "WriteMimeContent: About to include related parts...\n"
              "WriteMimeContent: About to include related parts...\n"
              "WriteMimeContent: Now including related parts...\n"
              "WriteMimeContent: PART: PART.BOUNDARY.RELATED.1234.6575A3C0.ABCD.ADDR1\n"
              "WriteMimeContent: About to include related parts...\n");
}

TEST_F(ComposerWriter, ContentTypesAreWrittenWithQuotedParameters)
{
    struct Case {
        const char *pszRegistered, *pszWritten;
    } cases[] = {
        {"text/plain;charset=utf-8", "text/plain;\r\n\tcharset=\"utf-8\"\r\n"},
        {"oddtype;a=b", "oddtype/unknown;\r\n\ta=\"b\"\r\n"},
        {"a/b;name=\"q\\\"v\"tail;flag", "a/b;\r\n\tname=\"q\\\"v\";\r\n\tflag\r\n"},
        {"a/b;p=x\"y\\z", "a/b;\r\n\tp=\"x\\\"y\\\\z\"\r\n"},
        {"a/b;p=", "a/b;\r\n\tp=\"\"\r\n"},
        {"a/b;p=\"abc", "a/b;\r\n\tp=\"abc\"\r\n"},
        {"a/b;p=\"ab\\", "a/b;\r\n\tp=\"ab\\\\\"\r\n"},
        {"a/b;p=1=2", "a/b;\r\n\tp=\"1=2\"\r\n"},
    };
    std::string attachment = m_folder.WriteFile("f.att", "");
    for (const Case& c : cases) {
        m_folder.WriteFile("mime.types", std::string(c.pszRegistered) + " att\n");
        CMailUtil session;
        session.AddPart(attachment.c_str(), 8);
        std::string message = Compose(session);
        size_t nStart = message.find("Content-Type: ") + std::strlen("Content-Type: ");
        EXPECT_EQ(message.substr(nStart, message.find("Content-Disposition: ") - nStart), c.pszWritten)
            << c.pszRegistered;
    }

    // Line breaks in a file name cannot start a header of their own.
    CMailUtil session;
    session.AddPart(m_folder.WriteFile("evil.x\r\nBcc: a@b", "z").c_str(), 8);
    EXPECT_NE(Compose(session).find("Content-Type: unknown/x  Bcc: a@b\r\n"
                                    "Content-Disposition: attachment; filename=\"evil.x  Bcc: a@b\"\r\n"),
              std::string::npos);
}

TEST_F(ComposerWriter, UnreadableAttachmentStopsTheMessageWithResultTwelve)
{
    std::string good = m_folder.WriteFile("good.bin", "good");
    for (bool bVerbose : {false, true}) {
        for (const std::string& bad : {m_folder.Path() + "/deleted.bin", m_folder.Path()}) {
            CMailUtil session;
            session.AddPart("text", 1);
            session.AddPart(bad.c_str(), 8);
            session.AddPart(good.c_str(), 8);
            std::remove(m_logPath.c_str());
            ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));
            g_bVerbose = bVerbose;
            int result = -999;
            std::string message = Compose(session, &result);
            EXPECT_EQ(result, 12) << bad;
            std::string expectedLog = "CMailUtil::WriteOutMessage() - SMTP Error : 12.\n";
            if (bVerbose)
                expectedLog = "Unable to open include file '" + bad + "'. Aborting.\n" + expectedLog;
            std::string log = LogText();
            EXPECT_TRUE(EndsWith(log, expectedLog)) << log;
            if (!bVerbose) {
                EXPECT_EQ(log, expectedLog);
            }
            // The parts before the failure are in the file; nothing after it.
            EXPECT_NE(message.find("\r\ntext\r\n--"), std::string::npos);
            EXPECT_TRUE(EndsWith(message, "Content-Transfer-Encoding: base64\r\n\r\n")) << message;
        }
    }
}

TEST_F(ComposerWriter, WriteErrorIsAFailure)
{
    FILE* pFull = std::fopen("/dev/full", "w+b");
    if (!pFull) GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));  // not verbose: the line is written anyway
    CMailUtil session;
    session.AddPart(std::string(100000, 'a').c_str(), 0);
    EXPECT_EQ(session.WriteOutMessage(pFull), -1);
    std::fclose(pFull);
    EXPECT_EQ(LogText(), "CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n");
}

TEST_F(ComposerWriter, PartsWithoutContentAreWrittenEmpty)
{
    std::string path = m_folder.WriteFile("a.bin", "abc");
    CMailUtil session;
    session.AddPart((m_folder.Path() + "/missing.txt").c_str(), 7);
    session.AddPart("anything", 42);
    session.AddPart(path.c_str(), 8);
    int result = -999;
    std::string message = MaskAddresses(Compose(session, &result));
    EXPECT_EQ(result, 0);
    const std::string delimiter = "\r\n--PART.BOUNDARY.MIXED.1234.6575A3C0.ABCD.ADDR1";
    const std::string empty = delimiter + "\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    EXPECT_EQ(message.substr(message.find(delimiter + "\r\n")),
              empty + empty + delimiter +
                  "\r\nContent-Type: unknown/bin\r\nContent-Disposition: attachment; filename=\"a.bin\"\r\n"
                  "Content-Transfer-Encoding: base64\r\n\r\nYWJj\r\n" +
                  delimiter + "--\r\n");
}

}  // namespace
