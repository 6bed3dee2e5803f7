// The part model: kinds, encodings, charsets, OEM conversion, file names,
// content types and the part lists.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <string>

#include "ContentType.h"
#include "MailPart.h"
#include "MailUtil.h"
#include "platform/Platform.h"
#include "support/ComposerSupport.h"

using composer_test::ComposerFixture;
using composer_test::ScopedEnv;

namespace {

class ComposerParts : public ComposerFixture {};

struct TextKindCase {
    const char* pszName;
    int kind;
    std::string text;
    const char* pszCharsetEnv;  // MM_CHARSET, or null for unset
    int encoding;
    const char* pszCharset;
    int bRichText;
    int bHtml;
};

TEST_F(ComposerParts, TextKindsChooseEncodingAndCharset)
{
    const std::string e = "caf\xE9";  // one byte above 127
    const TextKindCase cases[] = {
        {"raw", 0, "plain", nullptr, ENC_NONE, "iso-8859-1", 0, 0},
        {"raw keeps high bytes", 0, e, nullptr, ENC_NONE, "iso-8859-1", 0, 0},
        {"7bit", 1, e, nullptr, ENC_7BIT, "iso-8859-1", 0, 0},
        {"qp", 2, "plain", nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", 0, 0},
        {"richtext", 3, "plain", "utf-8", ENC_QUOTED_PRINTABLE, "utf-8", 1, 0},
        {"html stays 7bit", 4, e, "utf-8", ENC_7BIT, "us-ascii", 0, 1},
        {"text ascii", 6, "plain\r\ntext", nullptr, ENC_7BIT, "iso-8859-1", 0, 0},
        {"text e-acute", 6, e, nullptr, ENC_QUOTED_PRINTABLE, "iso-8859-1", 0, 0},
        {"text charset env", 6, e, "windows-1252", ENC_QUOTED_PRINTABLE, "windows-1252", 0, 0},
        {"text 998-byte line", 6, std::string(998, 'a') + "\r\n" + std::string(998, 'b'), nullptr, ENC_7BIT,
         "iso-8859-1", 0, 0},
        {"text 999-byte line", 6, "x\n" + std::string(999, 'a') + "\r\n", nullptr, ENC_QUOTED_PRINTABLE,
         "iso-8859-1", 0, 0},
        {"text 999 bytes ending in CR", 6, std::string(998, 'a') + "\r", nullptr, ENC_QUOTED_PRINTABLE,
         "iso-8859-1", 0, 0},
        {"7bit keeps long lines", 1, std::string(2000, 'a'), nullptr, ENC_7BIT, "iso-8859-1", 0, 0},
    };
    for (const TextKindCase& c : cases) {
        ScopedEnv charset("MM_CHARSET", c.pszCharsetEnv);
        CMailUtil session;
        ASSERT_EQ(session.AddPart(c.text.c_str(), c.kind), 0) << c.pszName;
        const CMailPart* pPart = session.m_pFirstPart;
        EXPECT_EQ(pPart->m_bText, 1) << c.pszName;
        EXPECT_EQ(pPart->m_nEncoding, c.encoding) << c.pszName;
        EXPECT_STREQ(pPart->m_pszCharset, c.pszCharset) << c.pszName;
        EXPECT_EQ(pPart->m_bRichText, c.bRichText) << c.pszName;
        EXPECT_EQ(pPart->m_bHtml, c.bHtml) << c.pszName;
        EXPECT_EQ(pPart->m_pszData, c.text) << c.pszName;
    }
}

TEST_F(ComposerParts, UnknownKindsMakeAnEmptyTextPart)
{
    for (int kind : {-1, 9, 127}) {
        CMailUtil session;
        EXPECT_EQ(session.AddPart("ignored", kind), 0);
        EXPECT_FALSE(session.m_pFirstPart->m_bHasData) << kind;
        EXPECT_EQ(session.m_pFirstPart->m_nEncoding, ENC_NONE) << kind;
        EXPECT_EQ(session.m_pFirstPart->m_bText, 1) << kind;
    }
}

TEST_F(ComposerParts, TextFilesAreReadUpToTheirFirstZeroByte)
{
    struct Case {
        int kind;
        std::string content;
        int encoding;
        std::string text;
        const char* pszCharset;
    } cases[] = {
        {7, "line one\nline two\n", ENC_7BIT, "line one\nline two\n", "iso-8859-1"},
        {7, "caf\xE9\n", ENC_QUOTED_PRINTABLE, "caf\xE9\n", "iso-8859-1"},
        {7, std::string("before\0\xE9 after", 14), ENC_7BIT, "before", "iso-8859-1"},
        {7, std::string(1200, 'z'), ENC_QUOTED_PRINTABLE, std::string(1200, 'z'), "iso-8859-1"},
        {7, "", ENC_7BIT, "", "iso-8859-1"},
        {5, "<p>caf\xE9</p>", ENC_QUOTED_PRINTABLE, "<p>caf\xE9</p>", "us-ascii"},
        {5, "<p>plain</p>", ENC_7BIT, "<p>plain</p>", "us-ascii"},
    };
    for (const Case& c : cases) {
        std::string path = m_folder.WriteFile("text.txt", c.content);
        CMailUtil session;
        ASSERT_EQ(session.AddPart(path.c_str(), c.kind), 0);
        const CMailPart* pPart = session.m_pFirstPart;
        EXPECT_EQ(pPart->m_pszData, c.text) << c.content.size();
        EXPECT_EQ(pPart->m_nEncoding, c.encoding) << c.content.size();
        EXPECT_STREQ(pPart->m_pszCharset, c.pszCharset);
        EXPECT_EQ(pPart->m_bHtml, c.kind == 5 ? 1 : 0);
    }
}

TEST_F(ComposerParts, UnreadableTextFilesStayInTheListWithoutContent)
{
    for (int kind : {5, 7}) {
        for (const std::string& path : {m_folder.Path() + "/missing.txt", m_folder.Path()}) {
            CMailUtil session;
            session.AddPart("first", 6);
            EXPECT_EQ(session.AddPart(path.c_str(), kind), -1) << kind << " " << path;
            ASSERT_NE(session.m_pFirstPart->m_pNext, nullptr);
            EXPECT_FALSE(session.m_pFirstPart->m_pNext->m_bHasData);
        }
    }
}

TEST_F(ComposerParts, OemConversionAppliesOnlyWhereTheKindAllowsIt)
{
    const std::string oem = "\x82t\x82 \x9C";  // "été £" in code page 437
    const std::string ansi = "\xE9t\xE9 \xA3";
    std::string path = m_folder.WriteFile("oem.txt", oem);
    struct Case {
        int kind;
        std::string source;
        std::string stored;
    } cases[] = {
        {0, oem, oem},  {1, oem, oem},         {2, oem, ansi},  {3, oem, ansi},  {4, oem, ansi},
        {6, oem, ansi}, {6, "ascii", "ascii"}, {7, path, ansi}, {5, path, ansi},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        session.m_bOemToAnsi = 1;
        session.AddPart(c.source.c_str(), c.kind);
        EXPECT_EQ(session.m_pFirstPart->m_pszData, c.stored) << "kind " << c.kind;
    }
    CMailUtil off;
    off.AddPart(oem.c_str(), 2);
    EXPECT_EQ(off.m_pFirstPart->m_pszData, oem);
}

TEST_F(ComposerParts, OemTableMapsCodePage437ToWindows1252)
{
    struct Case {
        unsigned char oem;
        unsigned char ansi;
    } cases[] = {
        {0x41, 0x41}, {0x7F, 0x7F}, {0x80, 0xC7}, {0x81, 0xFC}, {0x8E, 0xC4}, {0x99, 0xD6},
        {0x9A, 0xDC}, {0x9F, 0x83}, {0xA4, 0xF1}, {0xB3, '|'},  {0xC4, '-'},  {0xC5, '+'},
        {0xDB, '#'},  {0xE1, 0xDF}, {0xE6, 0xB5}, {0xF8, 0xB0}, {0xFD, 0xB2}, {0xFF, 0xA0},
    };
    for (const Case& c : cases) {
        char byte = static_cast<char>(c.oem);
        platform::OemToAnsi(&byte, 1);
        EXPECT_EQ(static_cast<unsigned char>(byte), c.ansi) << std::hex << int(c.oem);
    }
}

TEST_F(ComposerParts, AttachmentsTakeTheLastPathComponentAsTheirName)
{
    struct Case {
        const char* pszPath;
        const char* pszFileName;
        const char* pszContentType;
    } cases[] = {
        {"/home/ann/report.pdf", "report.pdf", "unknown/pdf"},
        {"C:\\data\\photo.JPG", "photo.JPG", "image/JPG"},
        {"relative/dir\\mixed.Png", "mixed.Png", "image/Png"},
        {"plain", "plain", "unknown/unknown"},
    };
    for (const Case& c : cases) {
        CMailUtil session;
        ASSERT_EQ(session.AddPart(c.pszPath, 8), 0);
        const CMailPart* pPart = session.m_pFirstPart;
        EXPECT_EQ(pPart->m_bText, 0);
        EXPECT_EQ(pPart->m_nEncoding, ENC_BASE64);
        EXPECT_EQ(pPart->m_szFileName, c.pszFileName);
        EXPECT_EQ(pPart->m_szDisposition, std::string("attachment; filename=\"") + c.pszFileName + "\"");
        EXPECT_STREQ(pPart->m_pszContentType, c.pszContentType);
        EXPECT_EQ(pPart->m_pszData, c.pszPath);
    }
}

TEST_F(ComposerParts, RelatedPartsSplitOnlyAtBackslashesAndGetDistinctContentIds)
{
    CMailUtil session;
    session.AddPart("<p>no references</p>", 4);
    CMailPart* pHtml = session.m_pFirstPart;
    auto* pFirst = new CMailPart(&session, pHtml);
    pFirst->Create("images/pic.gif", 8, 0);
    auto* pSecond = new CMailPart(&session, pHtml);
    pSecond->Create("dir\\sub\\pic.gif", 8, 0);

    EXPECT_EQ(pHtml->m_pFirstRelated, pFirst);
    EXPECT_EQ(pFirst->m_pNext, pSecond);
    EXPECT_EQ(pSecond->m_pPrev, pFirst);
    EXPECT_EQ(pSecond->m_pListHead, pFirst);
    EXPECT_EQ(pHtml->m_pNext, nullptr);  // related parts are not top-level parts

    EXPECT_EQ(pFirst->m_szFileName, "images/pic.gif");
    EXPECT_EQ(pFirst->m_szDisposition, "inline; filename=\"images/pic.gif\"");
    EXPECT_STREQ(pFirst->m_pszContentType, "image/gif");
    EXPECT_EQ(pSecond->m_szFileName, "pic.gif");
    EXPECT_EQ(pFirst->m_nEncoding, ENC_BASE64);

    char szExpected[64];
    std::snprintf(szExpected, sizeof szExpected, "PART.CID.1234.6575A3C0.ABCD.%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pFirst)));
    EXPECT_EQ(pFirst->m_szContentId, szExpected);
    EXPECT_NE(pFirst->m_szContentId, pSecond->m_szContentId);
    EXPECT_TRUE(pHtml->m_szContentId.empty());
}

TEST_F(ComposerParts, TopLevelPartsKeepTheirOrder)
{
    CMailUtil session;
    session.AddPart("text", 6);
    session.AddPart("a.bin", 8);
    session.AddPart("b.bin", 8);
    const CMailPart* pFirst = session.m_pFirstPart;
    ASSERT_NE(pFirst->m_pNext, nullptr);
    ASSERT_NE(pFirst->m_pNext->m_pNext, nullptr);
    EXPECT_EQ(pFirst->m_pNext->m_pszData, "a.bin");
    EXPECT_EQ(pFirst->m_pNext->m_pNext->m_pszData, "b.bin");
    EXPECT_EQ(pFirst->m_pNext->m_pNext->m_pPrev, pFirst->m_pNext);
    EXPECT_EQ(pFirst->m_pNext->m_pPrev, pFirst);
    EXPECT_EQ(pFirst->m_pNext->m_pNext->m_pNext, nullptr);
}

TEST_F(ComposerParts, ContentTypesComeFromTheRegistryThenPicturesThenUnknown)
{
    composer_test::TempFolder folder;
    std::string registry = folder.WriteFile("mime.types",
                                            "# comment line with pdf\n"
                                            "application/pdf\t\tpdf   # trailing comment jpg\n"
                                            "\n"
                                            "application/x-first dup\n"
                                            "application/x-second dup other\n"
                                            "image/x-fancy FaNcY\n"
                                            "text/plain;charset=utf-8 txtu\n"
                                            "oddtype odd\n"
                                            "image/x-custom-png png\n");
    ScopedEnv mimeTypes("QUILLNET_MIME_TYPES", registry.c_str());
    struct Case {
        const char* pszPath;
        const char* pszType;
    } cases[] = {
        {"doc.PDF", "application/pdf"},
        {"x.dup", "application/x-first"},
        {"x.other", "application/x-second"},
        {"x.fancy", "image/x-fancy"},
        {"x.txtu", "text/plain;charset=utf-8"},
        {"x.odd", "oddtype"},
        {"pic.png", "image/x-custom-png"},
        {"photo.JPG", "image/JPG"},
        {"scan.Tiff", "image/Tiff"},
        {"report.xyz", "unknown/xyz"},
        {"C:\\data\\README", "unknown/unknown"},
        {"C:\\my.dir\\README", "unknown/unknown"},
        {"/my.dir/README", "unknown/unknown"},
        {"archive.tar.gz", "unknown/gz"},
        {"trailing.", "unknown/"},
    };
    for (const Case& c : cases) EXPECT_EQ(ContentTypeOfFile(c.pszPath), c.pszType) << c.pszPath;
}

TEST_F(ComposerParts, RegistryIsReadAgainWhenTheFileChangesOrDisappears)
{
    composer_test::TempFolder folder;
    std::string registry = folder.WriteFile("mime.types", "application/x-old thing\n");
    ScopedEnv mimeTypes("QUILLNET_MIME_TYPES", registry.c_str());
    EXPECT_EQ(ContentTypeOfFile("a.thing"), "application/x-old");

    folder.WriteFile("mime.types", "application/x-new thing\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 10, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, registry.c_str(), times, 0), 0);
    EXPECT_EQ(ContentTypeOfFile("a.thing"), "application/x-new");

    std::remove(registry.c_str());
    EXPECT_EQ(ContentTypeOfFile("a.thing"), "unknown/thing");
}

}  // namespace
