// The HTML scan over a 10 MB page with 10,000 references: one in ten names
// one of a handful of existing files (so parts are reused), the rest name
// files that do not exist (so every one costs an existence test). The page is
// copied into the part outside the timed region; the figure is the scan alone.
//
//   html_scan_bench [--benchmark_... flags]
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "MailPart.h"
#include "MailUtil.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kPageBytes = 10 << 20;
constexpr int kReferences = 10000;
const char* const kExistingFiles[] = {"logo.gif", "back.jpg", "photo.png", "sound.wav", "doc.pdf"};

// Runs in a scratch folder holding the existing files, since references are
// taken relative to the current directory.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "quillnet-html-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        m_dir = pattern;
        m_previous = fs::current_path();
        fs::current_path(m_dir);
        for (const char* name : kExistingFiles) std::ofstream(name) << "x";
    }
    ~ScratchFolder()
    {
        fs::current_path(m_previous);
        fs::remove_all(m_dir);
    }

private:
    fs::path m_dir;
    fs::path m_previous;
};

std::string MakePage(int nReferences, int nExistingEvery)
{
    std::string page;
    page.reserve(kPageBytes + 4096);
    page += "<html><body background=\"back.jpg\">\n";
    const size_t fillerPerReference = kPageBytes / static_cast<size_t>(nReferences ? nReferences : 1);
    const std::string filler =
        "<p class=\"text\">Lorem ipsum dolor sit amet, <b>consectetur</b> adipiscing.</p>\n";
    for (int i = 0; i < nReferences; ++i) {
        char reference[96];
        if (i % nExistingEvery == 0) {
            std::snprintf(reference, sizeof reference, "<img src=\"%s\" alt=\"\">\n",
                          kExistingFiles[(i / nExistingEvery) % 5]);
        } else {
            std::snprintf(reference, sizeof reference, "<img src=\"pictures/missing%d.gif\">\n", i);
        }
        page += reference;
        const size_t target = static_cast<size_t>(i + 1) * fillerPerReference;
        while (page.size() + filler.size() <= target) page += filler;
    }
    while (page.size() + 16 < kPageBytes) page += "<p>padding</p>\n";
    page += "</body></html>\n";
    return page;
}

void ScanPage(benchmark::State& state, const std::string& page)
{
    CMailUtil session;
    size_t nRelated = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CMailPart* pPart = new CMailPart(&session);
        pPart->m_bHtml = 1;
        pPart->m_pszData = page;
        state.ResumeTiming();

        pPart->GetRelatedParts();

        state.PauseTiming();
        nRelated = 0;
        for (CMailPart* p = pPart->m_pFirstRelated; p; p = p->m_pNext) ++nRelated;
        delete pPart;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
    state.counters["page_bytes"] = static_cast<double>(page.size());
    state.counters["related_parts"] = static_cast<double>(nRelated);
}

void BM_TenThousandReferencesMostlyMissing(benchmark::State& state)
{
    ScratchFolder folder;
    ScanPage(state, MakePage(kReferences, 10));
}

void BM_TenThousandReferencesAllExisting(benchmark::State& state)
{
    ScratchFolder folder;
    ScanPage(state, MakePage(kReferences, 1));
}

void BM_NoReferences(benchmark::State& state)
{
    ScratchFolder folder;
    ScanPage(state, MakePage(0, 1));
}

// The worst case for part reuse: every reference names a file of its own, so
// the page gets 10,000 related parts and each lookup walks a long list.
void BM_TenThousandDistinctFiles(benchmark::State& state)
{
    ScratchFolder folder;
    std::string page;
    page.reserve(kPageBytes + 4096);
    char name[32];
    for (int i = 0; i < kReferences; ++i) {
        std::snprintf(name, sizeof name, "file%d.gif", i);
        std::ofstream(name) << "x";
        page.append("<img src=\"").append(name).append("\">\n");
    }
    while (page.size() + 16 < kPageBytes) page += "<p>padding</p>\n";
    ScanPage(state, page);
}

BENCHMARK(BM_TenThousandReferencesMostlyMissing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenThousandReferencesAllExisting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoReferences)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenThousandDistinctFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
