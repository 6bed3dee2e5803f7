// The HTML scan: which references become "cid:" related parts, which stay as
// written, and what the scan leaves behind when the input ends mid-tag.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Diagnostics.h"
#include "Globals.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "SMTPError.h"
#include "platform/Platform.h"

namespace {

namespace fs = std::filesystem;

const std::string kLongFolder(150, 'd');
const std::string kPath299 = kLongFolder + "/" + std::string(148, 'f');  // 299 characters
const std::string kPath300 = kLongFolder + "/" + std::string(149, 'f');  // 300 characters

class HtmlScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLibraryStateForTesting();
        std::string pattern = (fs::temp_directory_path() / "quillnet-html-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(dir_);
        fs::create_directory("images");
        fs::create_directory("folder");
        fs::create_directory(kLongFolder);
        for (const char* name : {"pic.gif", "back.jpg", "page.htm", "Applet.class", "movie.swf", "sound.wav",
                                 "images/pic.gif", "images\\pic.gif", kPath299.c_str(), kPath300.c_str()}) {
            std::ofstream(name) << "x";
        }
    }

    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(dir_);
        ResetDiagnosticStreamForTesting();
        ResetLibraryStateForTesting();
    }

    // Runs the scan on `html` as the text of a fresh HTML part.
    void Scan(const std::string& html)
    {
        part_ = std::make_unique<CMailPart>(&session_);
        part_->m_bHtml = 1;
        part_->m_pszData = html;
        part_->m_bHasData = true;
        part_->GetRelatedParts();
    }

    std::vector<CMailPart*> Related() const
    {
        std::vector<CMailPart*> parts;
        for (CMailPart* p = part_->m_pFirstRelated; p; p = p->m_pNext) parts.push_back(p);
        return parts;
    }

    // The rewritten text with each related part's Content-ID replaced by
    // "{n}", n being the part's place in the related list.
    std::string MaskedText() const
    {
        std::vector<CMailPart*> parts = Related();
        std::vector<size_t> order(parts.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        // Longest first, so that no Content-ID is masked inside a longer one.
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return parts[a]->m_szContentId.size() > parts[b]->m_szContentId.size();
        });
        std::string text = part_->m_pszData;
        for (size_t i : order) {
            const std::string& id = parts[i]->m_szContentId;
            if (id.empty()) continue;
            for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at)) {
                text.replace(at, id.size(), "{" + std::to_string(i) + "}");
            }
        }
        return text;
    }

    fs::path dir_;
    fs::path previous_;
    CMailUtil session_;
    std::unique_ptr<CMailPart> part_;
};

struct ScanCase {
    std::string html;
    std::string expected;  // "{n}" stands for the Content-ID of related part n
    size_t nParts;
};

