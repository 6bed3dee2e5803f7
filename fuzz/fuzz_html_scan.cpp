// HTML related-part scan: any page, in a folder where some of the files it
// may name exist. The rewritten page is the page with only whole quoted
// values replaced by "cid:" and the Content-ID of a related part made for
// that very reference to a readable file; every related part is used and has a Content-ID
// of its own.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/stat.h>

#include "MailPart.h"
#include "MailUtil.h"
#include "platform/Platform.h"
#include "quillnet/wrenpost.h"
#include "support/Check.h"
#include "support/LibraryState.h"
#include "support/ScratchFolder.h"

namespace {

// A site folder as the current directory: files a page may name (none of
// them, nor any path into them, begins with "c", so a value never shares its
// first byte with its "cid:" replacement), a folder and an unreadable file.
void EnterSiteFolder()
{
    static const bool bEntered = [] {
        const std::string site = fuzzsupport::ScratchFolder() + "/site";
        if (::mkdir(site.c_str(), 0700) != 0 || ::mkdir((site + "/img").c_str(), 0700) != 0) std::abort();
        for (const char* pszName : {"pic.gif", "a b.png", "img/logo.jpg", "x\\y.gif", "y.gif", "page.html"})
            fuzzsupport::WriteWholeFile(site + "/" + pszName, pszName);
        fuzzsupport::WriteWholeFile(site + "/locked.png", "locked");
        ::chmod((site + "/locked.png").c_str(), 0);
        return ::chdir(site.c_str()) == 0;
    }();
    if (!bEntered) std::abort();
}

// The related part whose Content-ID follows "cid:" at `nAt` of `out`.
CMailPart* PartAt(CMailPart& html, const std::string& out, size_t nAt)
{
    if (out.compare(nAt, 4, "cid:") != 0) return nullptr;
    for (CMailPart* pPart = html.m_pFirstRelated; pPart; pPart = pPart->m_pNext) {
        if (out.compare(nAt + 4, pPart->m_szContentId.size(), pPart->m_szContentId) == 0) return pPart;
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterSiteFolder();
    fuzzsupport::ResetLibraryWithQuietLog();
    const std::string given(reinterpret_cast<const char*>(data), size);
    const std::string page = given.substr(0, given.find('\0'));  // the text ends at a zero byte

    CMailUtil session;
    FUZZ_CHECK(session.AddPart(page.c_str(), PART_HTML) == 0, "the HTML part is made");
    CMailPart& html = *session.m_pFirstPart;
    const std::string& out = html.m_pszData;

    // Walk page and output together; where they part, the output holds a
    // "cid:" reference in place of a whole quoted value of the page.
    std::set<const CMailPart*> used;
    size_t i = 0;
    size_t j = 0;
    while (i < page.size() || j < out.size()) {
        if (i < page.size() && j < out.size() && page[i] == out[j]) {
            ++i;
            ++j;
            continue;
        }
        FUZZ_CHECK(j < out.size(), "the output holds the whole page");
        CMailPart* pPart = PartAt(html, out, j);
        FUZZ_CHECK(pPart != nullptr, "the output differs from the page only by cid: references");
        FUZZ_CHECK(i > 0 && page[i - 1] == '"', "a reference replaces a quoted value");
        size_t nValueEnd = page.find('"', i);
        if (nValueEnd == std::string::npos) nValueEnd = page.size();
        const std::string value = page.substr(i, nValueEnd - i);
        FUZZ_CHECK(platform::FileIsReadable(value.c_str()), "only readable files are referenced");
        FUZZ_CHECK(pPart->m_pszData == value, "the part stands for the file named");
        used.insert(pPart);
        i = nValueEnd;
        j += 4 + pPart->m_szContentId.size();
    }

    std::set<std::string> ids;
    size_t nParts = 0;
    for (CMailPart* pPart = html.m_pFirstRelated; pPart; pPart = pPart->m_pNext, ++nParts) {
        FUZZ_CHECK(pPart->m_bRelated && !pPart->m_bText, "a related part is a file part");
        FUZZ_CHECK(ids.insert(pPart->m_szContentId).second, "Content-IDs are distinct");
        FUZZ_CHECK(used.count(pPart) == 1, "every related part is referenced");
    }
    FUZZ_CHECK(used.size() == nParts, "every reference is to a part of this HTML part");
    return 0;
}
