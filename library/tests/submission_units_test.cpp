// The pieces of the submission modes that need no server: server URLs, the
// EHLO capability list, the reply reader, SASL messages, header encoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EsmtpCapabilities.h"
#include "HeaderEncoding.h"
#include "ReplyReader.h"
#include "SaslMessages.h"
#include "ServerAddress.h"

namespace {

TEST(ServerSetting, UrlsChooseModeAndDefaultPortPlainSettingsKeepTheirMeaning)
{
    struct Case {
        const char* setting;
        bool news;
        std::string host;
        int port;
        ServerMode mode;
        bool valid;
    };
    const Case cases[] = {
        {"mail.example.com", false, "mail.example.com", 25, ServerMode::kPlain, true},
        {"mail.example.com:2525", false, "mail.example.com", 2525, ServerMode::kPlain, true},
        {"127.0.0.1:0", false, "127.0.0.1", 0, ServerMode::kPlain, true},
        {"[2001:db8::1]:587", false, "2001:db8::1", 587, ServerMode::kPlain, true},
        {"[::1]", false, "::1", 25, ServerMode::kPlain, true},
        {"smtp+starttls://mail.example.com", false, "mail.example.com", 587, ServerMode::kStartTls, true},
        {"SMTPS://mail.example.com:4650/", false, "mail.example.com", 4650, ServerMode::kImplicitTls, true},
        {"smtps://[2001:db8::1]", false, "2001:db8::1", 465, ServerMode::kImplicitTls, true},
        {"smtps://[2001:db8::1]:99999", false, "2001:db8::1", 0, ServerMode::kImplicitTls, true},
        {"nntps://news.example.com", true, "news.example.com", 563, ServerMode::kImplicitTls, true},
        {"nntp+starttls://news.example.com", true, "news.example.com", 119, ServerMode::kStartTls, true},
        {"nntps://news.example.com", false, "news.example.com", 563, ServerMode::kImplicitTls, false},
        {"smtps://mail.example.com", true, "mail.example.com", 465, ServerMode::kImplicitTls, false},
        {"http://mail.example.com", false, "http://mail.example.com", 0, ServerMode::kStartTls, false},
        {"smtps://", false, "", 465, ServerMode::kImplicitTls, false},
        {"smtps://host/path", false, "host/path", 465, ServerMode::kImplicitTls, false},
    };
    for (const Case& c : cases) {
        ServerAddress address = ParseServerSetting(c.setting, c.news, c.news ? 119 : 25);
        EXPECT_EQ(address.bValid, c.valid) << c.setting;
        if (!c.valid) continue;
        EXPECT_EQ(address.host, c.host) << c.setting;
        EXPECT_EQ(address.port, c.port) << c.setting;
        EXPECT_EQ(address.mode, c.mode) << c.setting;
    }
}

TEST(EsmtpCapabilities, KeywordsParametersAndAuthMechanisms)
{
    EsmtpCapabilities capabilities;
    capabilities.Learn(
        "250-mail.example.com greets client.test\r\n250-pipelining\r\n250-SIZE 35882577\r\n"
        "250-AUTH=LOGIN\r\n250-AUTH PLAIN xoauth2\r\n250 8BITMIME\r\n");
    EXPECT_TRUE(capabilities.Has("PIPELINING"));
    EXPECT_TRUE(capabilities.Has("8bitmime"));
    EXPECT_FALSE(capabilities.Has("STARTTLS"));
    EXPECT_FALSE(capabilities.Has("MAIL.EXAMPLE.COM")) << "the greeting line is no keyword";
    EXPECT_EQ(capabilities.Parameters("SIZE"), "35882577");
    EXPECT_TRUE(capabilities.OffersAuth("LOGIN"));
    EXPECT_TRUE(capabilities.OffersAuth("PLAIN"));
    EXPECT_TRUE(capabilities.OffersAuth("XOAUTH2"));
    EXPECT_FALSE(capabilities.OffersAuth("CRAM-MD5"));
    capabilities.Forget();
    EXPECT_FALSE(capabilities.Has("PIPELINING"));

    // A zero byte inside a server's word is part of it, not its end.
    capabilities.Learn(std::string("250-mail.example.com\r\n250-STARTTLS\0x\r\n250 AUTH PL\0AIN\r\n", 55));
    EXPECT_FALSE(capabilities.Has("STARTTLS"));
    EXPECT_FALSE(capabilities.OffersAuth("PL"));
}

// A transport that hands out scripted pieces, then reports the peer closed.
class PiecesTransport : public Transport {
public:
    explicit PiecesTransport(std::vector<std::string> pieces) : m_pieces(std::move(pieces)) {}
    long Send(const char*, size_t nLength, int) override { return static_cast<long>(nLength); }
    long Receive(char* pBuffer, size_t nCapacity, int) override
    {
        if (m_next == m_pieces.size()) return 0;
        const std::string& piece = m_pieces[m_next++];
        size_t n = std::min(nCapacity, piece.size());
        piece.copy(pBuffer, n);
        return static_cast<long>(n);
    }

private:
    std::vector<std::string> m_pieces;
    size_t m_next = 0;
};

TEST(ReplyReader, RepliesJoinedOrSplitAnyhowComeOutOneByOneInOrder)
{
    PiecesTransport transport(
        {"250 sender ok\r\n250-rcpt", " one\r\n250 ok\r\n55", "0 no such\nuser\r\n354 go\r\n"});
    ReplyReader reader;
    std::vector<std::pair<int, std::string>> seen;
    SmtpReply reply;
    while (reader.Read(transport, 1, reply) == ReplyReader::kReply)
        seen.emplace_back(reply.nCode, reply.LastLine());
    const std::vector<std::pair<int, std::string>> expected = {
        {250, "250 sender ok"}, {250, "250 ok"}, {550, "550 no such\nuser"}, {354, "354 go"}};
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(reader.HasPending());

    PiecesTransport early({"220 go ahead\r\n250 forged\r\n"});
    ASSERT_EQ(reader.Read(early, 1, reply), ReplyReader::kReply);
    EXPECT_TRUE(reader.HasPending()) << "bytes after a reply are noticed, not lost";

    PiecesTransport garbage({"hello\r\n"});
    ReplyReader fresh;
    EXPECT_EQ(fresh.Read(garbage, 1, reply), ReplyReader::kMalformed);
}

TEST(SaslMessages, KnownVectors)
{
    EXPECT_EQ(Base64Text(""), "");
    EXPECT_EQ(Base64Text("f"), "Zg==");
    EXPECT_EQ(Base64Text("fo"), "Zm8=");
    EXPECT_EQ(Base64Text("foo"), "Zm9v");
    EXPECT_EQ(PlainResponse("tim", "tanstaaftanstaaf"), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");  // RFC 4616
    EXPECT_EQ(XOAuth2Response("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"),
              "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhkSFJo"
              "ZG1semRHRXVZMjl0Q2cBAQ==");
    EXPECT_EQ(BearerToken("bearer:abc"), "abc");
    EXPECT_EQ(BearerToken("secret"), "");
}

TEST(HeaderEncoding, NonAsciiBecomesEncodedWordsAndNamesAreQuoted)
{
    EXPECT_EQ(EncodeUnstructured("Plain subject", "utf-8"), "Plain subject");
    EXPECT_EQ(EncodeUnstructured("Gr\xC3\xBC\xC3\x9F"
                                 "e",
                                 "utf-8"),
              "=?utf-8?B?R3LDvMOfZQ==?=");
    EXPECT_EQ(EncodeUnstructured("Caf\xE9", "iso-8859-1"), "=?iso-8859-1?B?Q2Fm6Q==?=");

    // Long text: every word at most 75 characters, no UTF-8 character split.
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "\xC3\xA9";
    std::string encoded = EncodeUnstructured(longText, "utf-8");
    size_t start = 0;
    while (start < encoded.size()) {
        size_t end = encoded.find("\r\n ", start);
        if (end == std::string::npos) end = encoded.size();
        EXPECT_LE(end - start, 75u);
        EXPECT_EQ(encoded.compare(start, 10, "=?utf-8?B?"), 0);
        start = end == encoded.size() ? end : end + 3;
    }
    EXPECT_NE(encoded.find("\r\n "), std::string::npos);

    struct Case {
        std::string list, expected;
    };
    const Case cases[] = {
        {"bob@example.org", "bob@example.org"},
        {"\"Bob\" <bob@example.org>,\"Ann\" <ann@example.com>",
         "\"Bob\" <bob@example.org>,\"Ann\" <ann@example.com>"},
        {"\"Smith, Bob\" <bob@example.org>", "\"Smith, Bob\" <bob@example.org>"},
        {"\"Bob \"the\" Builder\" <bob@example.org>", "\"Bob \\\"the\\\" Builder\" <bob@example.org>"},
        {"\"Back\\slash\" <b@example.org>", "\"Back\\\\slash\" <b@example.org>"},
        // Escaped as the composer writes them: one entry, kept as it is.
        {"\"Eve\\\" <e@evil.example>, \\\"B\" <b@example.org>,\"\\\\\" <c@example.org>",
         "\"Eve\\\" <e@evil.example>, \\\"B\" <b@example.org>,\"\\\\\" <c@example.org>"},
        {"\"J\xFCrgen \\\"J\\\"\" <j@example.de>", "=?iso-8859-1?B?SvxyZ2VuICJKIg==?= <j@example.de>"},
        {"J\xFCrgen <j@example.de>,\r\n\t\"Ann\" <a@example.com>",
         "=?iso-8859-1?B?SvxyZ2Vu?= <j@example.de>,\r\n\t\"Ann\" <a@example.com>"},
    };
    for (const Case& c : cases) EXPECT_EQ(EncodeAddressList(c.list, "iso-8859-1"), c.expected) << c.list;
}

}  // namespace