TEST_F(HtmlScanTest, RewritesReferencesToReadableLocalFiles)
{
    const ScanCase cases[] = {
        {R"(<img src="pic.gif">)", R"(<img src="cid:{0}">)", 1},
        {R"(<body background="back.jpg">)", R"(<body background="cid:{0}">)", 1},
        {R"(<table background="back.jpg">)", R"(<table background="cid:{0}">)", 1},
        {R"(<a href="page.htm">)", R"(<a href="cid:{0}">)", 1},
        {R"(<td background="back.jpg">)", R"(<td background="cid:{0}">)", 1},
        {R"(<th background="back.jpg">)", R"(<th background="cid:{0}">)", 1},
        {R"(<tr background="back.jpg">)", R"(<tr background="cid:{0}">)", 1},
        {R"(<applet code="Applet.class">)", R"(<applet code="cid:{0}">)", 1},
        {R"(<embed src="movie.swf">)", R"(<embed src="cid:{0}">)", 1},
        {R"(<bgsound src="sound.wav">)", R"(<bgsound src="cid:{0}">)", 1},
        {R"(<IMG SRC="pic.gif">)", R"(<IMG SRC="cid:{0}">)", 1},
        {R"(<iMg sRc="pic.gif" Alt="Pic">)", R"(<iMg sRc="cid:{0}" Alt="Pic">)", 1},
        {"< img \t src \r\n= \v\f\"pic.gif\" >", "< img \t src \r\n= \v\f\"cid:{0}\" >", 1},
        // Comments are not special.
        {R"(<!-- <img src="pic.gif"> -->)", R"(<!-- <img src="cid:{0}"> -->)", 1},
        // A tag given up at any step does not hide a tag that follows it at once.
        {R"(<p <img src="pic.gif">)", R"(<p <img src="cid:{0}">)", 1},
        {R"(<img alt <img src="pic.gif">)", R"(<img alt <img src="cid:{0}">)", 1},
        {R"(<img src <img src="pic.gif">)", R"(<img src <img src="cid:{0}">)", 1},
        {R"(<img src= <img src="pic.gif">)", R"(<img src= <img src="cid:{0}">)", 1},
        {R"(<span class="x"><b><img src="pic.gif"></b>)", R"(<span class="x"><b><img src="cid:{0}"></b>)", 1},
        // A value without its closing quote runs to the end and still counts.
        {R"(<img src="pic.gif)", R"(<img src="cid:{0})", 1},
        // One part per distinct file name, in the order first met.
        {R"(<img src="pic.gif"><a href="pic.gif"><td background="pic.gif">)",
         R"(<img src="cid:{0}"><a href="cid:{0}"><td background="cid:{0}">)", 1},
        {R"(<img src="back.jpg"><img src="pic.gif"><img src="back.jpg">)",
         R"(<img src="cid:{0}"><img src="cid:{1}"><img src="cid:{0}">)", 2},
        // Only a backslash separates folders in a related part's file name.
        {R"(<img src="images/pic.gif"><img src="images/pic.gif">)",
         R"(<img src="cid:{0}"><img src="cid:{0}">)", 1},
        {R"(<img src="images\pic.gif"><img src="images\pic.gif"><img src="pic.gif">)",
         R"(<img src="cid:{0}"><img src="cid:{1}"><img src="cid:{0}">)", 2},
        {R"(<td background="folder">)", R"(<td background="cid:{0}">)", 1},
        {"<img src=\"" + kPath299 + "\">", R"(<img src="cid:{0}">)", 1},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.html);
        Scan(c.html);
        EXPECT_EQ(MaskedText(), c.expected);
        EXPECT_EQ(Related().size(), c.nParts);
    }
    // Each delimiter ends a name, so a tag glued to it is still seen.
    for (char delimiter : std::string(" =\"'\t\r\n#()")) {
        const std::string html = std::string("<p") + delimiter + R"(<img src="pic.gif">)";
        SCOPED_TRACE(html);
        Scan(html);
        EXPECT_EQ(MaskedText(), std::string("<p") + delimiter + R"(<img src="cid:{0}">)");
    }
}

TEST_F(HtmlScanTest, LeavesEverythingElseAsWritten)
{
    const std::string absolute = (dir_ / "pic.gif").string();
    const std::string unchanged[] = {
        "",
        "plain text > with & no tags \xE9\xE8",
        R"(<img src='pic.gif'>)",
        R"(<img src=pic.gif>)",
        R"(<img width="10" src="pic.gif">)",
        R"(<a name="top" href="pic.gif">)",
        R"(<p src="pic.gif"><imgx src="pic.gif"><body src="pic.gif">)",
        "<img\vsrc=\"pic.gif\">",  // a vertical tab is white space but ends no name
        R"(<img src="http://example.com/pic.gif">)",
        R"(<img src="file://pic.gif">)",
        "<img src=\"" + absolute + "\">",
        R"(<a href="#top"><a href="mailto:ann@example.com"><a href="ann@example.com">)",
        R"(<img src="missing.gif"><img src=""><img src="PIC.GIF">)",
        "<" + std::string(150, 'I') + " src=\"pic.gif\">",
        "<img " + std::string(150, 'S') + "=\"pic.gif\">",
        "<img src=\"" + kPath300 + "\">",
        // The input may end anywhere.
        "<",
        "<im",
        "<img ",
        "<img sr",
        "<img src",
        "<img src =",
        "<img src = \"",
        "<img src=\"missing.gif",
    };
    for (const std::string& html : unchanged) {
        SCOPED_TRACE(html);
        Scan(html);
        EXPECT_EQ(part_->m_pszData, html);
        EXPECT_EQ(Related().size(), 0u);
    }
}

