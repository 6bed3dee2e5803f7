// Address files: an address that begins with "@" names a file of addresses,
// whose lines may name further files. The input is the text of three files,
// "0", "1" and "2" (split at zero bytes); the job's one address is "@0".
// Address bytes hold no "/", so the only files a line can name are these
// three. Whatever they hold, the recipients are exactly what reading the
// files line by line gives (each line cut at its first byte that cannot be part of an
// address), or the job fails with 1 for a missing or too deeply nested file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "MailUtil.h"
#include "SMTPError.h"
#include "support/Check.h"
#include "support/LibraryState.h"
#include "support/ScratchFolder.h"

namespace {

constexpr int kMaxDepth = 16;
constexpr int kFileCount = 3;

bool IsAddressByte(char c)
{
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')) return true;
    switch (b) {
        case '.': case '_': case '-': case '@': case '<': case '>': case ' ': case '\'': case '"':
            return true;
        default:
            return false;
    }
}

bool IsRegularFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The recipients that `path` gives, appended to `out`; false when the job must fail.
bool Expand(const std::string& path, int depth, const std::vector<std::string>& files,
            std::vector<std::string>& out)
{
    if (depth >= kMaxDepth || !IsRegularFile(path)) return false;
    const std::string& text = files[static_cast<size_t>(std::stoi(path))];
    size_t nStart = 0;
    while (nStart < text.size()) {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = text.size();
        size_t nLength = 0;
        while (nStart + nLength < nEnd && IsAddressByte(text[nStart + nLength])) ++nLength;
        const std::string address = text.substr(nStart, nLength);
        if (!address.empty() && address[0] == '@') {
            if (!Expand(address.substr(1), depth + 1, files, out)) return false;
        } else {
            out.push_back(address);
        }
        nStart = nEnd + 1;
    }
    return true;
}

void EnterAddressFolder()
{
    static const bool bEntered = [] {
        const std::string folder = fuzzsupport::ScratchFolder() + "/addresses";
        return ::mkdir(folder.c_str(), 0700) == 0 && ::chdir(folder.c_str()) == 0;
    }();
    if (!bEntered) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterAddressFolder();
    fuzzsupport::ResetLibraryWithQuietLog();

    std::vector<std::string> files(kFileCount);
    const std::string given(reinterpret_cast<const char*>(data), size);
    for (size_t n = 0, nStart = 0; n < kFileCount; ++n) {
        size_t nEnd = n + 1 < kFileCount ? given.find('\0', nStart) : std::string::npos;
        if (nStart <= given.size()) files[n] = given.substr(nStart, nEnd == std::string::npos ? nEnd : nEnd - nStart);
        nStart = nEnd == std::string::npos ? given.size() + 1 : nEnd + 1;
        fuzzsupport::WriteWholeFile(std::to_string(n), files[n]);
    }

    std::vector<std::string> expected;
    const bool bExpectSuccess = Expand("0", 0, files, expected);

    CMailUtil session;
    bool bSucceeded = true;
    try {
        session.AddTo("Name", "@0");
    } catch (const CSMTPError& error) {
        FUZZ_CHECK(error.nCode == 1 && session.m_nError == 1, "an unusable address file fails with 1");
        bSucceeded = false;
    }
    FUZZ_CHECK(bSucceeded == bExpectSuccess, "the job fails exactly for a missing or too deep file");
    if (!bSucceeded) return 0;

    std::string joined;
    for (size_t n = 0; n < expected.size(); ++n) joined += (n ? "," : "") + expected[n];
    FUZZ_CHECK(session.m_pszRecipients.has_value() == !expected.empty(), "recipients exactly when lines");
    FUZZ_CHECK(!session.m_pszRecipients || *session.m_pszRecipients == joined,
               "the recipients are the files' addresses in order");
    // The To header may be folded, but no line break of its own may start a new header.
    const std::string to = session.GetHeader("To", "");
    for (size_t k = 0; k < to.size(); ++k) {
        if (to[k] == '\r') FUZZ_CHECK(to.compare(k, 3, "\r\n\t") == 0, "the To header breaks only in folds");
        if (to[k] == '\n') FUZZ_CHECK(k > 0 && to[k - 1] == '\r', "the To header breaks only in folds");
    }
    return 0;
}
