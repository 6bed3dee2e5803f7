// The part model: kinds, encodings, charsets, OEM conversion, content types,
// and the HTML scan that turns local references into "cid:" related parts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "ContentType.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/SystemCalls.h"
#include "support/ComposerSupport.h"

using composer_test::ComposerFixture;
using composer_test::ScopedEnv;

namespace {

class ComposerParts : public ComposerFixture {};

TEST_F(ComposerParts, KindsChooseEncodingAndCharset)
{
    const std::string e = "caf\xE9";  // one byte above 127
    const std::string file = WriteFile("text.txt", "line\n");
    const std::string fileE = WriteFile("e.txt", std::string("caf\xE9\0after", 10));
    struct Case {
        int kind;
        std::string source;
        const char* pszCharsetEnv;
        int encoding;
        const char* pszCharset;
        std::string stored;
    } cases[] = {
        {0, e, nullptr, ENC_NONE, "iso-8859-1", e},
        {1, e, nullptr, ENC_7BIT, "iso-8859-1", e},
        {2, "plain", nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", "plain"},
        {3, "plain", "utf-8", ENC_QUOTED_PRINTABLE, "utf-8", "plain"},
        {4, e, "utf-8", ENC_7BIT, "us-ascii", e},
        {6, e, "windows-1252", ENC_QUOTED_PRINTABLE, "windows-1252", e},
        {6, std::string(998, 'a') + "\r\n" + std::string(998, 'b'), nullptr, ENC_7BIT, "iso-8859-1",
         std::string(998, 'a') + "\r\n" + std::string(998, 'b')},
        {6, "x\n" + std::string(999, 'a'), nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1",
         "x\n" + std::string(999, 'a')},
        {7, file, nullptr, ENC_7BIT, "iso-8859-1", "line\n"},
        {7, fileE, nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", e},  // a zero byte ends the text
        {5, fileE, "utf-8", ENC_QUOTED_PRINTABLE, "us-ascii", e},
        {5, file, nullptr, ENC_7BIT, "us-ascii", "line\n"},
    };
    for (const Case& c : cases) {
        ScopedEnv charset("MM_CHARSET", c.pszCharsetEnv);
        CMailUtil session;
        ASSERT_EQ(session.AddPart(c.source.c_str(), c.kind), 0) << c.kind;
        const CMailPart* pPart = session.m_pFirstPart;
        std::string label = "kind " + std::to_string(c.kind) + ": " + c.source.substr(0, 20);
        EXPECT_EQ(pPart->m_nEncoding, c.encoding) << label;
        EXPECT_STREQ(pPart->m_pszCharset, c.pszCharset) << label;
        EXPECT_EQ(pPart->m_pszData, c.stored) << label;
        EXPECT_EQ(pPart->m_bRichText, c.kind == 3) << label;
        EXPECT_EQ(pPart->m_bHtml, c.kind == 4 || c.kind == 5) << label;
    }
    CMailUtil session;
    EXPECT_EQ(session.AddPart((m_folder + "/missing.txt").c_str(), 7), -1);
    EXPECT_EQ(session.AddPart(m_folder.c_str(), 5), -1);  // a folder is no text file
}

TEST_F(ComposerParts, HtmlFileWhoseRewrittenLineOutgrowsSmtpGoesQuotedPrintable)
{
    // 990 bytes fit on one SMTP line; the "cid:" reference that replaces
    // "pic.gif" makes the line too long for 7bit.
    WriteFile("pic.gif", "GIF89a");
    const std::string tag = "<img src=\"pic.gif\">";
    const std::string page = WriteFile("page.html", tag + std::string(990 - tag.size(), 'x') + "\r\n");
    CMailUtil session;
    ASSERT_EQ(session.AddPart(page.c_str(), 5), 0);
    EXPECT_EQ(session.m_pFirstPart->m_nEncoding, ENC_QUOTED_PRINTABLE);
    EXPECT_STREQ(session.m_pFirstPart->m_pszCharset, "us-ascii");
}

TEST_F(ComposerParts, OemConversionAppliesOnlyWhereTheKindAllowsIt)
{
    const std::string oem =
        "\x82t\x82 \x9C \xC4\xE1\xFF";  // "été £ ─ß" and a no-break space in code page 437
    const std::string ansi = "\xE9t\xE9 \xA3 -\xDF\xA0";
    std::string path = WriteFile("oem.txt", oem);
    const std::tuple<int, std::string, std::string> cases[] = {
        {0, oem, oem},  {1, oem, oem},         {2, oem, ansi},  {3, oem, ansi}, {4, oem, ansi},
        {6, oem, ansi}, {6, "ascii", "ascii"}, {7, path, ansi}, {5, path, ansi}};
    for (const auto& [kind, source, stored] : cases) {
        CMailUtil session;
        session.m_bOemToAnsi = 1;
        session.AddPart(source.c_str(), kind);
        EXPECT_EQ(session.m_pFirstPart->m_pszData, stored) << "kind " << kind;
    }
}

TEST_F(ComposerParts, ContentTypesComeFromTheRegistryThenPicturesThenUnknown)
{
    WriteFile("mime.types",
              "# comment line with pdf\napplication/pdf\t\tpdf   # trailing comment jpg\n\n"
              "application/x-first dup\napplication/x-second dup other\nimage/x-fancy FaNcY\n"
              "text/plain;charset=utf-8 txtu\nimage/x-custom-png png\n");
    const char* cases[][2] = {
        {"doc.PDF", "application/pdf"},
        {"x.dup", "application/x-first"},
        {"x.other", "application/x-second"},
        {"x.fancy", "image/x-fancy"},
        {"x.txtu", "text/plain;charset=utf-8"},
        {"pic.png", "image/x-custom-png"},
        {"photo.JPG", "image/JPG"},
        {"scan.Tiff", "image/Tiff"},
        {"report.xyz", "unknown/xyz"},
        {"C:\\my.dir\\README", "unknown/unknown"},
        {"/my.dir/README", "unknown/unknown"},
        {"archive.tar.gz", "unknown/gz"},
    };
    for (const auto& c : cases) EXPECT_EQ(ContentTypeOfFile(c[0]), c[1]) << c[0];

    // A changed file is read again; a missing one registers nothing.
    WriteFile("mime.types", "application/x-new pdf\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 10, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, m_mimeTypesPath.c_str(), times, 0), 0);
    EXPECT_EQ(ContentTypeOfFile("a.pdf"), "application/x-new");
    std::remove(m_mimeTypesPath.c_str());
    EXPECT_EQ(ContentTypeOfFile("a.pdf"), "unknown/pdf");
}

const std::string kLongFolder(150, 'd');
const std::string kPath299 = kLongFolder + "/" + std::string(148, 'f');
const std::string kPath300 = kLongFolder + "/" + std::string(149, 'f');

class HtmlScan : public ComposerFixture {
protected:
    void SetUp() override
    {
        ComposerFixture::SetUp();
        for (const char* folder : {"images", "folder", kLongFolder.c_str()})
            std::filesystem::create_directory(folder);
        for (const char* name :
             {"pic.gif", "back.jpg", "images/pic.gif", "images\\pic.gif", kPath299.c_str(), kPath300.c_str()})
            std::ofstream(name) << "x";
    }

    // The scanned text, each Content-ID shortened to its number in order of
    // first appearance; *pnParts gets the number of related parts.
    std::string Scan(const std::string& html, size_t* pnParts)
    {
        CMailPart part(&m_session);
        part.m_bHtml = 1;
        part.m_pszData = html;
        part.GetRelatedParts();
        *pnParts = 0;
        for (CMailPart* p = part.m_pFirstRelated; p; p = p->m_pNext) ++*pnParts;
        std::string text = composer_test::MaskAddresses(part.m_pszData);
        const std::string prefix = "PART.CID.1234.6575A3C0.ABCD.ADDR";
        for (size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
        return text;
    }

    CMailUtil m_session;
};

TEST_F(HtmlScan, RewritesReferencesToReadableLocalFiles)
{
    // "cid:n" stands for the n-th distinct Content-ID.
    const std::tuple<std::string, std::string, size_t> cases[] = {
        {R"(<iMg sRc="pic.gif" Alt="Pic">)", R"(<iMg sRc="cid:1" Alt="Pic">)", 1},
        {"< img \t src \r\n= \v\f\"pic.gif\" >", "< img \t src \r\n= \v\f\"cid:1\" >", 1},
        {R"(<!-- <img src="pic.gif"> -->)", R"(<!-- <img src="cid:1"> -->)", 1},
        // A tag given up at any step does not hide a tag that follows it at once.
        {R"(<p <img src="pic.gif">)", R"(<p <img src="cid:1">)", 1},
        {R"(<img alt <img src="pic.gif">)", R"(<img alt <img src="cid:1">)", 1},
        {R"(<img src <img src="pic.gif">)", R"(<img src <img src="cid:1">)", 1},
        {R"(<img src= <img src="pic.gif">)", R"(<img src= <img src="cid:1">)", 1},
        {R"(<span class="x"><b><img src="pic.gif"></b>)", R"(<span class="x"><b><img src="cid:1"></b>)", 1},
        {R"(<img src="pic.gif)", R"(<img src="cid:1)", 1},  // an unclosed value runs to the end
        // One part per distinct file name, in the order first met.
        {R"(<img src="back.jpg"><img src="pic.gif"><a href="back.jpg">)",
         R"(<img src="cid:1"><img src="cid:2"><a href="cid:1">)", 2},
        // A part stands for one reference, not for every file of its name.
        {R"(<img src="images/pic.gif"><img src="images/pic.gif">)", R"(<img src="cid:1"><img src="cid:1">)",
         1},
        {R"(<img src="images\pic.gif"><img src="images\pic.gif"><img src="pic.gif">)",
         R"(<img src="cid:1"><img src="cid:1"><img src="cid:2">)", 2},
        {R"(<td background="folder">)", R"(<td background="folder">)", 0},  // a folder is no file
        {"<img src=\"" + kPath299 + "\">", R"(<img src="cid:1">)", 1},
    };
    size_t nParts;
    for (const auto& [html, expected, nExpected] : cases) {
        EXPECT_EQ(Scan(html, &nParts), expected);
        EXPECT_EQ(nParts, nExpected) << html;
    }
    const char* tags[][2] = {{"img", "src"},       {"BODY", "BACKGROUND"}, {"table", "background"},
                             {"a", "href"},        {"td", "background"},   {"th", "background"},
                             {"tr", "background"}, {"applet", "code"},     {"embed", "src"},
                             {"bgsound", "src"}};
    for (const auto& tag : tags) {
        const std::string start = std::string("<") + tag[0] + " " + tag[1] + "=\"";
        EXPECT_EQ(Scan(start + "pic.gif\">", &nParts), start + "cid:1\">");
    }
    // Each delimiter ends a name, so a tag glued to it is still seen.
    for (char delimiter : std::string(" =\"'\t\r\n#()")) {
        const std::string p = std::string("<p") + delimiter;
        EXPECT_EQ(Scan(p + R"(<img src="pic.gif">)", &nParts), p + R"(<img src="cid:1">)");
    }
}

TEST_F(HtmlScan, LeavesEverythingElseAsWritten)
{
    std::vector<std::string> unchanged = {
        "",
        "plain text > with & no tags \xE9\xE8",
        R"(<img src='pic.gif'><img src=pic.gif>)",
        R"(<img width="10" src="pic.gif"><a name="top" href="pic.gif">)",
        R"(<p src="pic.gif"><imgx src="pic.gif"><body src="pic.gif">)",
        "<img\vsrc=\"pic.gif\">",  // a vertical tab is white space but ends no name
        R"(<img src="http://example.com/pic.gif"><img src="file://pic.gif">)",
        "<img src=\"" + m_folder + "/pic.gif\">",
        R"(<a href="#top"><a href="mailto:ann@example.com"><a href="ann@example.com">)",
        R"(<img src="missing.gif"><img src=""><img src="PIC.GIF">)",
        "<" + std::string(150, 'I') + " src=\"pic.gif\">",
        "<img " + std::string(150, 'S') + "=\"pic.gif\">",
        "<img src=\"" + kPath300 + "\">",
    };
    const std::string whole = R"(<img src = "missing.gif">)";
    for (size_t n = 1; n < whole.size(); ++n)
        unchanged.push_back(whole.substr(0, n));  // the input may end anywhere
    size_t nParts;
    for (const std::string& html : unchanged) {
        EXPECT_EQ(Scan(html, &nParts), html);
        EXPECT_EQ(nParts, 0u) << html;
    }
}

// Memory running out in the middle of the scan: result 11, and the part
// keeps its text. The first look at a referenced file is where it shows.
TEST_F(HtmlScan, OutOfMemoryRaisesResult11AndKeepsTheText)
{
    const platform::SystemCalls saved = platform::Calls();
    platform::SystemCalls calls = saved;
    calls.fileIsReadable = [](const char*) -> bool { throw std::bad_alloc(); };
    platform::UseCallsForTesting(&calls);
    const std::string html = R"(<p>see <img src="pic.gif"></p>)";
    auto part = std::make_unique<CMailPart>(&m_session);
    part->m_pszData = html;
    int code = 0;
    try {
        part->GetRelatedParts();
    } catch (...) {
        code = CurrentFailure().nResult;
    }
    platform::UseCallsForTesting(&saved);
    EXPECT_EQ(code, RESULT_OUT_OF_MEMORY);
    EXPECT_EQ(m_session.m_nError, RESULT_OUT_OF_MEMORY);
    EXPECT_EQ(part->m_pszData, html);
    EXPECT_EQ(part->m_pFirstRelated, nullptr);
}

}  // namespace
