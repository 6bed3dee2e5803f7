// Whole composed messages, byte for byte, and the writer's failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "support/ComposerSupport.h"

using composer_test::Compose;
using composer_test::ComposerFixture;
using composer_test::MaskAddresses;
using composer_test::ReadFile;
using composer_test::ScopedCurrentFolder;
using composer_test::ScopedEnv;

namespace {

const char kFatalLine[] = "CMailUtil::WriteOutMessage() - Fatal error - processing aborted.\n";

std::string WithCrLf(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

class ComposerWriter : public ComposerFixture {
protected:
    void SetUp() override
    {
        ComposerFixture::SetUp();
        ::tzset();
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

TEST_F(ComposerWriter, PlainTextMessageCarriesItsPartHeadersInTheMessageHeader)
{
    std::strcpy(g_szMailer, "Bench Form 2");
    std::strcpy(g_szOrganization, "Example Ltd");
    CMailUtil session;
    session.SetSubject("Greetings");
    session.SetFrom("\"Ann\" <ann@example.com>");
    session.AddTo("Bob", "bob@example.com");
    session.AddTo(nullptr, "carl@example.com");
    session.SetPriority(3);
    session.AddPart("Hello Bob,\r\nsee you.\r\n", 6);
    AddDialogueHeaders(session);

    int result = -999;
    EXPECT_EQ(Compose(session, &result),
              "Subject: Greetings\r\n"
              "From: \"Ann\" <ann@example.com>\r\n"
              "X-Sender: ann@example.com\r\n"
              "To: \"Bob\" <bob@example.com>,carl@example.com\r\n"
              "X-Priority: 3\r\n"
              "Return-Path: ann@example.com\r\n"
              "Reply-To: ann@example.com\r\n"
              "Date: Sun, 10 Dec 2023 11:40:48 GMT\r\n"
              "MIME-Version: 1.0\r\n"
              "X-MailLibrary: quillnet 3.04\r\n"
              "X-Mailer: Bench Form 2\r\n"
              "Organization: Example Ltd\r\n"
              "Content-Type: text/plain; charset=iso-8859-1\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello Bob,\r\nsee you.\r\n");
    EXPECT_EQ(result, 0);
}

TEST_F(ComposerWriter, MissingSenderBecomesNullAfterTheLibraryLines)
{
    CMailUtil session;
    session.AddTo(nullptr, "bob@example.com");
    session.AddPart("caf\xE9", 6);
    AddDialogueHeaders(session);
    EXPECT_EQ(Compose(session),
              "To: bob@example.com\r\n"
              "Return-Path: (NULL)\r\n"
              "Reply-To: (NULL)\r\n"
              "Date: Sun, 10 Dec 2023 11:40:48 GMT\r\n"
              "MIME-Version: 1.0\r\n"
              "X-MailLibrary: quillnet 3.04\r\n"
              "From: (NULL)\r\n"
              "X-Sender: (NULL)\r\n"
              "Content-Type: text/plain; charset=iso-8859-1\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "\r\n"
              "caf=E9=\r\n");
}

TEST_F(ComposerWriter, ExplicitToTextComesAfterTheDateInNewsAndMail)
{
    const char* pszToText = "Team <team@example.com>\r\nBcc: spy@example.com";
    for (int bNews : {0, 1}) {
        CMailUtil session;
        session.m_bNewsMode = bNews;
        session.m_pszToText = pszToText;
        session.SetFrom("ann@example.com");
        session.AddTo("Bob", bNews ? "alt.test" : "bob@example.com");
        session.AddPart("x", 0);
        AddDialogueHeaders(session);
        std::string expected = std::string("From: ann@example.com\r\nX-Sender: ann@example.com\r\n") +
                               (bNews ? "Newsgroups: alt.test\r\n" : "Return-Path: ann@example.com\r\n") +
                               "Reply-To: ann@example.com\r\n"
                               "Date: Sun, 10 Dec 2023 11:40:48 GMT\r\n"
                               "To: Team <team@example.com>  Bcc: spy@example.com\r\n"
                               "MIME-Version: 1.0\r\n"
                               "X-MailLibrary: quillnet 3.04\r\n"
                               "Content-Type: text/plain; charset=iso-8859-1\r\n"
                               "\r\n"
                               "x";
        EXPECT_EQ(Compose(session), expected) << "news mode " << bNews;
    }
}

TEST_F(ComposerWriter, SingleAttachmentIsASinglePartMessage)
{
    std::string path = m_folder.WriteFile("data.bin", "hello\n");
    CMailUtil session;
    session.SetFrom("ann@example.com");
    session.AddPart(path.c_str(), 8);
    EXPECT_EQ(Compose(session),
              "From: ann@example.com\r\n"
              "X-Sender: ann@example.com\r\n"
              "MIME-Version: 1.0\r\n"
              "X-MailLibrary: quillnet 3.04\r\n"
              "Content-Type: unknown/bin\r\n"
              "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "\r\n"
              "aGVsbG8K\r\n");
}

TEST_F(ComposerWriter, MessageWithoutPartsEndsWithItsEmptyLine)
{
    CMailUtil session;
    session.SetFrom("ann@example.com");
    int result = -999;
    EXPECT_EQ(Compose(session, &result),
              "From: ann@example.com\r\n"
              "X-Sender: ann@example.com\r\n"
              "MIME-Version: 1.0\r\n"
              "X-MailLibrary: quillnet 3.04\r\n"
              "\r\n");
    EXPECT_EQ(result, 0);
}

TEST_F(ComposerWriter, HtmlWithRelatedPartsNestsInsideTheMixedBody)
{
    m_folder.WriteFile("pic.gif", "GIF89a");
    m_folder.WriteFile("logo.png", "\x89PNG\r\n");
    m_folder.WriteFile("report.pdf", "%PDF-1.4\n");
    ScopedCurrentFolder here(m_folder.Path());
    EnableLog();

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

    int result = -999;
    std::string message = Compose(session, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(MaskAddresses(message),
              WithCrLf(ReadFile(QUILLNET_TEST_DATA_DIR "/composer/multipart_related.eml")));

    std::smatch related;
    ASSERT_TRUE(std::regex_search(message, related, std::regex(R"(PART\.BOUNDARY\.RELATED\.[0-9A-F.]+)")));
    std::string log = LogText();
    size_t nWriterLines = log.find("_WriteOutMessage: Use MIME multipart...\n");
    ASSERT_NE(nWriterLines, std::string::npos);
    EXPECT_EQ(log.substr(nWriterLines),
              "_WriteOutMessage: Use MIME multipart...\n"
              "WriteMimeContent: About to include related parts...\n"
              "WriteMimeContent: About to include related parts...\n"
              "WriteMimeContent: Now including related parts...\n"
              "WriteMimeContent: PART: " +
                  related.str() +
                  "\n"
                  "WriteMimeContent: About to include related parts...\n");
}

TEST_F(ComposerWriter, EveryGroupHasItsOwnBoundary)
{
    m_folder.WriteFile("pic.gif", "GIF89a");
    ScopedCurrentFolder here(m_folder.Path());
    CMailUtil session;
    for (int i = 0; i < 2; ++i) {
        session.AddPart("<p>html</p>", 4);
        CMailPart* pHtml = session.m_pFirstPart;
        while (pHtml->m_pNext) pHtml = pHtml->m_pNext;
        (new CMailPart(&session, pHtml))->Create("pic.gif", 8, 0);
    }
    std::string message = Compose(session);
    std::set<std::string> boundaries;
    std::regex delimiter(R"(\r\n--(PART\.BOUNDARY\.[A-Z]+\.[0-9A-F.]+?)(--)?\r\n)");
    for (std::sregex_iterator it(message.begin(), message.end(), delimiter), end; it != end; ++it)
        boundaries.insert((*it)[1].str());
    EXPECT_EQ(boundaries.size(), 3u);  // one mixed, two related
    for (const std::string& boundary : boundaries)
        EXPECT_NE(message.find("\r\n--" + boundary + "--\r\n"), std::string::npos)
            << boundary << " is closed";
}

TEST_F(ComposerWriter, RegisteredTypesAreWrittenWithQuotedParameters)
{
    struct Case {
        const char* pszRegistered;
        const char* pszWritten;
    } cases[] = {
        {"text/plain;charset=utf-8", "text/plain;\r\n\tcharset=\"utf-8\"\r\n"},
        {"oddtype", "oddtype/unknown\r\n"},
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
        composer_test::TempFolder registryFolder;
        std::string registry =
            registryFolder.WriteFile("mime.types", std::string(c.pszRegistered) + " att\n");
        ScopedEnv mimeTypes("QUILLNET_MIME_TYPES", registry.c_str());
        CMailUtil session;
        session.AddPart(attachment.c_str(), 8);
        std::string message = Compose(session);
        size_t nStart = message.find("Content-Type: ");
        size_t nEnd = message.find("Content-Disposition: ");
        ASSERT_NE(nStart, std::string::npos);
        ASSERT_NE(nEnd, std::string::npos);
        nStart += std::strlen("Content-Type: ");
        EXPECT_EQ(message.substr(nStart, nEnd - nStart), c.pszWritten) << c.pszRegistered;
    }
}

TEST_F(ComposerWriter, LineBreaksInAFileNameCannotStartAHeader)
{
    std::string path = m_folder.WriteFile("evil.x\r\nBcc: a@b", "z");
    CMailUtil session;
    session.AddPart(path.c_str(), 8);
    std::string message = Compose(session);
    EXPECT_NE(message.find("Content-Type: unknown/x  Bcc: a@b\r\n"
                           "Content-Disposition: attachment; filename=\"evil.x  Bcc: a@b\"\r\n"),
              std::string::npos)
        << message;
}

TEST_F(ComposerWriter, UnreadableAttachmentStopsTheMessageWithResultTwelve)
{
    std::string good = m_folder.WriteFile("good.bin", "good");
    for (bool bVerbose : {false, true}) {
        for (const std::string& bad : {m_folder.Path() + "/deleted.bin", m_folder.Path()}) {
            ResetDiagnosticStreamForTesting();
            std::remove(m_logPath.c_str());
            ASSERT_TRUE(OpenDebugFile(m_logPath.c_str()));
            g_bVerbose = bVerbose;
            CMailUtil session;
            session.AddPart("text", 1);
            session.AddPart(bad.c_str(), 8);
            session.AddPart(good.c_str(), 8);
            int result = -999;
            std::string message = Compose(session, &result);
            EXPECT_EQ(result, 12) << bad;
            EXPECT_EQ(session.m_nError, 12);
            std::string expectedLog = "CMailUtil::WriteOutMessage() - SMTP Error : 12.\n";
            if (bVerbose) {
                expectedLog = "CMailPart::Create: text\nCMailPart::Create: " + bad +
                              "\nCMailPart::Create: " + good +
                              "\n_WriteOutMessage: Use MIME multipart...\n"
                              "WriteMimeContent: About to include related parts...\n"
                              "WriteMimeContent: About to include related parts...\n"
                              "Unable to open include file '" +
                              bad + "'. Aborting.\n" + expectedLog;
            }
            EXPECT_EQ(LogText(), expectedLog);
            // What came before the failure is in the file; nothing after it.
            EXPECT_NE(message.find("\r\ntext\r\n--"), std::string::npos);
            const std::string end = "Content-Transfer-Encoding: base64\r\n\r\n";
            ASSERT_GE(message.size(), end.size());
            EXPECT_EQ(message.substr(message.size() - end.size()), end);
            EXPECT_EQ(message.find("good.bin"), std::string::npos);
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
    EXPECT_EQ(LogText(), kFatalLine);
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
    const std::string b = "PART.BOUNDARY.MIXED.1234.6575A3C0.ABCD.ADDR1";
    size_t nFirst = message.find("\r\n--" + b + "\r\n");
    ASSERT_NE(nFirst, std::string::npos);
    EXPECT_EQ(message.substr(nFirst), "\r\n--" + b +
                                          "\r\n"
                                          "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n"
                                          "\r\n--" +
                                          b +
                                          "\r\n"
                                          "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n"
                                          "\r\n--" +
                                          b +
                                          "\r\n"
                                          "Content-Type: unknown/bin\r\n"
                                          "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
                                          "Content-Transfer-Encoding: base64\r\n\r\n"
                                          "YWJj\r\n"
                                          "\r\n--" +
                                          b + "--\r\n");
}

}  // namespace
