// The submission modes against a scripted server that speaks TLS with the
// test CA's certificates: what real servers do not do (no STARTTLS, bytes
// injected before the handshake, a stalled handshake, 452 after some
// recipients, refusals, replies in pieces), each with its result and what
// the server was sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Globals.h"
#include "SMTPEmail.h"
#include "quillnet/wrenpost.h"
#include "support/DialogueFixture.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

namespace dialoguetest {
namespace {

ScriptStep Tls(const std::string& certificate)
{
    return StartTls(certificate, TestCertificates::KeyOf(certificate));
}

const std::string kEhlo = "EHLO client.test\r\n";
const std::string kPlain = "250-hello\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";

class SubmissionTest : public DialogueTest {
protected:
    void SetUp() override
    {
        DialogueTest::SetUp();
        ASSERT_TRUE(Certificates().ok) << "openssl could not make the test certificates";
        ::setenv("QUILLNET_TLS_CA_FILE", Certificates().caFile.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("QUILLNET_TLS_CA_FILE");
        DialogueTest::TearDown();
    }

    // Up to the second EHLO's reply `ehlo` after STARTTLS.
    static Script StartTlsThen(const std::string& ehlo)
    {
        return {
            Reply("220 ready\r\n"),        ReadLine(), Reply(kPlain), ReadLine(), Reply("220 go ahead\r\n"),
            Tls(Certificates().localhost), ReadLine(), Reply(ehlo)};
    }

    SessionResult Submit(ScriptedServer& server, const std::string& scheme = "smtp+starttls://",
                         const std::function<void(CSMTPEmail&)>& fill = FillSimpleMail)
    {
        return Deliver(scheme + "localhost:" + std::to_string(server.Port()), &server, fill);
    }
};

// STARTTLS must be offered, answered cleanly and the handshake completed;
// otherwise the call fails with 6 having sent nothing past STARTTLS.
TEST_F(SubmissionTest, StartTlsIsRequiredAndItsAttacksFail)
{
    struct Case {
        const char* name;
        Script script;
        std::string commands;
        std::string errorReply;
    };
    const Case cases[] = {
        {"not offered",
         {Reply("220 ready\r\n"), ReadLine(), Reply("250-hello\r\n250 AUTH PLAIN\r\n")},
         kEhlo,
         "TLS: the server does not offer STARTTLS"},
        {"bytes injected after the 220",
         {Reply("220 ready\r\n"), ReadLine(), Reply(kPlain), ReadLine(),
          Reply("220 go ahead\r\n250-forged\r\n250 AUTH PLAIN\r\n")},
         kEhlo + "STARTTLS\r\n",
         "TLS: the server sent data before the TLS handshake"},
        {"certificate for another name",
         {Reply("220 ready\r\n"), ReadLine(), Reply(kPlain), ReadLine(), Reply("220 go ahead\r\n"),
          Tls(Certificates().otherName)},
         kEhlo + "STARTTLS\r\n",
         "TLS: certificate verify failed: hostname mismatch"},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script);
        SessionResult outcome = Submit(server);
        EXPECT_EQ(outcome.result, 6) << c.name;
        EXPECT_EQ(outcome.commands, c.commands) << c.name;
        EXPECT_EQ(outcome.errorReply, c.errorReply) << c.name;
        EXPECT_NE(outcome.log.find(c.errorReply + "\n"), std::string::npos) << c.name;
        EXPECT_TRUE(TempFolderIsEmpty()) << c.name;
    }
}

TEST_F(SubmissionTest, StalledHandshakeTimesOut)
{
    ::setenv("QUILLNET_TIMEOUT", "1", 1);
    ScriptedServer server({Reply("220 ready\r\n"), ReadLine(), Reply(kPlain), ReadLine(),
                           Reply("220 go ahead\r\n"), StopReading()});
    SessionResult outcome = Submit(server);
    EXPECT_EQ(outcome.result, 6);
    EXPECT_EQ(outcome.errorReply, "TLS: handshake timed out");
}

// Implicit TLS: certificates that do not verify fail the connection.
TEST_F(SubmissionTest, CertificatesThatDoNotVerifyFailWith6)
{
    struct Case {
        std::string certificate;
        bool withTestCa;
        std::string reason;
    };
    const Case cases[] = {
        {Certificates().expired, true, "certificate has expired"},
        {Certificates().otherName, true, "hostname mismatch"},
        {Certificates().localhost, false, "unable to get local issuer certificate"},
    };
    for (const Case& c : cases) {
        if (!c.withTestCa) ::unsetenv("QUILLNET_TLS_CA_FILE");
        ScriptedServer server({Tls(c.certificate), Reply("220 ready\r\n"), ReadLine()});
        SessionResult outcome = Submit(server, "smtps://");
        EXPECT_EQ(outcome.result, 6) << c.reason;
        EXPECT_EQ(outcome.errorReply, "TLS: certificate verify failed: " + c.reason);
        EXPECT_EQ(outcome.wire, "") << "nothing may reach a server that did not prove its name";
    }
}

// After STARTTLS the capabilities are learnt anew (no PIPELINING now), AUTH
// comes only then, envelope addresses are in angle brackets, and the
// password never shows in the debug file.
TEST_F(SubmissionTest, StartTlsThenAuthPlainThenLockstepTransaction)
{
    ScriptedServer server(StartTlsThen("250-hello again\r\n250-AUTH PLAIN LOGIN\r\n250 SIZE 100000\r\n") +
                          Script{ReadLine(), Reply("235 ok\r\n"), ReadLine(), Reply("250 sender ok\r\n"),
                                 ReadLine(), Reply("250 rcpt ok\r\n"), ReadLine(), Reply("354 go\r\n"),
                                 ReadData(), Reply("250 queued\r\n"), ReadLine(), Reply("221 bye\r\n")});
    SessionResult outcome = Submit(server, "smtp+starttls://", [](CSMTPEmail& session) {
        FillSimpleMail(session);
        session.m_submissionUser = "ann";
        session.m_submissionPassword = "secret";
    });
    EXPECT_EQ(outcome.result, 0) << outcome.errorReply;
    EXPECT_EQ(outcome.commands,
              kEhlo + "STARTTLS\r\n" + kEhlo + "AUTH PLAIN AGFubgBzZWNyZXQ=\r\n" +
                  "MAIL FROM:<ann@example.com> SIZE=" + std::to_string(outcome.message.size()) +
                  "\r\nRCPT TO:<bob@example.org>\r\nDATA\r\n<message>.\r\nQUIT\r\n");
    EXPECT_NE(outcome.log.find("Sent: AUTH PLAIN ****\n"), std::string::npos) << outcome.log << "\n-----\n"
                                                                              << outcome.message;
    EXPECT_EQ(outcome.log.find("AGFubgBzZWNyZXQ="), std::string::npos);
    EXPECT_NE(outcome.message.find("\r\nMessage-ID: <"), std::string::npos);
    EXPECT_NE(outcome.message.find("@client.test>\r\n"), std::string::npos);
}

TEST_F(SubmissionTest, AuthMechanismChoiceAndRefusal)
{
    const Script transaction = {ReadLine(), Reply("250 sender ok\r\n"), ReadLine(), Reply("250 rcpt ok\r\n"),
                                ReadLine(), Reply("354 go\r\n"),        ReadData(), Reply("250 queued\r\n"),
                                ReadLine(), Reply("221 bye\r\n")};
    struct Case {
        const char* name;
        std::string password;
        Script script;
        int result;
        std::string auth;  // the commands from AUTH up to MAIL
        std::string errorReply;
    };
    const Case cases[] = {
        {"LOGIN when PLAIN is not offered", "secret",
         Script{ReadLine(), Reply("334 VXNlcm5hbWU6\r\n"), ReadLine(), Reply("334 UGFzc3dvcmQ6\r\n"),
                ReadLine(), Reply("235 ok\r\n")} +
             transaction,
         0, "AUTH LOGIN\r\nYW5u\r\nc2VjcmV0\r\n", ""},
        {"XOAUTH2 for a bearer token", "bearer:tok", Script{ReadLine(), Reply("235 ok\r\n")} + transaction, 0,
         "AUTH XOAUTH2 dXNlcj1hbm4BYXV0aD1CZWFyZXIgdG9rAQE=\r\n", ""},
        {"refused",
         "secret",
         {ReadLine(), Reply("334 VXNlcm5hbWU6\r\n"), ReadLine(), Reply("334 UGFzc3dvcmQ6\r\n"), ReadLine(),
          Reply("535 5.7.8 bad credentials\r\n")},
         9,
         "AUTH LOGIN\r\nYW5u\r\nc2VjcmV0\r\n",
         "535 5.7.8 bad credentials\r\n"},
        {"refused token",
         "bearer:tok",
         {ReadLine(), Reply("334 eyJzdGF0dXMiOiI0MDEifQ==\r\n"), ReadLine(), Reply("535 no\r\n")},
         9,
         "AUTH XOAUTH2 dXNlcj1hbm4BYXV0aD1CZWFyZXIgdG9rAQE=\r\n\r\n",
         "535 no\r\n"},
    };
    for (const Case& c : cases) {
        ScriptedServer server(StartTlsThen("250-hello again\r\n250 AUTH LOGIN XOAUTH2\r\n") + c.script);
        SessionResult outcome = Submit(server, "smtp+starttls://", [&c](CSMTPEmail& session) {
            FillSimpleMail(session);
            session.m_submissionUser = "ann";
            session.m_submissionPassword = c.password;
        });
        EXPECT_EQ(outcome.result, c.result) << c.name;
        const std::string prefix = kEhlo + "STARTTLS\r\n" + kEhlo;
        EXPECT_EQ(outcome.commands.substr(prefix.size(), c.auth.size()), c.auth) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(outcome.commands.substr(prefix.size() + c.auth.size(), 5), "MAIL ") << c.name;
        } else {
            EXPECT_EQ(outcome.commands.size(), prefix.size() + c.auth.size()) << c.name;
        }
        EXPECT_EQ(outcome.errorReply, c.errorReply) << c.name;
        EXPECT_EQ(outcome.log.find("c2VjcmV0"), std::string::npos) << c.name;
        EXPECT_EQ(outcome.log.find("dG9r"), std::string::npos) << c.name;
    }
}

// With PIPELINING the server reads the whole envelope before it answers
// anything (a lockstep client would wait forever); replies come in pieces;
// a refused recipient does not stop the others getting the mail.
TEST_F(SubmissionTest, PipelinedEnvelopeWithOneRefusedRecipientGives16)
{
    ScriptedServer server(
        Script{Tls(Certificates().localhost), Reply("220 ready\r\n"), ReadLine(),
               Reply("250-hello\r\n250-PIPELINING\r\n250 8BITMIME\r\n"), ReadLine(), ReadLine(), ReadLine(),
               ReadLine(), ReadLine(),
               ReplyInPieces({"250 sender ok\r\n250 rcpt", " ok\r\n550 5.1.1 no such user\r\n25",
                              "0 rcpt ok\r\n354 go\r\n"}),
               ReadData(), Reply("250 queued\r\n"), ReadLine(), Reply("221 bye\r\n")});
    SessionResult outcome = Submit(server, "smtps://", [](CSMTPEmail& session) {
        FillSimpleMail(session);
        session.AddCc("", "carol@example.net");
        session.AddBcc("dave@example.com");
    });
    EXPECT_EQ(outcome.result, 16);
    EXPECT_EQ(outcome.commands, kEhlo +
                                    "MAIL FROM:<ann@example.com>\r\nRCPT TO:<bob@example.org>\r\n"
                                    "RCPT TO:<carol@example.net>\r\nRCPT TO:<dave@example.com>\r\nDATA\r\n"
                                    "<message>.\r\nQUIT\r\n");
    EXPECT_EQ(outcome.errorReply, "Refused: <carol@example.net> 550 5.1.1 no such user");
    EXPECT_NE(outcome.log.find("Refused: <carol@example.net> 550 5.1.1 no such user\n"), std::string::npos);
}

// 8-bit text asks for BODY=8BITMIME, a non-ASCII address for SMTPUTF8, when
// the server offers them.
TEST_F(SubmissionTest, EightBitBodyAndUtf8AddressAreAnnounced)
{
    ScriptedServer server(Script{Tls(Certificates().localhost), Reply("220 ready\r\n"), ReadLine(),
                                 Reply("250-hello\r\n250-8BITMIME\r\n250 SMTPUTF8\r\n"), ReadLine(),
                                 Reply("552 too big\r\n")});
    SessionResult outcome = Submit(server, "smtps://", [](CSMTPEmail& session) {
        session.SetFrom("j\xC3\xBCrgen@example.de");
        session.AddTo("", "bob@example.org");
        session.AddPart(
            "Gr\xC3\xBC\xC3\x9F"
            "e\r\n",
            0);
    });
    EXPECT_EQ(outcome.result, 9);
    EXPECT_EQ(outcome.commands, kEhlo + "MAIL FROM:<j\xC3\xBCrgen@example.de> BODY=8BITMIME SMTPUTF8\r\n");
    EXPECT_EQ(outcome.errorReply, "552 too big\r\n");
}

// Base64 carries 8-bit content in US-ASCII: such an attachment alone asks
// for no BODY=8BITMIME.
TEST_F(SubmissionTest, EightBitAttachmentInBase64IsNotAnnounced)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("quillnet-8bit-" + std::to_string(::getpid()))).string();
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fputs("\xFF\xFE binary \x80\r\n", file);
    std::fclose(file);
    ScriptedServer server(Script{Tls(Certificates().localhost), Reply("220 ready\r\n"), ReadLine(),
                                 Reply("250-hello\r\n250 8BITMIME\r\n"), ReadLine(),
                                 Reply("552 too big\r\n")});
    SessionResult outcome = Submit(server, "smtps://", [&path](CSMTPEmail& session) {
        session.SetFrom("ann@example.com");
        session.AddTo("", "bob@example.org");
        session.AddPart("Hello.\r\n", PART_TEXT);
        session.AddPart(path.c_str(), PART_ATTACHMENT);
    });
    std::remove(path.c_str());
    EXPECT_EQ(outcome.result, 9);
    EXPECT_EQ(outcome.commands, kEhlo + "MAIL FROM:<ann@example.com>\r\n");
}

