// Submission through _Wrenpost to a real SMTP server (aiosmtpd) that speaks
// STARTTLS or TLS from the first byte with the test CA's certificates and
// asks for a login: what arrives, and that nothing arrives when the login or
// the certificate is wrong.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/SmtpCaptureServer.h"
#include "support/TestCertificates.h"

namespace dialoguetest {
namespace {

const char* const kUser = "ann";
const char* const kPassword = "c0rrect horse";

WRENPOSTADDRESS Address(const char* name, const std::string& email)
{
    WRENPOSTADDRESS record{};
    std::snprintf(record.NAME, sizeof record.NAME, "%s", name);
    std::snprintf(record.EMAIL, sizeof record.EMAIL, "%s", email.c_str());
    return record;
}

HGLOBAL BlockOf(const std::vector<WRENPOSTADDRESS>& records)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, records.size() * sizeof(WRENPOSTADDRESS));
    std::memcpy(GlobalLock(block), records.data(), records.size() * sizeof(WRENPOSTADDRESS));
    GlobalUnlock(block);
    return block;
}

// The envelope file: the sender, then one recipient a line.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

struct Server {
    std::string certificate = Certificates().localhost;
    bool implicitTls = false;
    std::vector<std::string> extra;  // further capture_server.py options
};

class SubmissionEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Certificates().ok) << "openssl could not make the test certificates";
        ResetLibraryStateForTesting();
        m_folder = std::filesystem::temp_directory_path() / ("quillnet-submit-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "inbox");
        std::filesystem::create_directories(m_folder / "tmp");
        ::setenv("MAIL_TEMP", (m_folder / "tmp").c_str(), 1);
        ::setenv("QUILLNET_TLS_CA_FILE", Certificates().caFile.c_str(), 1);
    }
    void TearDown() override
    {
        m_server.reset();
        ResetDiagnosticStreamForTesting();
        ResetLibraryStateForTesting();
        ::unsetenv("MAIL_TEMP");
        ::unsetenv("QUILLNET_TLS_CA_FILE");
        std::filesystem::remove_all(m_folder);
    }

    void Start(const Server& server)
    {
        std::vector<std::string> options = {"--cert", server.certificate,
                                            "--key",  TestCertificates::KeyOf(server.certificate),
                                            "--auth", std::string(kUser) + ":" + kPassword};
        if (server.implicitTls) options.push_back("--implicit-tls");
        options.insert(options.end(), server.extra.begin(), server.extra.end());
        m_server = std::make_unique<SmtpCaptureServer>((m_folder / "inbox").string(), options);
        ASSERT_TRUE(m_server->Started()) << "aiosmtpd (python3-aiosmtpd) did not start";
        m_errorReply[0] = '\0';
    }

    // The mail to `recipients` through `scheme`://localhost:<port> with the
    // login; `adjust` changes the rest.
    int Send(const std::string& scheme, const std::vector<std::string>& recipients,
             const std::function<void(WRENPOSTDATA&)>& adjust = {})
    {
        std::vector<WRENPOSTADDRESS> to;
        for (const std::string& recipient : recipients) to.push_back(Address("", recipient));
        const std::string host = scheme + "localhost:" + std::to_string(m_server->Port());
        const std::string debugFile = (m_folder / "debug.log").string();
        WRENPOSTDATA job{};
        job.MAILHOST = host.c_str();
        job.FROM = "\"Ann Example\" <ann@example.com>";
        job.SUBJECT = "Submitted";
        job.MESSAGETEXT = "Hello over TLS.\n";
        job.MESSAGETYPE = PART_TEXT;
        job.USERNAME = kUser;
        job.USERPASSWORD = kPassword;
        job.DEBUGFILE = debugFile.c_str();
        job.TOADR = BlockOf(to);
        job.SERVERERRORMESSAGE = m_errorReply;
        if (adjust) adjust(job);
        int32_t result = _Wrenpost(&job);
        GlobalFree(job.TOADR);
        ResetDiagnosticStreamForTesting();  // the debug file is complete
        m_debug = ReadWholeFile(debugFile);
        return result;
    }

    // The envelope recipients of each delivered message, in order.
    std::vector<std::vector<std::string>> Envelopes() const
    {
        std::vector<std::vector<std::string>> envelopes;
        for (const std::string& message : m_server->Messages()) {
            std::vector<std::string> lines =
                Lines(ReadWholeFile(message.substr(0, message.size() - 4) + ".envelope"));
            EXPECT_EQ(lines.empty() ? "" : lines[0], "ann@example.com");
            envelopes.emplace_back(lines.begin() + (lines.empty() ? 0 : 1), lines.end());
        }
        return envelopes;
    }

    std::filesystem::path m_folder;
    std::unique_ptr<SmtpCaptureServer> m_server;
    char m_errorReply[500] = "";
    std::string m_debug;
};

