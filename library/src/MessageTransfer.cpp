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

    // Each read is filtered whole. A read that needs no change goes out from
    // its own buffer, so two buffers take turns: one read waits, unsent,
    // while the next is made, because only a read that more bytes follow is
    // sent on its own; the last goes together with the end of the message.
    // The progress calls for a read come after it is filtered and before it
    // is sent, so a cancel stops the transfer with nothing of that read sent.
    std::unique_ptr<char[]> pChunks[2] = {std::unique_ptr<char[]>(new char[kWriteSize]),
                                          std::unique_ptr<char[]>(new char[kWriteSize])};
    std::string wires[2];
    const char* pWaiting = nullptr;  // the filtered read not yet sent
    size_t nWaiting = 0;
    CTransferFilter filter;
    int64_t nPosition = 0;
    for (int nTurn = 0;; nTurn ^= 1) {
        char* pChunk = pChunks[nTurn].get();
        const long nGot = platform::Calls().readFile(pFile, pChunk, kWriteSize);
        if (nGot < 0) return kReadFailed;
        if (nGot == 0) break;
        const size_t nRead = static_cast<size_t>(nGot);
        if (pWaiting) m_writer(pWaiting, nWaiting);
        std::string& wire = wires[nTurn];
        wire.clear();
        if (filter.AppendIfChanged(pChunk, nRead, wire)) {
            pWaiting = wire.data();
            nWaiting = wire.size();
        } else {
            pWaiting = pChunk;
            nWaiting = nRead;
        }
        if (m_hooks.pfnCallback) {
            // After each full block of this read that more bytes follow.
            for (int64_t nEnd = (nPosition / kBlockSize + 1) * kBlockSize;
                 nEnd <= nPosition + static_cast<int64_t>(nRead) && nEnd < nSize; nEnd += kBlockSize) {
                Report(nEnd + 1);
                if (*m_hooks.pbUserCancel == 1) return kCancelled;
            }
        }
        nPosition += static_cast<int64_t>(nRead);
    }
    std::string last(pWaiting ? pWaiting : "", nWaiting);
    last.append(filter.EndOfMessage());
    m_writer(last.data(), last.size());
    return kSent;
}
