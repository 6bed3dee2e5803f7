#include "MessageTransfer.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <utility>

#include "TransferFilter.h"
#include "platform/SystemCalls.h"

namespace {

// The host's counters are 32-bit; a larger file reads as full rather than
// wrapping to a negative count.
int32_t ClampToCounter(int64_t nValue)
{
    return static_cast<int32_t>(std::min<int64_t>(nValue, INT32_MAX));
}

}  // namespace

CMessageTransfer::CMessageTransfer(Writer writer, const ProgressHooks& hooks)
    : m_writer(std::move(writer)), m_hooks(hooks)
{
}

void CMessageTransfer::Report(int64_t nProcessed)
{
    *m_hooks.plBytesProcessed = ClampToCounter(nProcessed);
    m_hooks.pfnCallback();
}

CMessageTransfer::Outcome CMessageTransfer::Run(FILE* pFile, int64_t nSize)
{
    if (m_hooks.pfnCallback) {
        *m_hooks.plBytesTotal = ClampToCounter(nSize);
        Report(0);
    }
    std::rewind(pFile);

    // The read size is a multiple of the block size, so block boundaries fall
    // inside one read; the wire buffer is written once it passes kWriteSize.
    std::unique_ptr<char[]> pChunk(new char[kWriteSize]);
    std::string wire;
    wire.reserve(2 * kWriteSize + kWriteSize / 2);
    CTransferFilter filter;
    int64_t nPosition = 0;
    for (;;) {
        const long nGot = platform::Calls().readFile(pFile, pChunk.get(), kWriteSize);
        if (nGot < 0) return kReadFailed;
        if (nGot == 0) break;
        const size_t nRead = static_cast<size_t>(nGot);
        // Written only once more bytes are known to follow, so that the last
        // write always carries the end of the message with it.
        if (wire.size() >= kWriteSize) {
            m_writer(wire.data(), wire.size());
            wire.clear();
        }
        for (size_t nOffset = 0; nOffset < nRead;) {
            size_t nTake =
                std::min(kBlockSize - static_cast<size_t>(nPosition % kBlockSize), nRead - nOffset);
            filter.Append(pChunk.get() + nOffset, nTake, wire);
            nOffset += nTake;
            nPosition += nTake;
            if (m_hooks.pfnCallback && nPosition % kBlockSize == 0 && nPosition < nSize) {
                Report(nPosition + 1);
                if (*m_hooks.pbUserCancel == 1) return kCancelled;
            }
        }
    }
    wire.append(filter.EndOfMessage());
    m_writer(wire.data(), wire.size());
    return kSent;
}