// What descriptor 0 is, or "closed": a TLS session must leave the host's
// descriptors as they were.
std::string StandardInput()
{
    struct stat status {};
    if (::fstat(0, &status) != 0) return "closed";
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

TEST_F(SubmissionEndToEnd, DeliveredOverBothTlsModesWithEitherMechanism)
{
    if (StandardInput() == "closed") {
        ASSERT_EQ(::open("/dev/null", O_RDONLY), 0);
    }
    const std::string standardInput = StandardInput();
    struct Case {
        const char* scheme;
        bool implicitTls;
        const char* mechanism;
    } const cases[] = {
        {"smtp+starttls://", false, "PLAIN"},
        {"smtp+starttls://", false, "LOGIN"},
        {"smtps://", true, "PLAIN"},
        {"smtps://", true, "LOGIN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.scheme) + " " + c.mechanism);
        Start({Certificates().localhost, c.implicitTls, {"--auth-mechanism", c.mechanism}});
        ASSERT_EQ(Send(c.scheme, {"bob@example.org", "carol@example.net"}), 0) << m_errorReply;
        ASSERT_EQ(StandardInput(), standardInput);
        std::vector<std::string> messages = m_server->Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(Envelopes()[0], (std::vector<std::string>{"bob@example.org", "carol@example.net"}));
        ParsedMessage parsed = ParseDeliveredMessage(messages[0], m_folder.string());
        EXPECT_EQ(parsed.defects, 0);
        ASSERT_EQ(parsed.parts.size(), 1u);
        EXPECT_NE(parsed.parts[0].body.find("Hello over TLS."), std::string::npos);
        EXPECT_NE(ReadWholeFile(messages[0]).find("\nMessage-ID: <"), std::string::npos);
        // The login is in the debug file only as stars.
        EXPECT_NE(m_debug.find(std::string("AUTH ") + c.mechanism), std::string::npos) << m_debug;
        EXPECT_EQ(m_debug.find(kPassword), std::string::npos);
        EXPECT_EQ(m_debug.find("YzBycmVjdCBob3JzZQ=="), std::string::npos);      // the password in base64
        EXPECT_EQ(m_debug.find("AGFubgBjMHJyZWN0IGhvcnNl"), std::string::npos);  // PLAIN's response
        std::filesystem::remove_all(m_folder / "inbox");
        std::filesystem::create_directories(m_folder / "inbox");
        m_server.reset();
    }
}

TEST_F(SubmissionEndToEnd, WrongPasswordIs9AndNothingIsDelivered)
{
    for (bool implicitTls : {false, true}) {
        Start({Certificates().localhost, implicitTls, {}});
        int result = Send(implicitTls ? "smtps://" : "smtp+starttls://", {"bob@example.org"},
                          [](WRENPOSTDATA& job) { job.USERPASSWORD = "wrong"; });
        EXPECT_EQ(result, RESULT_SERVER_ERROR) << implicitTls;
        EXPECT_EQ(std::string(m_errorReply).rfind("535", 0), 0u) << m_errorReply;
        EXPECT_TRUE(m_server->Messages().empty());
        m_server.reset();
    }
}

TEST_F(SubmissionEndToEnd, CertificateThatDoesNotVerifyIs6AndNothingIsDelivered)
{
    for (const std::string& certificate : {Certificates().expired, Certificates().otherName}) {
        for (bool implicitTls : {false, true}) {
            SCOPED_TRACE(certificate + (implicitTls ? " implicit" : " starttls"));
            Start({certificate, implicitTls, {}});
            EXPECT_EQ(Send(implicitTls ? "smtps://" : "smtp+starttls://", {"bob@example.org"}),
                      RESULT_CONNECT_FAILED);
            EXPECT_NE(std::string(m_errorReply).find("TLS: certificate verify failed"), std::string::npos)
                << m_errorReply;
            EXPECT_EQ(m_debug.find("AUTH"), std::string::npos) << "credentials sent without trusted TLS";
            EXPECT_TRUE(m_server->Messages().empty());
            m_server.reset();
        }
    }
}

TEST_F(SubmissionEndToEnd, RefusedRecipientIs16AndTheOthersGetTheMail)
{
    Start({Certificates().localhost, false, {"--refuse", "refused.example"}});
    int result = Send("smtp+starttls://", {"bob@example.org", "nobody@refused.example", "carol@example.net"});
    EXPECT_EQ(result, RESULT_SOME_RECIPIENTS_REFUSED);
    EXPECT_EQ(std::string(m_errorReply), "Refused: <nobody@refused.example> 550 5.1.1 No such user here");
    EXPECT_EQ(Envelopes(), (std::vector<std::vector<std::string>>{{"bob@example.org", "carol@example.net"}}));
}

TEST_F(SubmissionEndToEnd, RecipientsPastTheServersLimitGoInFurtherTransactions)
{
    Start({Certificates().localhost, true, {"--recipient-limit", "2"}});
    std::vector<std::string> recipients;
    for (int i = 1; i <= 5; ++i) recipients.push_back("r" + std::to_string(i) + "@example.org");
    ASSERT_EQ(Send("smtps://", recipients), 0) << m_errorReply;
    std::vector<std::vector<std::string>> envelopes = Envelopes();
    ASSERT_EQ(envelopes.size(), 3u);
    std::multiset<std::string> delivered;
    for (const auto& envelope : envelopes) {
        EXPECT_LE(envelope.size(), 2u);
        delivered.insert(envelope.begin(), envelope.end());
    }
    EXPECT_EQ(delivered, std::multiset<std::string>(recipients.begin(), recipients.end()));
}

// A message far larger than the records gathered for one send: the server
// takes it more slowly than it is encrypted, so sends wait for room.
TEST_F(SubmissionEndToEnd, LargeAttachmentArrivesWholeOverStartTls)
{
    std::string content;
    std::mt19937 random(11);
    for (int i = 0; i < 3 * 1024 * 1024; ++i) content += static_cast<char>(random());
    const std::string path = (m_folder / "large.bin").string();
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    HGLOBAL attachments = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(WRENPOSTATTACHMENT));
    auto* record = static_cast<WRENPOSTATTACHMENT*>(GlobalLock(attachments));
    std::snprintf(record->FILENAME, sizeof record->FILENAME, "%s", path.c_str());
    record->FILETYPE = PART_ATTACHMENT;
    GlobalUnlock(attachments);

    Start({Certificates().localhost, false, {}});
    int result = Send("smtp+starttls://", {"bob@example.org"},
                      [&](WRENPOSTDATA& job) { job.ATTACHMENTS = attachments; });
    GlobalFree(attachments);
    ASSERT_EQ(result, 0) << m_errorReply;
    ASSERT_EQ(m_server->Messages().size(), 1u);
    ParsedMessage parsed = ParseDeliveredMessage(m_server->Messages()[0], m_folder.string());
    EXPECT_EQ(parsed.defects, 0);
    ASSERT_EQ(parsed.parts.size(), 2u);
    EXPECT_TRUE(parsed.parts[1].body == content)
        << "attachment of " << parsed.parts[1].body.size() << " bytes";
}

// Without the extra CA file the server is trusted only through OpenSSL's
// default places, which SSL_CERT_FILE and SSL_CERT_DIR name.
TEST_F(SubmissionEndToEnd, DefaultTrustFollowsTheCertificateFileAndFolder)
{
    const std::string hashedFolder = (m_folder / "hashed").string();
    const std::string emptyFolder = (m_folder / "empty").string();
    std::filesystem::create_directories(emptyFolder);
    std::filesystem::create_directories(hashedFolder);
    FILE* hash = ::popen(("openssl x509 -hash -noout -in '" + Certificates().caFile + "'").c_str(), "r");
    ASSERT_TRUE(hash);
    char szHash[32] = "";
    ASSERT_TRUE(std::fgets(szHash, sizeof szHash, hash));
    ::pclose(hash);
    szHash[std::strcspn(szHash, "\n")] = '\0';
    std::filesystem::create_symlink(Certificates().caFile, hashedFolder + "/" + szHash + ".0");

    struct Case {
        const char* file;
        std::string folder;
        int expected;
    } const cases[] = {
        {Certificates().caFile.c_str(), emptyFolder, 0},
        {"/nonexistent/bundle.pem", hashedFolder, 0},
        {"/nonexistent/bundle.pem", emptyFolder, RESULT_CONNECT_FAILED},
    };
    ::unsetenv("QUILLNET_TLS_CA_FILE");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.folder);
        ::setenv("SSL_CERT_FILE", c.file, 1);
        ::setenv("SSL_CERT_DIR", c.folder.c_str(), 1);
        Start({Certificates().localhost, false, {}});
        EXPECT_EQ(Send("smtp+starttls://", {"bob@example.org"}), c.expected) << m_errorReply;
        EXPECT_EQ(m_server->Messages().size(), c.expected == 0 ? 1u : 0u);
        if (c.expected != 0) {
            EXPECT_NE(std::string(m_errorReply).find("certificate verify failed"), std::string::npos);
        }
        m_server.reset();
        std::filesystem::remove_all(m_folder / "inbox");
        std::filesystem::create_directories(m_folder / "inbox");
    }
    ::unsetenv("SSL_CERT_FILE");
    ::unsetenv("SSL_CERT_DIR");
}

}  // namespace
}  // namespace dialoguetest