// 452 after two recipients: those two get the message, the third gets it in
// a second transaction on the same connection. Every recipient refused: 9
// and no message sent.
TEST_F(SubmissionTest, TooManyRecipientsGoInAFurtherTransactionAndAllRefusedIs9)
{
    const Script greeting = {Tls(Certificates().localhost), Reply("220 ready\r\n"), ReadLine(),
                             Reply("250 hello\r\n")};
    auto three = [](CSMTPEmail& session) {
        FillSimpleMail(session);
        session.AddCc("", "carol@example.net");
        session.AddCc("", "dave@example.com");
    };
    {
        ScriptedServer server(
            greeting +
            Script{ReadLine(), Reply("250 ok\r\n"), ReadLine(), Reply("250 ok\r\n"),
                   ReadLine(), Reply("250 ok\r\n"), ReadLine(), Reply("452 4.5.3 too many recipients\r\n"),
                   ReadLine(), Reply("354 go\r\n"), ReadData(), Reply("250 first\r\n"),
                   ReadLine(), Reply("250 ok\r\n"), ReadLine(), Reply("250 ok\r\n"),
                   ReadLine(), Reply("354 go\r\n"), ReadData(), Reply("250 second\r\n"),
                   ReadLine(), Reply("221 bye\r\n")});
        SessionResult outcome = Submit(server, "smtps://", three);
        EXPECT_EQ(outcome.result, 0) << outcome.errorReply;
        const std::string wire = outcome.wire;
        const std::string first =
            "MAIL FROM:<ann@example.com>\r\nRCPT TO:<bob@example.org>\r\n"
            "RCPT TO:<carol@example.net>\r\nRCPT TO:<dave@example.com>\r\nDATA\r\n";
        const std::string second =
            ".\r\nMAIL FROM:<ann@example.com>\r\nRCPT TO:<dave@example.com>\r\nDATA\r\n";
        EXPECT_EQ(wire.find(kEhlo + first), 0u);
        EXPECT_NE(wire.find(second), std::string::npos);
        EXPECT_TRUE(wire.size() > 9 && wire.compare(wire.size() - 9, 9, ".\r\nQUIT\r\n") == 0);
    }
    {
        ScriptedServer server(greeting + Script{ReadLine(), Reply("250 ok\r\n"), ReadLine(),
                                                Reply("550 no bob\r\n"), ReadLine(),
                                                Reply("550 no carol\r\n"), ReadLine(), Reply("452 later\r\n"),
                                                ReadLine(), Reply("250 reset\r\n")});
        SessionResult outcome = Submit(server, "smtps://", three);
        EXPECT_EQ(outcome.result, 9);
        EXPECT_EQ(outcome.errorReply,
                  "Refused: <bob@example.org> 550 no bob; <carol@example.net> 550 no carol; "
                  "<dave@example.com> 452 later");
        EXPECT_EQ(outcome.wire.find("DATA"), std::string::npos) << "nothing delivered";
    }
}

}  // namespace
}  // namespace dialoguetest
