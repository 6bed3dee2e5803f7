// Posting through _Wrenpost to a real news server (INN's nnrpd, private on
// loopback) over nntps:// and nntp+starttls://: the article that INN spools,
// read back with Python's email parser, and nothing spooled when the
// server's certificate does not verify.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "Globals.h"
#include "quillnet/wrenpost.h"
#include "support/InnServer.h"
#include "support/SmtpCaptureServer.h"
#include "support/TestCertificates.h"

namespace dialoguetest {
namespace {

class NewsOverTls : public testing::Test {
protected:
    void SetUp() override
    {
        if (!InnServer::Installed()) {
            GTEST_SKIP() << "INN is not installed (" << InnServer::DaemonPath()
                         << " is missing: Debian package inn2); the news server tests do not run";
        }
        ASSERT_TRUE(Certificates().ok) << "openssl could not make the test certificates";
        ResetLibraryStateForTesting();
        m_folder = std::filesystem::temp_directory_path() / ("quillnet-inn-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder / "tmp");
        ::setenv("MAIL_TEMP", (m_folder / "tmp").c_str(), 1);
        ::setenv("QUILLNET_TLS_CA_FILE", Certificates().caFile.c_str(), 1);
    }
    void TearDown() override
    {
        m_server.reset();
        ResetLibraryStateForTesting();
        ::unsetenv("MAIL_TEMP");
        ::unsetenv("QUILLNET_TLS_CA_FILE");
        std::filesystem::remove_all(m_folder);
    }

    void Start(const std::string& certificate, bool implicitTls)
    {
        m_server = std::make_unique<InnServer>((m_folder / "inn").string(), certificate,
                                               TestCertificates::KeyOf(certificate), implicitTls);
        ASSERT_TRUE(m_server->Started()) << m_server->Failure();
    }

    int Post(const std::string& scheme)
    {
        const std::string host = scheme + "localhost:" + std::to_string(m_server->Port());
        HGLOBAL groups = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(WRENPOSTADDRESS));
        std::snprintf(static_cast<WRENPOSTADDRESS*>(GlobalLock(groups))->EMAIL, 200, "quillnet.test");
        GlobalUnlock(groups);
        WRENPOSTDATA job{};
        job.SERVERMODE = WRENPOST_SERVERMODE_NEWS;
        job.MAILHOST = host.c_str();
        job.FROM = "Ann Example <ann@example.com>";
        job.SUBJECT = "Posted over TLS";
        job.MESSAGETEXT = "Hello, readers.\n.A line that begins with a dot.\n";
        job.MESSAGETYPE = PART_TEXT;
        job.TOADR = groups;
        job.SERVERERRORMESSAGE = m_errorReply;
        int32_t result = _Wrenpost(&job);
        GlobalFree(groups);
        return result;
    }

    std::filesystem::path m_folder;
    std::unique_ptr<InnServer> m_server;
    char m_errorReply[500] = "";
};

TEST_F(NewsOverTls, ArticleIsSpooledOverEitherTlsMode)
{
    for (bool implicitTls : {true, false}) {
        SCOPED_TRACE(implicitTls ? "nntps" : "nntp+starttls");
        Start(Certificates().localhost, implicitTls);
        ASSERT_EQ(Post(implicitTls ? "nntps://" : "nntp+starttls://"), 0) << m_errorReply;
        std::vector<std::string> articles = m_server->SpooledArticles();
        ASSERT_EQ(articles.size(), 1u);
        const std::string article = ReadWholeFile(articles[0]);
        EXPECT_NE(article.find("\nNewsgroups: quillnet.test\n"), std::string::npos) << article;
        EXPECT_NE(article.find("\nSubject: Posted over TLS\n"), std::string::npos) << article;
        ParsedMessage parsed = ParseDeliveredMessage(articles[0], (m_folder / "parsed").string());
        EXPECT_EQ(parsed.defects, 0);
        ASSERT_EQ(parsed.parts.size(), 1u);
        // The doubled dot of the wire is single again in the stored article.
        EXPECT_NE(parsed.parts[0].body.find("Hello, readers.\n.A line that begins with a dot."),
                  std::string::npos)
            << parsed.parts[0].body;
        m_server.reset();
    }
}

TEST_F(NewsOverTls, CertificateForAnotherNameIs6AndNothingIsSpooled)
{
    for (bool implicitTls : {true, false}) {
        SCOPED_TRACE(implicitTls ? "nntps" : "nntp+starttls");
        Start(Certificates().otherName, implicitTls);
        EXPECT_EQ(Post(implicitTls ? "nntps://" : "nntp+starttls://"), RESULT_CONNECT_FAILED);
        EXPECT_NE(std::string(m_errorReply).find("TLS: certificate verify failed"), std::string::npos)
            << m_errorReply;
        EXPECT_TRUE(m_server->SpooledArticles().empty());
        m_server.reset();
    }
}

}  // namespace
}  // namespace dialoguetest