TEST_F(HtmlScanTest, RelatedPartIsAnInlineBase64FileNamedByTheReference)
{
    const platform::FixedClock clock{0x1A2B, 0x5F00, 0xC0DE};
    platform::SetFixedClockForTesting(&clock);
    Scan(R"(<img src="pic.gif"><img src="images/pic.gif">)");
    platform::SetFixedClockForTesting(nullptr);

    std::vector<CMailPart*> parts = Related();
    ASSERT_EQ(parts.size(), 2u);
    const char* names[] = {"pic.gif", "images/pic.gif"};
    for (size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(names[i]);
        CMailPart* p = parts[i];
        char id[64];
        std::snprintf(id, sizeof id, "PART.CID.1A2B.5F00.C0DE.%" PRIXPTR, reinterpret_cast<uintptr_t>(p));
        EXPECT_EQ(p->m_szContentId, id);
        EXPECT_EQ(p->m_bRelated, 1);
        EXPECT_EQ(p->m_bText, 0);
        EXPECT_EQ(p->m_nEncoding, ENC_BASE64);
        EXPECT_STREQ(p->m_pszContentType, "image/gif");
        EXPECT_EQ(p->m_szFileName, names[i]);
        EXPECT_EQ(p->m_pszData, names[i]);
        EXPECT_EQ(p->m_szDisposition, std::string("inline; filename=\"") + names[i] + "\"");
    }
}

TEST_F(HtmlScanTest, WritesEachStepToTheDebugFileOnlyWhenVerbose)
{
    const std::string html =
        R"(<img src="pic.gif"><IMG SRC="pic.gif"><a href="http://x/"><a href="/y"><td background="no.jpg">)";
    for (int verbose : {1, 0}) {
        SCOPED_TRACE(verbose);
        g_bVerbose = verbose;
        ASSERT_TRUE(OpenDebugFile("debug.txt"));
        Scan(html);
        ResetDiagnosticStreamForTesting();
        std::ifstream file("debug.txt");
        std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(Related().size(), 1u);
        const std::string id = Related()[0]->m_szContentId;
        const std::string expected = !verbose ? ""
                                              : "GetRelatedParts: Begin HTML parsing\n"
                                                "GetRelatedParts: Found Tag <IMG SRC=\"pic.gif\">\n"
                                                "GetRelatedParts: Create NEW part for \"pic.gif\"\n"
                                                "CMailPart::Create: pic.gif\n"
                                                "GetRelatedParts: Create related part for  \"pic.gif\" CID:" +
                                                    id +
                                                    "!\n"
                                                    "GetRelatedParts: Found Tag <IMG SRC=\"pic.gif\">\n"
                                                    "GetRelatedParts: Use old part for \"pic.gif\"\n"
                                                    "GetRelatedParts: Found Tag <A HREF=\"http://x/\">\n"
                                                    "GetRelatedParts: Target not local!\n"
                                                    "GetRelatedParts: Found Tag <A HREF=\"/y\">\n"
                                                    "GetRelatedParts: Target not local!\n"
                                                    "GetRelatedParts: Found Tag <TD BACKGROUND=\"no.jpg\">\n"
                                                    "GetRelatedParts: File \"no.jpg\" does not exist!\n";
        EXPECT_EQ(log, expected);
    }
}

// The output buffer cannot be had: result 11, and the part keeps its text.
// Run in a child whose address space is capped just above what it uses.
TEST_F(HtmlScanTest, OutOfMemoryRaisesResult11AndKeepsTheText)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any cap allows";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string html = std::string(64 << 20, 'x') + R"(<img src="pic.gif">)";
            auto part = std::make_unique<CMailPart>(&session_);
            part->m_pszData = html;
            std::ifstream statm("/proc/self/statm");
            long pages = 0;
            statm >> pages;
            rlimit cap{};
            cap.rlim_cur = cap.rlim_max = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (16 << 20);
            if (setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(3);
            int code = 0;
            try {
                part->GetRelatedParts();
            } catch (const CSMTPError& e) {
                code = e.nCode;
            }
            bool ok =
                code == 11 && session_.m_nError == 11 && part->m_pszData == html && !part->m_pFirstRelated;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
