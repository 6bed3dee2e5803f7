// The part model: kinds, encodings, charsets, OEM conversion, file names and
// content types.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "ContentType.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "support/ComposerSupport.h"

using composer_test::ComposerFixture;
using composer_test::ScopedEnv;

namespace {

class ComposerParts : public ComposerFixture {};

TEST_F(ComposerParts, KindsChooseEncodingAndCharset)
{
    const std::string e = "caf\xE9";  // one byte above 127
    const std::string file = m_folder.WriteFile("text.txt", "line\n");
    const std::string fileE = m_folder.WriteFile("e.txt", std::string("caf\xE9\0after", 10));
    const std::string fileLong = m_folder.WriteFile("long.txt", std::string(1200, 'z'));
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
        {6, "plain\r\ntext", nullptr, ENC_7BIT, "iso-8859-1", "plain\r\ntext"},
        {6, e, "windows-1252", ENC_QUOTED_PRINTABLE, "windows-1252", e},
        {6, std::string(998, 'a') + "\r\n" + std::string(998, 'b'), nullptr, ENC_7BIT, "iso-8859-1",
         std::string(998, 'a') + "\r\n" + std::string(998, 'b')},
        {6, "x\n" + std::string(999, 'a'), nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1",
         "x\n" + std::string(999, 'a')},
        {7, file, nullptr, ENC_7BIT, "iso-8859-1", "line\n"},
        {7, fileE, nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", e},  // a zero byte ends the text
        {7, fileLong, nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", std::string(1200, 'z')},
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
    EXPECT_EQ(session.AddPart((m_folder.Path() + "/missing.txt").c_str(), 7), -1);
    EXPECT_EQ(session.AddPart(m_folder.Path().c_str(), 5), -1);  // a folder is no text file
}

TEST_F(ComposerParts, HtmlFileWhoseRewrittenLineOutgrowsSmtpGoesQuotedPrintable)
{
    // 990 bytes fit on one SMTP line; the "cid:" reference that replaces
    // "pic.gif" makes the line too long for 7bit.
    composer_test::ScopedCurrentFolder here(m_folder.Path());
    m_folder.WriteFile("pic.gif", "GIF89a");
    const std::string tag = "<img src=\"pic.gif\">";
    const std::string page = m_folder.WriteFile("page.html", tag + std::string(990 - tag.size(), 'x') + "\r\n");
    CMailUtil session;
    ASSERT_EQ(session.AddPart(page.c_str(), 5), 0);
    const CMailPart* pPart = session.m_pFirstPart;
    ASSERT_NE(pPart->m_pFirstRelated, nullptr);
    EXPECT_NE(pPart->m_pszData.find("cid:"), std::string::npos);
    EXPECT_EQ(pPart->m_nEncoding, ENC_QUOTED_PRINTABLE);
    EXPECT_STREQ(pPart->m_pszCharset, "us-ascii");
}

TEST_F(ComposerParts, OemConversionAppliesOnlyWhereTheKindAllowsIt)
{
    const std::string oem =
        "\x82t\x82 \x9C \xC4\xE1\xFF";  // "été £ ─ß" and a no-break space in code page 437
    const std::string ansi = "\xE9t\xE9 \xA3 -\xDF\xA0";
    std::string path = m_folder.WriteFile("oem.txt", oem);
    struct Case {
        int kind;
        std::string source, stored;
    } cases[] = {{0, oem, oem},  {1, oem, oem},         {2, oem, ansi},  {3, oem, ansi}, {4, oem, ansi},
                 {6, oem, ansi}, {6, "ascii", "ascii"}, {7, path, ansi}, {5, path, ansi}};
    for (const Case& c : cases) {
        CMailUtil session;
        session.m_bOemToAnsi = 1;
        session.AddPart(c.source.c_str(), c.kind);
        EXPECT_EQ(session.m_pFirstPart->m_pszData, c.stored) << "kind " << c.kind;
    }
}

TEST_F(ComposerParts, FilePartsAreNamedAfterTheirLastPathComponent)
{
    struct Case {
        const char *pszPath, *pszFileName, *pszContentType;
    } cases[] = {
        {"/home/ann/report.pdf", "report.pdf", "unknown/pdf"},
        {"C:\\data\\photo.JPG", "photo.JPG", "image/JPG"},
        {"plain", "plain", "unknown/unknown"},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.AddPart(c.pszPath, 8);
        const CMailPart* pPart = session.m_pFirstPart;
        EXPECT_EQ(pPart->m_bText, 0);
        EXPECT_EQ(pPart->m_nEncoding, ENC_BASE64);
        EXPECT_EQ(pPart->m_szDisposition, std::string("attachment; filename=\"") + c.pszFileName + "\"");
        EXPECT_STREQ(pPart->m_pszContentType, c.pszContentType);
    }

    // Related parts split only at backslashes, so an HTML reference stays whole.
    CMailUtil session;
    session.AddPart("<p>no references</p>", 4);
    CMailPart* pHtml = session.m_pFirstPart;
    auto* pFirst = new CMailPart(&session, pHtml);
    pFirst->Create("images/pic.gif", 8, 0);
    auto* pSecond = new CMailPart(&session, pHtml);
    pSecond->Create("dir\\sub\\pic.gif", 8, 0);
    EXPECT_EQ(pFirst->m_szDisposition, "inline; filename=\"images/pic.gif\"");
    EXPECT_EQ(pSecond->m_szFileName, "pic.gif");
    EXPECT_EQ(pFirst->m_pNext, pSecond);
    EXPECT_EQ(pHtml->m_pNext, nullptr);
    char szExpected[64];
    std::snprintf(szExpected, sizeof szExpected, "PART.CID.1234.6575A3C0.ABCD.%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pFirst)));
    EXPECT_EQ(pFirst->m_szContentId, szExpected);
    EXPECT_NE(pFirst->m_szContentId, pSecond->m_szContentId);
}

TEST_F(ComposerParts, ContentTypesComeFromTheRegistryThenPicturesThenUnknown)
{
    m_folder.WriteFile("mime.types",
                       "# comment line with pdf\n"
                       "application/pdf\t\tpdf   # trailing comment jpg\n\n"
                       "application/x-first dup\n"
                       "application/x-second dup other\n"
                       "image/x-fancy FaNcY\n"
                       "text/plain;charset=utf-8 txtu\n"
                       "image/x-custom-png png\n");
    struct Case {
        const char *pszPath, *pszType;
    } cases[] = {
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
    for (const Case& c : cases) EXPECT_EQ(ContentTypeOfFile(c.pszPath), c.pszType) << c.pszPath;

    // A changed file is read again; a missing one registers nothing.
    m_folder.WriteFile("mime.types", "application/x-new pdf\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 10, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, m_mimeTypesPath.c_str(), times, 0), 0);
    EXPECT_EQ(ContentTypeOfFile("a.pdf"), "application/x-new");
    std::remove(m_mimeTypesPath.c_str());
    EXPECT_EQ(ContentTypeOfFile("a.pdf"), "unknown/pdf");
}

}  // namespace
