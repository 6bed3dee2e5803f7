#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

// The host's progress hooks, as the job block gives them.
struct ProgressHooks {
    int32_t* plBytesProcessed = nullptr;
    int32_t* plBytesTotal = nullptr;
    uint8_t* pbUserCancel = nullptr;
    void (*pfnCallback)(void) = nullptr;  // null: no progress, no cancel
};

// Sends a composed message file and the end-of-message line. The host sees
// the file in 1024-byte blocks: one progress call before the transfer, then
// one after each full block that more bytes follow, with the file position
// (the next byte counted). The wire sees the file read kWriteSize bytes at a
// time, each read filtered and written whole (at least kWriteSize bytes but
// for the last), and the last write carries the end of the message.
class CMessageTransfer {
public:
    // Writes all bytes or raises; called with pieces of at least kWriteSize
    // bytes, but for the last. Each write is TLS records or TCP segments on
    // the wire, so few large ones cost less than many small ones.
    using Writer = std::function<void(const char* pData, size_t nLength)>;

    enum Outcome { kSent, kCancelled, kReadFailed };

    static constexpr size_t kBlockSize = 1024;
    static constexpr size_t kWriteSize = 256 * 1024;

    CMessageTransfer(Writer writer, const ProgressHooks& hooks);

    // Sends `pFile` from its start; `nSize` is its size. On kCancelled and
    // kReadFailed nothing beyond the current block was sent and the end of
    // the message was not sent, so the caller must drop the connection.
    Outcome Run(FILE* pFile, int64_t nSize);

private:
    void Report(int64_t nProcessed);

    Writer m_writer;
    ProgressHooks m_hooks;
};
